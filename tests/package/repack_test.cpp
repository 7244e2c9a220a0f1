// Repacking a package behind another player: the position fields are found
// where the reader finds them and keep their written form, every medium keeps
// its bytes however the ranges share them, and the rest of the text is kept
// byte for byte. (Damaged packages: tests/cli/repack.sh.)
#include "package/repack.hpp"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/conversions.hpp"
#include "package/range_fields.hpp"
#include "package/reader.hpp"
#include "package_fixtures.hpp"

namespace vistel {
namespace {

using testing::Line;
using testing::MemoryFileSystem;
using testing::MemoryInputFile;
using testing::PackageBytes;

TEST(NumberInFormOf, KeepsBlanksSignAndZeroPadding) {
  struct Case {
    std::string_view old;
    std::int64_t value;
    std::string_view expected;
  };
  const Case cases[] = {
      {"225282", 17, "17"},
      {"17", 225282, "225282"},
      {"0000225282", 17, "0000000017"},  // padded width kept
      {"007", 12345, "12345"},           // wider only when the value needs it
      {" 70003 ", 12, " 12 "},           // blanks the conversion skips
      {"\t+70003", 5, "\t+5"},           // a written plus sign
      {"+0070003", 5, "+0000005"},
      {"7.0E4", 12, "12"},  // forms other than digits become digits
      {"&H11173", 12, "12"},
      {" 70003.4 ", 12, " 12 "},
  };
  for (const Case& c : cases) {
    const std::string got = NumberInFormOf(c.old, c.value);
    EXPECT_EQ(got, c.expected) << "'" << c.old << "' with " << c.value;
    EXPECT_EQ(TextToLong(got).value_or(-1), c.value) << "'" << got << "' must read as the value";
  }
}

// Reads a located field as the reader does.
std::int32_t ReadAt(std::string_view text, const FieldSpan& field) {
  return field.present ? TextToLong(text.substr(field.offset, field.size)).value_or(0) : 0;
}

std::int32_t RecordValue(const Package& package, MediumKind kind, std::size_t index,
                         bool position) {
  if (kind == MediumKind::Audio) {
    const AudioTrack& t = package.AudioTracks[index];
    return position ? t.TrackPosition : t.TrackLength;
  }
  const ScreenSettings& s = package.Screens[index];
  switch (kind) {
    case MediumKind::Background:
      return position ? s.BackgroundPosition : s.BackgroundLength;
    case MediumKind::Image:
      return position ? s.ImagePosition : s.ImageLength;
    default:
      return position ? s.VideoPosition : s.VideoLength;
  }
}

// A screen group whose range fields hold `base` + 1 .. + 6, so that a field
// found in the wrong place reads as another number.
std::vector<std::string> Group(int base, std::string_view kind = "0") {
  const auto n = [base](int k) { return std::to_string(base + k); };
  std::vector<std::string> image = {"[SCREEN-IMAGE]", "0", n(3), n(4)};
  image.resize(29, "7");
  return {
      Line({"[SCREEN-GLOBAL]", kind}), Line({"[SCREEN-BACKGROUND]", "0", "1", n(1), n(2), ""}),
      [&] {
        std::string line = image[0];
        for (std::size_t i = 1; i < image.size(); ++i) line += "\xFF" + image[i];
        return line;
      }(),
      Line({"[SCREEN-VIDEO]", "1.5", "2.5", n(5), n(6), "0", "0", "C:\\clip.mpg", "extra"}),
      Line({"[SCREEN-CAPTION]", "0", "0", "text", "0", "0", "0", "Arial", "12", "2", "2", "4"})};
}

std::string Join(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + std::string(end);
  return text;
}

TEST(LocateMediumFields, FindsEveryRangeFieldWhereTheReaderReadsIt) {
  const std::string global = Line({"[GLOBAL]", "p", "t", "w", "False", "False", "False"});
  const std::string track1 = Line({"[AUDIO-FILE]", "101", "102", "a.wav", "0"});
  const std::string track2 = Line({"[AUDIO-FILE]", " 201", "0202 ", "b.mid"});
  auto groups = [](std::vector<std::string> lines, const std::vector<std::string>& more) {
    lines.insert(lines.end(), more.begin(), more.end());
    return lines;
  };
  const std::vector<std::string> two = groups(Group(1000), Group(2000, "1"));
  struct Case {
    const char* what;
    std::string text;
  };
  const Case cases[] = {
      {"tracks and two groups", Join(groups({global, track1, track2}, two))},
      {"no tracks", Join(groups({global}, two))},
      {"no final CR LF",
       [&] {
         std::string t = Join(groups({global, track1}, two));
         return t.substr(0, t.size() - 2);
       }()},
      {"a line after the last group", Join(groups({global, track1}, two)) + "made by hand"},
      {"a short last group",
       Join(groups({global}, groups(Group(1000), {Group(2000)[0], Group(2000)[1]})))},
      {"fields missing from a line",
       Join({global, Line({"[AUDIO-FILE]", "101"}), Line({"[SCREEN-GLOBAL]", "0"}),
             Line({"[SCREEN-BACKGROUND]", "0", "1", "1003"}), "", Line({"[SCREEN-VIDEO]"}),
             Line({"[SCREEN-CAPTION]"})})},
      {"a section name of another case is no track",
       Join(groups({global, Line({"[audio-file]", "101", "102"}), "x", "y", "z", "w"}, two))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Package package;
    ASSERT_TRUE(ParseConfiguration(c.text, package).has_value());
    const auto located = LocateMediumFields(c.text);
    ASSERT_EQ(located.size(), package.AudioTracks.size() + 3 * package.Screens.size());
    int nonZero = 0;
    for (const MediumFields& m : located) {
      SCOPED_TRACE(DescribeMedium({m.kind, m.index, 0, 0}));
      EXPECT_EQ(ReadAt(c.text, m.position), RecordValue(package, m.kind, m.index, true));
      EXPECT_EQ(ReadAt(c.text, m.length), RecordValue(package, m.kind, m.index, false));
      nonZero += ReadAt(c.text, m.position) != 0 || ReadAt(c.text, m.length) != 0;
    }
    EXPECT_GT(nonZero, 0) << "expected the case to hold some ranges";
  }
}

// ---- Repacking packages in memory ------------------------------------------

constexpr std::size_t kOldPlayerBytes = 1001;  // odd, like the original's player + its zero byte
constexpr std::size_t kMediaBytes = 1000;
const std::string kNewPlayer = "NEW PLAYER";

struct Range {
  MediumKind kind;
  std::size_t index;
  std::int64_t start;  // 0-based in the old package
  std::int64_t length;
};

std::string MediaBlob() {
  std::string media(kMediaBytes, '\0');
  for (std::size_t i = 0; i < media.size(); ++i)
    media[i] = static_cast<char>((i * 7 + i / 251) % 256);
  return media;
}

// Track 0 ("a.wav"), screen 0 an image screen, screen 1 a video screen, both
// with a background picture; every range 0 unless `ranges` sets it.
std::string OldPackage(const std::vector<Range>& ranges) {
  std::map<std::pair<MediumKind, std::size_t>, std::pair<std::string, std::string>> fields;
  for (const Range& r : ranges) {
    fields[{r.kind, r.index}] = {std::to_string(r.start + 1), std::to_string(r.length)};
  }
  const auto pos = [&](MediumKind k, std::size_t i) {
    return fields.contains({k, i}) ? fields[{k, i}].first : "0";
  };
  const auto len = [&](MediumKind k, std::size_t i) {
    return fields.contains({k, i}) ? fields[{k, i}].second : "0";
  };
  std::vector<std::string> lines = {
      Line({"[GLOBAL]", "Unknown", "Old", "", "false", "False", "True"}),
      Line({"[AUDIO-FILE]", len(MediumKind::Audio, 0), pos(MediumKind::Audio, 0), "a.wav", "0"})};
  for (std::size_t s = 0; s < 2; ++s) {
    std::string image =
        "[SCREEN-IMAGE]\xFF"
        "0\xFF" +
        len(MediumKind::Image, s) + "\xFF" + pos(MediumKind::Image, s);
    for (int f = 4; f <= 28; ++f)
      image += f == 26 ? "\xFF"
                         "3"
                       : "\xFF"
                         "0";
    lines.push_back(Line({"[SCREEN-GLOBAL]", s == 0 ? "0" : "1"}));
    lines.push_back(Line({"[SCREEN-BACKGROUND]", "0", "1", len(MediumKind::Background, s),
                          pos(MediumKind::Background, s), ""}));
    lines.push_back(image);
    lines.push_back(Line({"[SCREEN-VIDEO]", "0", "0", len(MediumKind::Video, s),
                          pos(MediumKind::Video, s), "0", "0", "C:\\v.mpg"}));
    lines.push_back(Line({"[SCREEN-CAPTION]", "0", "0", std::string("caf\xE9\0two", 7), "0"}));
  }
  PackageBytes bytes(std::string(kOldPlayerBytes, 'P'));
  bytes.AddMedium(MediaBlob());
  bytes.AddZeroFill(7);
  return bytes.Finish(Join(lines) + "trailing words");
}

struct Repacked {
  Package oldPackage;
  Package newPackage;
  std::string oldBytes;
  std::string newBytes;
};

Package Read(const std::string& bytes) {
  MemoryInputFile file(std::make_shared<const std::string>(bytes));
  Package package;
  EXPECT_TRUE(ReadPackageFile(file, package).has_value());
  return package;
}

std::string TextOf(const std::string& bytes, const Package& package) {
  return bytes.substr(static_cast<std::size_t>(package.ConfigOffset),
                      bytes.size() - 20 - static_cast<std::size_t>(package.ConfigOffset));
}

// The text with its position fields cut out: what must stay byte for byte.
std::string WithoutPositions(const std::string& text) {
  std::string rest;
  std::size_t at = 0;
  for (const MediumFields& m : LocateMediumFields(text)) {
    if (!m.position.present) continue;
    rest += text.substr(at, m.position.offset - at) + "|";
    at = m.position.offset + m.position.size;
  }
  return rest + text.substr(at);
}

TEST(RepackPackage, EveryMediumKeepsItsBytesHoweverTheRangesShareThem) {
  constexpr std::int64_t m = kOldPlayerBytes;  // the first byte of the media
  using K = MediumKind;
  struct Case {
    const char* what;
    std::vector<Range> ranges;
    std::uint64_t mediaBytes;  // carried over
    std::size_t stretches;
    std::size_t notes;
  };
  const Case cases[] = {
      {"apart, with gaps",
       {{K::Background, 0, m, 100}, {K::Image, 0, m + 200, 100}, {K::Audio, 0, m + 500, 100}},
       300,
       3,
       0},
      {"one medium named twice",
       {{K::Background, 0, m, 100}, {K::Background, 1, m, 100}},
       100,
       1,
       0},
      {"one inside another", {{K::Image, 0, m, 500}, {K::Background, 1, m + 100, 100}}, 500, 1, 0},
      {"two that overlap", {{K::Image, 0, m + 300, 300}, {K::Video, 1, m + 100, 300}}, 500, 1, 0},
      {"touching", {{K::Image, 0, m, 100}, {K::Background, 0, m + 100, 100}}, 200, 1, 0},
      {"the last byte before the zero fill", {{K::Video, 1, m + 999, 1}}, 1, 1, 0},
      {"never played but inside: carried over", {{K::Image, 1, m + 10, 20}}, 20, 1, 0},
      {"never played and outside: kept as it was",
       {{K::Video, 0, m, 1 << 30}, {K::Image, 0, m, 10}},
       10,
       1,
       1},
      {"a range of length 0 stays", {{K::Video, 1, m + 50, 0}, {K::Image, 0, m, 10}}, 10, 1, 0},
      {"from the file's first byte: no old player", {{K::Image, 0, 0, m + 10}}, m + 10, 1, 1},
      {"no media at all", {}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem files;
    files.files["old.scr"] = OldPackage(c.ranges);
    files.files["player"] = kNewPlayer;
    const auto summary = RepackPackage(files, "old.scr", "player", "new.scr");
    ASSERT_TRUE(summary.has_value()) << summary.error().description;
    EXPECT_EQ(summary->plan.mediaBytes, c.mediaBytes);
    EXPECT_EQ(summary->plan.stretches.size(), c.stretches);
    EXPECT_EQ(summary->plan.notes.size(), c.notes);

    const std::string& oldBytes = files.files["old.scr"];
    const std::string& newBytes = files.files["new.scr"];
    const Package oldPackage = Read(oldBytes);
    const Package newPackage = Read(newBytes);
    EXPECT_EQ(newBytes.substr(0, kNewPlayer.size()), kNewPlayer);
    EXPECT_EQ(static_cast<std::uint64_t>(newPackage.ConfigOffset),
              kNewPlayer.size() + c.mediaBytes);
    EXPECT_TRUE(SameShowApartFromPositions(oldPackage, newPackage));
    EXPECT_TRUE(SameShow(newPackage, summary->plan.package));
    const std::string oldText = TextOf(oldBytes, oldPackage);
    const std::string newText = TextOf(newBytes, newPackage);
    EXPECT_EQ(WithoutPositions(newText), WithoutPositions(oldText));

    for (const Range& r : c.ranges) {
      const std::int32_t newPosition = RecordValue(newPackage, r.kind, r.index, true);
      if (r.length == 0 || r.start + r.length > static_cast<std::int64_t>(oldBytes.size())) {
        EXPECT_EQ(newPosition, r.start + 1) << "expected the field kept as it was";
        continue;
      }
      const auto length = static_cast<std::size_t>(r.length);
      EXPECT_EQ(newBytes.substr(static_cast<std::size_t>(newPosition) - 1, length),
                oldBytes.substr(static_cast<std::size_t>(r.start), length))
          << DescribeMedium({r.kind, r.index, newPosition, 0});
    }
    files.files.erase("old.scr");
    files.files.erase("player");
    files.files.erase("new.scr");
    EXPECT_TRUE(files.files.empty()) << "expected no file but the new package";
  }
}

TEST(PlanRepack, RefusesAPackageBeyondTheReachOfPositions) {
  const std::string bytes = OldPackage({{MediumKind::Image, 0, kOldPlayerBytes, 100}});
  const Package old = Read(bytes);
  const auto plan =
      PlanRepack(old, TextOf(bytes, old), bytes.size(), std::uint64_t{2147483647} - 99);
  ASSERT_FALSE(plan.has_value());
  EXPECT_NE(plan.error().description.find("2147483647"), std::string::npos);
  EXPECT_TRUE(PlanRepack(old, TextOf(bytes, old), bytes.size(), 2147483647 - 100).has_value());
}

}  // namespace
}  // namespace vistel
