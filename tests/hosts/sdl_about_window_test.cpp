// The about window's picture and hit testing, message box kinds, the
// desktop registry's place, and sound without a device.
#include "hosts/sdl/sdl_about_window.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/sdl/sdl_audio.hpp"
#include "hosts/sdl/sdl_host.hpp"
#include "hosts/sdl/sdl_message_boxes.hpp"
#include "runtime/message_box.hpp"

namespace vistel {
namespace {

// Every character is a 6 x 10 cell; drawing marks the cell's top-left pixel.
class CellFont final : public Font {
 public:
  int LineHeightPixels() const override { return 10; }
  int AscentPixels() const override { return 8; }
  std::int64_t TextWidthPixels(std::string_view utf8) const override {
    return static_cast<std::int64_t>(utf8.size()) * 6;
  }
  void DrawText(Image& target, std::int64_t x, std::int64_t y, std::string_view utf8,
                Pixel color) const override {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
      const std::int64_t px = x + static_cast<std::int64_t>(i) * 6;
      if (utf8[i] != ' ' && px >= 0 && y >= 0 && px < target.Width() && y < target.Height()) {
        target.At(static_cast<int>(px), static_cast<int>(y)) = color;
      }
    }
  }
};

class CellFonts final : public FontService {
 public:
  std::unique_ptr<Font> OpenFont(const FontRequest&) override {
    return std::make_unique<CellFont>();
  }
};

constexpr ColorRef kGrey = MakeColorRef(224, 224, 224);

std::vector<AboutLabel> Labels() {
  return {
      {"Label3", "Title here", 240, 240, 1455, 255},
      {"Label4", "OK", 4920, 1320, 1215, 255, kGrey, true},
      {"Wide", "one two three", 0, 0, 60 * 15, 40 * 15},  // lies under Label3's corner
  };
}

TEST(SdlAboutWindow, LabelsSitAtTheirTwipsAtFifteenPerPixel) {
  const auto labels = Labels();
  EXPECT_EQ(LabelRectPixels(labels[0], 15), (IntRect{16, 16, 97, 17}));
  EXPECT_EQ(LabelRectPixels(labels[1], 15), (IntRect{328, 88, 81, 17}));
}

TEST(SdlAboutWindow, AClickFindsTheTopmostLabelUnderIt) {
  const auto labels = Labels();
  EXPECT_EQ(LabelAt(labels, 330, 90, 15), "Label4");
  EXPECT_EQ(LabelAt(labels, 408, 104, 15), "Label4") << "the last pixel of the label";
  EXPECT_EQ(LabelAt(labels, 409, 90, 15), "") << "just beside the label";
  EXPECT_EQ(LabelAt(labels, 20, 20, 15), "Wide") << "the later label lies above the earlier";
  EXPECT_EQ(LabelAt(labels, 200, 60, 15), "");
  EXPECT_EQ(LabelAt(labels, 70, 20, 15), "Label3") << "outside the wide label, inside Label3";
}

TEST(SdlAboutWindow, ThePictureHasTheOkLabelOnGreyAndTheTextInBlack) {
  CellFonts fonts;
  const Image picture = DrawAboutPicture({414, 110}, Labels(), fonts, 15);
  ASSERT_EQ(picture.Extent(), (IntSize{414, 110}));
  const Pixel grey = MakePixel(224, 224, 224);
  const Pixel black = MakePixel(0, 0, 0);
  EXPECT_EQ(picture.At(408, 104), grey) << "the OK label's corner is its back colour";
  EXPECT_NE(picture.At(327, 88), grey) << "the form's colour beside it";
  // "OK" is 12 pixels wide, centred in 81: it starts at 328 + 34.
  EXPECT_EQ(picture.At(328 + 34, 88), black);
  EXPECT_EQ(picture.At(328 + 40, 88), black);
  // "one two three" is 78 pixels wide, so in 60 it wraps: "one two" (42) then "three".
  EXPECT_EQ(picture.At(0, 0), black);
  EXPECT_EQ(picture.At(24, 0), black) << "'two' on the first line";
  EXPECT_EQ(picture.At(0, 10), black) << "'three' on the second line";
  EXPECT_NE(picture.At(48, 0), black) << "nothing after 'two' on the first line";
}

TEST(SdlMessageBoxes, TheStyleChoosesTheKindOfBox) {
  EXPECT_EQ(MessageBoxFlagsOf(kMbExclamationAlert), std::uint32_t{SDL_MESSAGEBOX_WARNING});
  EXPECT_EQ(MessageBoxFlagsOf(0x10), std::uint32_t{SDL_MESSAGEBOX_ERROR});
  EXPECT_EQ(MessageBoxFlagsOf(kMbOk), std::uint32_t{SDL_MESSAGEBOX_INFORMATION});
  EXPECT_EQ(MessageBoxFlagsOf(0x40 | kMbSystemModal), std::uint32_t{SDL_MESSAGEBOX_INFORMATION});
}

TEST(SdlMessageBoxes, WithoutADialogTheBoxIsTracedAndWrittenToStderrInUtf8) {
  std::ostringstream errors;
  NullTrace trace;
  SdlMessageBoxes boxes(trace, DialogUse::StderrOnly, errors);
  EXPECT_EQ(boxes.Show("Caf\xE9 closed", kMbExclamationAlert, ""), kIdOk);
  EXPECT_EQ(errors.str(), "Vistel Screen Saver: Caf\xC3\xA9 closed\n");
}

class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SdlRegistryPath, ConfigFolderThenHomeElseNone) {
  {
    ScopedEnvironment config("XDG_CONFIG_HOME", "/cfg");
    ScopedEnvironment home("HOME", "/home/u");
    EXPECT_EQ(DefaultRegistryPath(), "/cfg/vistel/registry.reg");
  }
  {
    ScopedEnvironment config("XDG_CONFIG_HOME", "relative/ignored");
    ScopedEnvironment home("HOME", "/home/u");
    EXPECT_EQ(DefaultRegistryPath(), "/home/u/.config/vistel/registry.reg");
  }
  {
    ScopedEnvironment config("XDG_CONFIG_HOME", nullptr);
    ScopedEnvironment home("HOME", nullptr);
    EXPECT_EQ(DefaultRegistryPath(), std::nullopt);
  }
}

class CountingSource final : public AudioSource {
 public:
  explicit CountingSource(std::size_t samples) : left_(samples) {}
  std::size_t Pull(std::span<std::int16_t> samples) override {
    const std::size_t n = std::min(samples.size(), left_);
    left_ -= n;
    return n;
  }

 private:
  std::size_t left_;
};

class StepClock final : public Clock {
 public:
  Milliseconds NowMs() const override { return nowMs; }
  Milliseconds nowMs = 0;
};

TEST(SdlAudio, WithoutADeviceASilentStreamPlaysInRealTime) {
  ScopedEnvironment driver("SDL_AUDIODRIVER", "no-such-driver");
  StepClock clock;
  SdlAudioOutput output(clock);
  CountingSource source(44100 * 2);  // one second of stereo
  auto stream = output.Start({44100, 2}, source);
  ASSERT_NE(stream, nullptr) << "a missing device must never fail the show";
  EXPECT_EQ(stream->FramesPlayed(), 0);
  clock.nowMs = 500;
  EXPECT_EQ(stream->FramesPlayed(), 22050);
  clock.nowMs = 5000;
  EXPECT_EQ(stream->FramesPlayed(), 44100) << "no further than the sound goes";
}

}  // namespace
}  // namespace vistel
