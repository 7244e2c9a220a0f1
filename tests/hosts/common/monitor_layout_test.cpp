#include "hosts/common/monitor_layout.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "about/about_window.hpp"
#include "system/memory_registry.hpp"

namespace vistel {
namespace {

std::string Describe(const IntRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.width) +
         "x" + std::to_string(r.height);
}

std::string Describe(const MonitorLayout& layout) {
  std::string text = "primary " + Describe(layout.primaryPx) + "; others";
  for (const IntRect& r : layout.othersPx) text += " [" + Describe(r) + "]";
  return text;
}

TEST(MonitorLayout, ThePrimaryMonitorGetsTheShowAndEveryOtherDistinctMonitorAWindow) {
  struct Case {
    const char* what;
    std::vector<Monitor> monitors;
    MonitorLayout expected;
  };
  const IntRect left{0, 0, 800, 600}, right{800, 0, 1024, 768}, third{1824, 0, 640, 480};
  const Case cases[] = {
      {"one monitor", {{left, true}}, {left, {}}},
      {"the flagged primary wins, wherever it is listed",
       {{left, false}, {right, true}},
       {right, {left}}},
      {"no flag: the monitor at the desktop's origin",
       {{right, false}, {left, false}},
       {left, {right}}},
      {"no flag, none at the origin: the first listed",
       {{{-1024, 0, 1024, 768}, false}, {{-2048, 0, 1024, 768}, false}},
       {{-1024, 0, 1024, 768}, {{-2048, 0, 1024, 768}}}},
      {"a primary right of a secondary keeps its own place",
       {{{-1280, 100, 1280, 1024}, false}, {left, true}},
       {left, {{-1280, 100, 1280, 1024}}}},
      {"three monitors, in the system's order",
       {{left, true}, {third, false}, {right, false}},
       {left, {third, right}}},
      {"a clone of the primary (same place) gets no window",
       {{left, true}, {left, false}, {right, false}},
       {left, {right}}},
      {"a smaller clone inside the primary's area gets no window",
       {{{0, 0, 1920, 1080}, true}, {{0, 0, 1024, 768}, false}},
       {{0, 0, 1920, 1080}, {}}},
      {"two secondaries showing the same area get one window",
       {{left, true}, {right, false}, {right, false}},
       {left, {right}}},
      {"monitors of no area are passed over",
       {{{0, 0, 0, 600}, true}, {left, false}, {{800, 0, 640, 0}, false}},
       {left, {}}},
      {"no monitor listed: one screen of the fallback size", {}, {{0, 0, 640, 480}, {}}},
  };
  for (const Case& c : cases) {
    const MonitorLayout layout = ArrangeMonitors(c.monitors, {640, 480});
    EXPECT_EQ(layout, c.expected) << c.what << ": expected " << Describe(c.expected) << ", got "
                                  << Describe(layout);
  }
}

TEST(MonitorLayout, XServersListTheirMonitorsInTheLongerOfTwoLists) {
  const Monitor wide{{0, 0, 1440, 600}, true};
  const Monitor a{{0, 0, 800, 600}, false}, b{{800, 0, 640, 480}, false};
  struct Case {
    const char* what;
    std::vector<Monitor> randr, xinerama, expected;
  };
  const Case cases[] = {
      {"Xinerama joins two screens that RandR sees as one", {wide}, {a, b}, {a, b}},
      {"the same monitors in both: RandR's, which flags the primary",
       {{a.boundsPx, false}, {b.boundsPx, true}},
       {a, b},
       {{a.boundsPx, false}, {b.boundsPx, true}}},
      {"no Xinerama", {wide}, {}, {wide}},
      {"no RandR 1.5", {}, {a, b}, {a, b}},
      {"neither", {}, {}, {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PreferredMonitorList(c.randr, c.xinerama), c.expected) << c.what;
  }
}

TEST(MonitorLayout, AMirrorFitsTheWholeFrameCentredKeepingItsShape) {
  struct Case {
    IntSize frame, window;
    IntRect expected;
  };
  const Case cases[] = {
      {{800, 600}, {800, 600}, {0, 0, 800, 600}},         // same size
      {{800, 600}, {1600, 1200}, {0, 0, 1600, 1200}},     // same shape, larger
      {{800, 600}, {1920, 1080}, {240, 0, 1440, 1080}},   // 4:3 on 16:9: bars left and right
      {{1920, 1080}, {1024, 768}, {0, 96, 1024, 576}},    // 16:9 on 4:3: bars above and below
      {{1920, 1200}, {1280, 1024}, {0, 112, 1280, 800}},  // 16:10 on 5:4
      {{800, 600}, {640, 480}, {0, 0, 640, 480}},         // smaller
      {{1080, 1920}, {1920, 1080}, {656, 0, 608, 1080}},  // a portrait primary
      {{1366, 768}, {1280, 1024}, {0, 152, 1280, 720}},   // 1280 * 768 / 1366 = 719.6, rounded
      {{4000, 1}, {1920, 1080}, {0, 539, 1920, 1}},       // never thinner than a pixel
      {{1, 4000}, {1920, 1080}, {959, 0, 1, 1080}},
      {{800, 600}, {0, 1080}, {}},  // nothing to draw into
      {{0, 600}, {1920, 1080}, {}},
      {{16384, 16384}, {16384, 1}, {8191, 0, 1, 1}},  // no overflow at the largest sizes
  };
  for (const Case& c : cases) {
    const IntRect got = MirrorPictureRect(c.frame, c.window);
    EXPECT_EQ(got, c.expected) << c.frame.width << "x" << c.frame.height << " in " << c.window.width
                               << "x" << c.window.height << ": expected " << Describe(c.expected)
                               << ", got " << Describe(got);
  }
}

TEST(MonitorLayout, EachOtherMonitorIsBlackOrAMirrorByTheMode) {
  const MonitorLayout layout{{0, 0, 800, 600}, {{800, 0, 1024, 768}, {-640, 0, 640, 480}}};
  struct Case {
    MonitorMode mode;
    std::vector<MonitorWindowPlan> expected;
  };
  const Case cases[] = {
      {MonitorMode::Primary, {{{800, 0, 1024, 768}, false}, {{-640, 0, 640, 480}, false}}},
      {MonitorMode::Mirror, {{{800, 0, 1024, 768}, true}, {{-640, 0, 640, 480}, true}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlanMonitorWindows(layout, c.mode), c.expected) << MonitorModeName(c.mode);
  }
  EXPECT_TRUE(PlanMonitorWindows({{0, 0, 800, 600}, {}}, MonitorMode::Mirror).empty())
      << "one monitor: the show window alone";
}

// Mouse travel is summed from the positions the show window is given: a
// pointer crossing from one monitor's window to the next must not jump.
TEST(MonitorLayout, PointerPositionsOnEveryMonitorAreTheShowWindowsCoordinates) {
  struct Case {
    FloatPoint local;
    IntPoint windowOrigin, showOrigin;
    FloatPoint expected;
  };
  const Case cases[] = {
      {{0, 0}, {800, 0}, {0, 0}, {800, 0}},  // the first pixel right of the show
      {{10.5F, 20}, {800, 0}, {0, 0}, {810.5F, 20}},
      {{639, 5}, {-640, 0}, {0, 0}, {-1, 5}},   // the last pixel left of the show
      {{0, 0}, {0, 768}, {0, 0}, {0, 768}},     // below
      {{5, 5}, {0, 0}, {1280, 0}, {-1275, 5}},  // a show whose monitor is not at the origin
      {{5, 5}, {1280, 0}, {1280, 0}, {5, 5}},   // the show window itself
  };
  for (const Case& c : cases) {
    const FloatPoint got = ToShowWindowPoint(c.local, c.windowOrigin, c.showOrigin);
    EXPECT_EQ(got, c.expected) << "local " << c.local.x << "," << c.local.y << " in a window at "
                               << c.windowOrigin.x << "," << c.windowOrigin.y;
  }
}

TEST(MonitorLayout, TheOptionOverridesTheRegistryWhichOverridesTheDefault) {
  struct Case {
    const char* what;
    std::optional<RegValue> stored;  // under the player's key
    std::optional<MonitorMode> option;
    MonitorMode expected;
    std::string unknown;  // reported when the stored text names no mode
  };
  auto text = [](std::string_view s) {
    RegValue value{std::string(kMonitorsValueName), kRegSz, {s.begin(), s.end()}};
    value.data.push_back(0);
    return value;
  };
  const Case cases[] = {
      {"nothing anywhere", std::nullopt, std::nullopt, MonitorMode::Primary, ""},
      {"the registry says mirror", text("mirror"), std::nullopt, MonitorMode::Mirror, ""},
      {"its case and blanks do not matter", text(" Mirror "), std::nullopt, MonitorMode::Mirror,
       ""},
      {"the option wins over the registry", text("mirror"), MonitorMode::Primary,
       MonitorMode::Primary, ""},
      {"the option alone", std::nullopt, MonitorMode::Mirror, MonitorMode::Mirror, ""},
      {"a word that names no mode", text("both"), std::nullopt, MonitorMode::Primary, "both"},
      {"an empty text", text(""), std::nullopt, MonitorMode::Primary, ""},
      {"a number instead of a text",
       RegValue{std::string(kMonitorsValueName), kRegDword, {1, 0, 0, 0}}, std::nullopt,
       MonitorMode::Primary, "(not a text value)"},
      {"a text too long to be a mode", text(std::string(100, 'm')), std::nullopt,
       MonitorMode::Primary, "(a value of 101 bytes)"},
  };
  for (const Case& c : cases) {
    MemoryRegistry registry;
    if (c.stored) {
      ASSERT_TRUE(registry.PutValue(kPlayerSettingsHive, kPlayerSettingsKey, *c.stored));
    }
    const std::optional<std::string> read = ReadMonitorSetting(registry);
    std::string unknown;
    const MonitorMode mode = ChooseMonitorMode(
        c.option, read ? std::optional<std::string_view>(*read) : std::nullopt, &unknown);
    EXPECT_EQ(mode, c.expected) << c.what;
    EXPECT_EQ(unknown, c.unknown) << c.what;
  }
}

}  // namespace
}  // namespace vistel

namespace vistel {
namespace {

// The about window tells a user where to change the setting; a note that
// names the wrong key or value, or hides the file on Linux, sends them
// nowhere.
TEST(MonitorLayout, TheAboutNoteSaysWhatTheMonitorsShowAndWhereTheSettingIsKept) {
  struct Case {
    MonitorMode mode;
    bool fromOption;
    std::optional<std::string> file;
    std::vector<std::string> says, saysNot;
  };
  const std::string place =
      "HKEY_CURRENT_USER\\Software\\Vistel\\Player, text value Monitors: primary or mirror";
  const Case cases[] = {
      {MonitorMode::Primary, false, std::nullopt, {"black", place}, {"--monitors", ", in "}},
      {MonitorMode::Mirror,
       false,
       "/home/me/.config/vistel/registry.reg",
       {"mirrored", place, "in /home/me/.config/vistel/registry.reg"},
       {"black"}},
      {MonitorMode::Mirror, true, std::nullopt, {"mirrored", "--monitors, this run only"}, {}},
  };
  for (const Case& c : cases) {
    const std::string note = MonitorSettingNote(c.mode, c.fromOption, c.file);
    for (const std::string& part : c.says) {
      EXPECT_NE(note.find(part), std::string::npos)
          << "\"" << note << "\" lacks \"" << part << "\"";
    }
    for (const std::string& part : c.saysNot) {
      EXPECT_EQ(note.find(part), std::string::npos) << "\"" << note << "\" has \"" << part << "\"";
    }
  }
}

// With the note the window grows to hold it, below every other label.
TEST(MonitorLayout, TheAboutNoteFitsInTheWindowBelowTheShowsDetails) {
  const std::vector<AboutLabel> labels = AboutLabels(GlobalSettings{}, "a note");
  ASSERT_EQ(labels.back().name, "lblSettings");
  const AboutLabel& note = labels.back();
  EXPECT_LE(note.leftTwips + note.widthTwips, kAboutClientWithNoteTwips.width);
  EXPECT_LE(note.topTwips + note.heightTwips, kAboutClientWithNoteTwips.height);
  for (std::size_t i = 0; i + 1 < labels.size(); ++i) {
    EXPECT_GE(note.topTwips, labels[i].topTwips + labels[i].heightTwips)
        << "the note overlaps " << labels[i].name;
  }
  EXPECT_EQ(AboutLabels(GlobalSettings{}).size(), labels.size() - 1)
      << "without a note the window keeps its own labels only";
}

}  // namespace
}  // namespace vistel
