// Hostile media against the FFmpeg services: every one is refused, or read
// within the memory budget, and none reaches past its own file.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <functional>

#include "base/input_limits.hpp"
#include "crafted_media.hpp"
#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

// Far below what any fault here costs (hundreds of MiB to gigabytes), far
// above what reading a refused header costs (sanitizer builds included).
constexpr long kBudgetMiB = 64;

enum class Path { Picture, Clip, Sound };

const char* Name(Path path) {
  return path == Path::Picture ? "picture" : path == Path::Clip ? "clip" : "sound";
}

// Opens the file as the path does; true when it was accepted.
bool Accepts(Path path, const std::string& file) {
  if (path == Path::Picture) return FfmpegPictureDecoder().DecodePicture(file, 0).has_value();
  if (path == Path::Clip) return FfmpegClipDecoder().OpenClip(file).has_value();
  return OpenAudioFile(file).has_value();
}

struct Oversized {
  const char* name;
  Path path;
  std::vector<std::uint8_t> (*bytes)();
};

class OversizedPictures : public ::testing::TestWithParam<Oversized> {};

// A header that claims 16000x16000 pixels (a gigabyte decoded) over a few
// bytes of data is refused on both paths before its memory is taken; so is
// a picture within the pixel count but wider than any screen.
TEST_P(OversizedPictures, AreRefusedBeforeTheirMemoryIsTaken) {
  const Oversized& c = GetParam();
  ScratchFolder folder(std::string("oversized-") + c.name);
  const std::string file = folder.File("medium");
  testing::WriteBytes(file, c.bytes());
  bool accepted = true;
  const long growth = testing::PeakGrowthMiB([&] { accepted = Accepts(c.path, file); });
  EXPECT_FALSE(accepted) << c.name << " accepted as a " << Name(c.path);
  if (growth >= 0) {
    EXPECT_LT(growth, kBudgetMiB) << c.name << " as a " << Name(c.path);
  }
}

