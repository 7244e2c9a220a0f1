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

// Opens the file as the path does; true when it was accepted.
bool Accepts(Path path, const std::string& file) {
  switch (path) {
    case Path::Picture:
      return FfmpegPictureDecoder().DecodePicture(file, 0).has_value();
    case Path::Clip:
      return FfmpegClipDecoder().OpenClip(file).has_value();
    case Path::Sound:
      break;
  }
  return OpenAudioFile(file).has_value();
}

const char* Name(Path path) {
  return path == Path::Picture ? "picture" : path == Path::Clip ? "clip" : "sound";
}

// A small picture from our own encoder, its size fields then rewritten.
std::vector<std::uint8_t> Patched(PictureFormat format, std::uint32_t width, std::uint32_t height) {
  ScratchFolder folder("patch");
  EXPECT_TRUE(EncodePicture(testing::TestPattern(16, 16), format, folder.File("p")));
  auto b = testing::ReadBytes(folder.File("p"));
  switch (format) {
    case PictureFormat::Jpeg:
      for (std::size_t i = 0; i + 9 < b.size(); ++i) {
        if (b[i] == 0xFF && b[i + 1] >= 0xC0 && b[i + 1] <= 0xC2) {  // start of frame
          b[i + 5] = static_cast<std::uint8_t>(height >> 8), b[i + 6] = height & 0xFF;
          b[i + 7] = static_cast<std::uint8_t>(width >> 8), b[i + 8] = width & 0xFF;
          break;
        }
      }
      break;
    case PictureFormat::Bmp:
      testing::SetLittle(b, 18, width, 4);
      testing::SetLittle(b, 22, height, 4);
      break;
    case PictureFormat::Gif:  // the logical screen, which the decoder allocates
      testing::SetLittle(b, 6, width, 2);
      testing::SetLittle(b, 8, height, 2);
      break;
    case PictureFormat::Tiff: {
      const auto byte = [&b](std::size_t at) { return std::size_t{b.at(at)}; };
      const std::size_t ifd = byte(4) | (byte(5) << 8) | (byte(6) << 16) | (byte(7) << 24);
      const std::size_t count = byte(ifd) | (byte(ifd + 1) << 8);
      for (std::size_t e = ifd + 2; e < ifd + 2 + 12 * count; e += 12) {
        const std::size_t tag = byte(e) | (byte(e + 1) << 8);
        const int bytes = b.at(e + 2) == 3 ? 2 : 4;  // SHORT or LONG
        if (tag == 256) testing::SetLittle(b, e + 8, width, bytes);
        if (tag == 257) testing::SetLittle(b, e + 8, height, bytes);
      }
      break;
    }
    case PictureFormat::Png:
      break;
  }
  return b;
}

struct Oversized {
  const char* name;
  Path path;
  std::function<std::vector<std::uint8_t>()> bytes;
};

class OversizedPictures : public ::testing::TestWithParam<Oversized> {};

// A header that claims 16000x16000 pixels (a gigabyte decoded) over a few
// bytes of data is refused on both paths, before the memory is taken; so is
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
    ::testing::Values(
        Oversized{"png", Path::Picture, HugePng}, Oversized{"png_clip", Path::Clip, HugePng},
        Oversized{"png_too_wide", Path::Picture,
                  [] { return testing::PngBuilder(20000, 4).Finish(4, 0, 0, 0); }},
        Oversized{"jpeg", Path::Picture, [] { return Patched(PictureFormat::Jpeg, 16000, 16000); }},
        Oversized{"jpeg_clip", Path::Clip,
                  [] { return Patched(PictureFormat::Jpeg, 16000, 16000); }},
        Oversized{"bmp_clip", Path::Clip, [] { return Patched(PictureFormat::Bmp, 16000, 16000); }},
        Oversized{"gif", Path::Picture, [] { return Patched(PictureFormat::Gif, 16000, 16000); }},
        Oversized{"gif_clip", Path::Clip, [] { return Patched(PictureFormat::Gif, 16000, 16000); }},
        Oversized{"tiff", Path::Picture, [] { return Patched(PictureFormat::Tiff, 16000, 16000); }},
        Oversized{"mpeg2_clip", Path::Clip, [] { return testing::Mpeg2Stream(16000, 16000); }}),
    [](const auto& p) { return std::string(p.param.name); });

// Sees whether a file is opened while it watches.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0 && inotify_add_watch(fd_, path.c_str(), IN_OPEN | IN_ACCESS) < 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~OpenWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;
  bool Works() const { return fd_ >= 0; }
  bool Opened() const {
    alignas(inotify_event) char events[4096];
    return ::read(fd_, events, sizeof events) > 0;
  }

 private:
  int fd_;
};

