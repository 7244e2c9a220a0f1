// Media a show cannot play, each as the place of the show that uses it: the
// check must name the fault, both with the probes alone (the Windows build
// of vistel-pack) and with FFmpeg's decoders (the Linux one).
#include "media/check/medium_check.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "media_test_support.hpp"
#include "platform/native_files.hpp"

namespace vistel {
namespace {

using namespace std::string_literals;
using testing::ReadBytes;
using testing::ScratchFolder;
using testing::Sine;
using testing::TestPattern;
using testing::WriteBytes;

std::vector<std::uint8_t> Text(const std::string& bytes) {
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> Random(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> bytes(size);
  for (auto& b : bytes) b = static_cast<std::uint8_t>(rng());
  return bytes;
}

// A PNG whose header claims width x height; no pixels follow.
std::vector<std::uint8_t> PngHeader(std::uint32_t width, std::uint32_t height) {
  auto be32 = [](std::uint32_t v) {
    return std::string{char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF),
                       char(v & 0xFF)};
  };
  return Text("\x89PNG\r\n\x1a\n"s + be32(13) + "IHDR" + be32(width) + be32(height) +
              "\x08\x02\0\0\0"s + be32(0));
}

// `jpeg` with an Exif segment saying the camera was turned (orientation 6).
std::vector<std::uint8_t> TurnedPhoto(const std::vector<std::uint8_t>& jpeg) {
  const std::string tiff = "II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0\x06\0\0\0\0\0\0\0"s;
  const std::string exif = "Exif\0\0"s + tiff;
  const std::string segment =
      "\xFF\xE1"s + char((exif.size() + 2) >> 8) + char((exif.size() + 2) & 0xFF) + exif;
  const std::string whole(jpeg.begin(), jpeg.end());
  return Text(whole.substr(0, 2) + segment + whole.substr(2));
}

Result<Milliseconds> SoundLength(std::string_view path) {
  auto sound = OpenAudioFile(path);
  if (!sound) return Fail(sound.error());
  return (*sound)->LengthMs();
}

struct MediumCase {
  const char* what;
  const char* file;
  MediumUse use;
  const char* trackFileName;
  // Substrings of the problem (two) and of the warning; "" for none.
  const char* problem;
  const char* problemAlso;
  const char* warning;
};

class MediumCheck : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ScratchFolder("medium-check");
    const Image picture = TestPattern(64, 48);
    ASSERT_TRUE(EncodePicture(picture, PictureFormat::Jpeg, folder_->File("photo.jpg")));
    ASSERT_TRUE(EncodePicture(picture, PictureFormat::Png, folder_->File("small.png")));
    ASSERT_TRUE(EncodeMpeg1Clip(
        {{64, 48}, 25, 10, 4}, [](int, Image& f) { f = TestPattern(64, 48); }, nullptr,
        folder_->File("clip.mpg")));
    const auto tone = Sine(440, 0.3, 44100, 0.5);
    ASSERT_TRUE(EncodeAudioFile(tone, {44100, 2}, AudioFileType::Wav, folder_->File("tone.wav")));
    const auto jpeg = ReadBytes(folder_->File("photo.jpg"));
    WriteBytes(folder_->File("turned.jpg"), TurnedPhoto(jpeg));
    // Cut before its frame header, and cut in the middle of its pixels.
    WriteBytes(folder_->File("head.jpg"), {jpeg.begin(), jpeg.begin() + 20});
    WriteBytes(folder_->File("photo.heic"),
               Text("\0\0\0\x18"s + "ftypheic\0\0\0\0mif1heic" + std::string(300, '\x5A')));
    WriteBytes(folder_->File("huge.png"), PngHeader(20000, 20000));
    WriteBytes(folder_->File("random.mpg"), Random(8000, 14));
    WriteBytes(folder_->File("random.wav"), Random(3000, 15));
    ASSERT_TRUE(EncodeAudioFile({}, {44100, 2}, AudioFileType::Wav, folder_->File("empty.wav")));
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  static ScratchFolder* folder_;
};
ScratchFolder* MediumCheck::folder_ = nullptr;

TEST_F(MediumCheck, NamesWhatThePlayerCannotPlay) {
  const std::vector<MediumCase> cases = {
      {"a JPEG as an image", "photo.jpg", MediumUse::Image, "", "", "", ""},
      {"a PNG as a background", "small.png", MediumUse::Background, "", "", "", ""},
      {"an MPEG-1 clip as a video", "clip.mpg", MediumUse::Video, "", "", "", ""},
      {"a WAV as a track", "tone.wav", MediumUse::Track, "tone.wav", "", "", ""},
      {"a HEIC picture", "photo.heic", MediumUse::Image, "", "is a HEIC picture, not a picture", "",
       ""},
      {"a PNG of 20000x20000", "huge.png", MediumUse::Background, "",
       "is 20000x20000 pixels, more than the player decodes", "", ""},
      {"a JPEG given as a video", "photo.jpg", MediumUse::Video, "", "is a JPEG picture, not a",
       "give it as \"image\"", ""},
      {"random bytes named .mpg", "random.mpg", MediumUse::Video, "", "not a", "", ""},
      {"a JPEG cut before its size", "head.jpg", MediumUse::Image, "",
       "is a JPEG picture cut short before its size", "", ""},
      {"a clip given as a picture", "clip.mpg", MediumUse::Image, "",
       "is an MPEG stream, not a picture", "give it as \"video\"", ""},
      {"random bytes as a track", "random.wav", MediumUse::Track, "random.wav", "not a sound", "",
       ""},
      {"a WAV without samples", "empty.wav", MediumUse::Track, "empty.wav",
       "plays for no measurable time", "", ""},
      {"a WAV named as MIDI", "tone.wav", MediumUse::Track, "tone.mid", "names a MIDI song", "",
       ""},
      {"a photo stored turned", "turned.jpg", MediumUse::Image, "", "", "",
       "stored turned (Exif orientation: turn a quarter clockwise"},
  };
  const auto files = MakeNativeFileSystem();
  FfmpegPictureDecoder pictures;
  FfmpegClipDecoder clips;
  const MediumDecoders probesOnly;
  const MediumDecoders decoding{&pictures, &clips, &SoundLength};
  for (const MediumDecoders* decoders : {&probesOnly, &decoding}) {
    const char* mode = decoders == &probesOnly ? " (probes only)" : " (decoded)";
    for (const MediumCase& c : cases) {
      const MediumVerdict verdict =
          CheckMediumFile(c.use, *files, folder_->File(c.file), *decoders, c.trackFileName);
      const auto holds = [](const std::vector<std::string>& texts, std::string_view part) {
        return std::any_of(texts.begin(), texts.end(),
                           [&](const std::string& t) { return t.find(part) != std::string::npos; });
      };
      const auto first = [](const std::vector<std::string>& texts) {
        return texts.empty() ? std::string("none") : texts.front();
      };
      for (const char* part : {c.problem, c.problemAlso}) {
        if (*part == '\0') continue;
        EXPECT_TRUE(holds(verdict.problems, part))
            << c.what << mode << ": expected a problem saying '" << part << "', got "
            << first(verdict.problems);
      }
      if (*c.problem == '\0') {
        EXPECT_TRUE(verdict.problems.empty())
            << c.what << mode << ": expected no problem, got " << first(verdict.problems);
      }
      if (*c.warning == '\0') {
        EXPECT_TRUE(verdict.warnings.empty())
            << c.what << mode << ": expected no warning, got " << first(verdict.warnings);
      } else {
        EXPECT_TRUE(holds(verdict.warnings, c.warning))
            << c.what << mode << ": expected a warning saying '" << c.warning << "', got "
            << first(verdict.warnings);
      }
    }
  }
}

}  // namespace
}  // namespace vistel