std::vector<std::uint8_t> HugePng() {
  return testing::PngBuilder(16000, 16000).Finish(1, 0, 0, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Media, OversizedPictures,
    ::testing::Values(Oversized{"png", Path::Picture, HugePng},
                      Oversized{"png_as_clip", Path::Clip, HugePng},
                      Oversized{"png_too_wide", Path::Picture,
                                [] { return testing::PngBuilder(20000, 1).Finish(1, 0, 0, 0); }},
                      Oversized{"mpeg2_clip", Path::Clip, testing::HugeMpeg2Stream}),
    [](const auto& p) { return std::string(p.param.name); });

class ForeignInputs : public ::testing::TestWithParam<std::tuple<const char*, Path>> {};

// Playlists and scripts that name other files are not media: whatever the
// path expects, they are refused and the file they name is never opened.
TEST_P(ForeignInputs, AreRefusedAndReachNoOtherFile) {
  const auto& [text, path] = GetParam();
  ScratchFolder folder(std::string("foreign-") + Name(path));
  const std::string outside = folder.File("secret.mpg");
  Mpeg1ClipSettings settings{{32, 32}, 25, 5, 4};
  ASSERT_TRUE(EncodeMpeg1Clip(
      settings, [](int, Image& frame) { frame = testing::TestPattern(32, 32); }, nullptr, outside));
  std::string medium = text;
  medium.replace(medium.find("{}"), 2, outside);
  testing::WriteBytes(folder.File("medium"), {medium.begin(), medium.end()});

  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (watch < 0 || inotify_add_watch(watch, outside.c_str(), IN_OPEN) < 0) {
    if (watch >= 0) ::close(watch);
    GTEST_SKIP() << "no inotify here";
  }
  EXPECT_FALSE(Accepts(path, folder.File("medium"))) << text << "\naccepted as a " << Name(path);
  alignas(inotify_event) char events[4096];
  EXPECT_LT(::read(watch, events, sizeof events), 1) << text << "\nopened the file it names";
  ::close(watch);
}

INSTANTIATE_TEST_SUITE_P(
    Media, ForeignInputs,
    ::testing::Combine(
        ::testing::Values("#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\n{}\n#EXT-X-ENDLIST\n",
                          "ffconcat version 1.0\nfile secret.mpg\n# {}\n"),
        ::testing::Values(Path::Picture, Path::Clip, Path::Sound)));

class InflatingPngChunks : public ::testing::TestWithParam<const char*> {};

// A 4x4 picture carrying half a MiB of compressed zeros in an ancillary
// chunk, which would inflate to 512 MiB: it shows as the picture it is, and
// the chunk is never inflated.
TEST_P(InflatingPngChunks, AreNeverInflated) {
  const std::string type = GetParam();
  std::vector<std::uint8_t> data = {'n', 'a', 'm', 'e', 0, 0};   // keyword, method
  if (type == "iTXt") data.insert(data.begin() + 5, {1, 0, 0});  // compressed, no language
  const auto zeros = testing::ZlibOfZeros(std::size_t{1} << 19);
  data.insert(data.end(), zeros.begin(), zeros.end());
  ScratchFolder folder(std::string("inflate-") + type);
  testing::WriteBytes(folder.File("img"),
                      testing::PngBuilder(4, 4).Chunk(type.c_str(), data).Finish(4, 10, 200, 30));

  Result<Image> picture = Fail(ErrorCode::InvalidProcedureCall);
  const long growth = testing::PeakGrowthMiB(
      [&] { picture = FfmpegPictureDecoder().DecodePicture(folder.File("img"), 0); });
  ASSERT_TRUE(picture) << picture.error().description;
  EXPECT_EQ(picture->Extent(), (IntSize{4, 4}));
  EXPECT_EQ(picture->At(3, 3), MakePixel(10, 200, 30));
  if (growth >= 0) {
    EXPECT_LT(growth, kBudgetMiB) << type << " was inflated";
  }
}

INSTANTIATE_TEST_SUITE_P(Png, InflatingPngChunks, ::testing::Values("zTXt", "iTXt", "iCCP"));

class SlowSounds : public ::testing::TestWithParam<std::tuple<std::uint32_t, std::uint16_t>> {};

// A sound at a rate far below the output's is stretched as it plays, never
// a whole packet at once (a 4096-sample packet at 1 Hz is 700 MiB at 44.1
// kHz); its header's claim of gigabytes of data keeps it within a day.
TEST_P(SlowSounds, PlayWithinTheBudget) {
  const auto [rate, channels] = GetParam();
  ScratchFolder folder("slow-sound");
  std::vector<std::uint8_t> data(16384);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37);
  testing::WriteBytes(folder.File("audio.wav"), testing::Wav(rate, channels, 8, 0xFFFFFFF0U, data));
  std::size_t pulled = 0;
  Milliseconds length = 0;
  const long growth = testing::PeakGrowthMiB([&] {
    auto sound = OpenAudioFile(folder.File("audio.wav"));
    ASSERT_TRUE(sound) << sound.error().description;
    length = (*sound)->LengthMs();
    std::vector<std::int16_t> second(static_cast<std::size_t>((*sound)->Format().sampleRate) * 2);
    pulled = (*sound)->Pull(second);
  });
  EXPECT_GT(pulled, 0U);
  EXPECT_LE(length, limits::kMaxMediaMs);
  if (growth >= 0) {
    EXPECT_LT(growth, kBudgetMiB) << rate << " Hz, " << channels << " channels";
  }
}

INSTANTIATE_TEST_SUITE_P(Wav, SlowSounds,
                         ::testing::Values(std::tuple{1U, std::uint16_t{1}},
                                           std::tuple{1U, std::uint16_t{2}},
                                           std::tuple{7U, std::uint16_t{1}}));

}  // namespace
}  // namespace vistel