struct Foreign {
  const char* name;
  // The medium's text; {} stands for the file outside the package.
  const char* text;
};

class ForeignInputs : public ::testing::TestWithParam<std::tuple<Foreign, Path>> {};

// Playlists and scripts that name other files are not media: whatever the
// path expects, they are refused and the file they name is never opened.
TEST_P(ForeignInputs, AreRefusedAndReachNoOtherFile) {
  const auto& [c, path] = GetParam();
  ScratchFolder folder(std::string("foreign-") + c.name + Name(path));
  const std::string outside = folder.File("secret.mpg");
  Mpeg1ClipSettings settings{{32, 32}, 25, 5, 4};
  ASSERT_TRUE(EncodeMpeg1Clip(
      settings, [](int, Image& frame) { frame = testing::TestPattern(32, 32); }, nullptr, outside));
  std::string text = c.text;
  text.replace(text.find("{}"), 2, outside);
  const std::string medium = folder.File("medium");
  testing::WriteBytes(medium, {text.begin(), text.end()});

  const OpenWatch watch(outside);
  if (!watch.Works()) GTEST_SKIP() << "no inotify here";
  EXPECT_FALSE(Accepts(path, medium)) << c.name << " accepted as a " << Name(path);
  EXPECT_FALSE(watch.Opened()) << c.name << " opened the file it names, as a " << Name(path);
}

INSTANTIATE_TEST_SUITE_P(
    Media, ForeignInputs,
    ::testing::Combine(
        ::testing::Values(
            Foreign{"hls",
                    "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10.0,\n{}\n#EXT-X-ENDLIST\n"},
            Foreign{"ffconcat", "ffconcat version 1.0\nfile {}\n"},
            Foreign{"ffconcat_sibling", "ffconcat version 1.0\nfile secret.mpg\n# {}\n"}),
        ::testing::Values(Path::Picture, Path::Clip, Path::Sound)),
    [](const auto& p) {
      return std::string(std::get<0>(p.param).name) + "_" + Name(std::get<1>(p.param));
    });

class InflatingPngChunks : public ::testing::TestWithParam<const char*> {};

// A 4x4 picture carrying half a MiB of compressed zeros in an ancillary
// chunk, which would inflate to 512 MiB: it shows as the picture it is, and the
// chunk is never inflated.
TEST_P(InflatingPngChunks, AreNeverInflated) {
  const std::string type = GetParam();
  std::vector<std::uint8_t> data;
  if (type == "zTXt") data = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
  if (type == "iTXt") data = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 1, 0, 0, 0};
  if (type == "iCCP") data = {'i', 'c', 'c', 0, 0};
  const auto zeros = testing::ZlibOfZeros((std::size_t{512} << 20) / 258);
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

struct OddSound {
  const char* name;
  std::uint32_t rate;
  std::uint16_t channels;
  std::uint16_t bits;
};

class OddSoundHeaders : public ::testing::TestWithParam<OddSound> {};

// A sound at a rate far below the output's is stretched as it plays, never
// a whole packet at once (a 4096-sample packet at 1 Hz is 700 MiB at 44.1
// kHz); a header claiming gigabytes of data does not make the sound longer
// than a day.
TEST_P(OddSoundHeaders, PlayWithinTheBudget) {
  const OddSound& c = GetParam();
  ScratchFolder folder(std::string("sound-") + c.name);
  std::vector<std::uint8_t> data(16384);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 37);
  testing::WriteBytes(folder.File("audio.wav"),
                      testing::Wav(c.rate, c.channels, c.bits, 0xFFFFFFF0U, data));
  std::size_t pulled = 0;
  Milliseconds length = 0;
  const long growth = testing::PeakGrowthMiB([&] {
    auto sound = OpenAudioFile(folder.File("audio.wav"));
    ASSERT_TRUE(sound) << sound.error().description;
    length = (*sound)->LengthMs();
    std::vector<std::int16_t> second(static_cast<std::size_t>((*sound)->Format().sampleRate) * 2);
    pulled = (*sound)->Pull(second);
  });
  EXPECT_GT(pulled, 0U) << c.name;
  EXPECT_LE(length, limits::kMaxMediaMs) << c.name;
  if (growth >= 0) {
    EXPECT_LT(growth, kBudgetMiB) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Wav, OddSoundHeaders,
                         ::testing::Values(OddSound{"one_hertz_u8", 1, 1, 8},
                                           OddSound{"one_hertz_s16_stereo", 1, 2, 16},
                                           OddSound{"seven_hertz", 7, 1, 8}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vistel
