// Every encoder writes a whole new file: a link planted at the name (the
// demo's --media-dir, a snapshot's path) is replaced by the file, and the file
// the link points at is neither created nor changed.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <ostream>
#include <string>

#include "media/ffmpeg/encoders.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;
using testing::ScratchFolder;
using testing::TestPattern;

struct EncoderCase {
  const char* name;
  std::function<Status(const std::string& path)> write;
};

const EncoderCase kEncoders[] = {
    {"Jpeg",
     [](const std::string& p) {
       return EncodePicture(TestPattern(32, 24), PictureFormat::Jpeg, p);
     }},
    {"Bmp",
     [](const std::string& p) {
       return EncodePicture(TestPattern(32, 24), PictureFormat::Bmp, p);
     }},
    {"Snapshot", [](const std::string& p) { return WritePng(TestPattern(32, 24), p); }},
    {"PngWithAlpha",
     [](const std::string& p) {
       const std::vector<std::uint8_t> alpha(32 * 24, 128);
       return EncodePngWithAlpha(TestPattern(32, 24), alpha, p);
     }},
    {"Wav",
     [](const std::string& p) {
       const auto sound = testing::Sine(440, 0.5, 22050, 0.1);
       return EncodeAudioFile(sound, {22050, 2}, AudioFileType::Wav, p);
     }},
    {"Mpeg1Clip",
     [](const std::string& p) {
       Mpeg1ClipSettings settings;
       settings.size = {32, 32};
       settings.frameCount = 3;
       return EncodeMpeg1Clip(
           settings, [](int, Image& frame) { frame = TestPattern(32, 32); }, nullptr, p);
     }},
};

void PrintTo(const EncoderCase& c, std::ostream* out) {
  *out << c.name;
}

class EncoderLinkTest : public ::testing::TestWithParam<std::tuple<EncoderCase, bool>> {};

TEST_P(EncoderLinkTest, ReplacesTheLinkAndLeavesItsTargetAlone) {
  const auto& [encoder, live] = GetParam();
  const ScratchFolder folder(std::string("links-") + encoder.name + (live ? "-live" : ""));
  const fs::path victim = folder.File("victim");
  if (live) std::ofstream(victim, std::ios::binary) << "precious";
  const std::string path = folder.File("medium");
  fs::create_symlink(victim, path);

  const Status written = encoder.write(path);
  ASSERT_TRUE(written) << written.error().description;
  if (live) {
    std::ifstream in(victim, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "precious")
        << "written through the link";
  } else {
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim))) << "created at the link's target";
  }
  EXPECT_FALSE(fs::is_symlink(path)) << "expected the link replaced by the new file";
  EXPECT_GT(fs::file_size(path), 0U);
}

INSTANTIATE_TEST_SUITE_P(Encoders, EncoderLinkTest,
                         ::testing::Combine(::testing::ValuesIn(kEncoders), ::testing::Bool()),
                         [](const auto& c) {
                           return std::string(std::get<0>(c.param).name) +
                                  (std::get<1>(c.param) ? "Live" : "Dangling");
                         });

}  // namespace
}  // namespace vistel
