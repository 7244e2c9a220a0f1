#include "media/probe/picture_probe.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "imaging/png_encoder.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

std::vector<std::byte> Bytes(std::string_view text) {
  std::vector<std::byte> bytes;
  for (char c : text) bytes.push_back(static_cast<std::byte>(c));
  return bytes;
}

std::vector<std::byte> ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::string(std::istreambuf_iterator<char>(in), {}));
}

struct EncodedCase {
  PictureFormat format;
  PictureKind kind;
  const char* name;
};

class ProbeEncoded : public ::testing::TestWithParam<EncodedCase> {};

// Real files of every format say what they are, and no cut of one makes the
// probe read past its end (the sanitizer build checks) or name another kind.
TEST_P(ProbeEncoded, NamesTheFormatAndSizeAndSurvivesEveryCut) {
  ScratchFolder folder(std::string("probe-") + GetParam().name);
  const std::string path = folder.File("picture");
  ASSERT_TRUE(EncodePicture(testing::TestPattern(97, 61), GetParam().format, path));
  const std::vector<std::byte> file = ReadWhole(path);

  const auto header = ProbePicture(file);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->kind, GetParam().kind);
  EXPECT_EQ(header->size, (IntSize{97, 61}));
  for (std::size_t cut = 0; cut < file.size(); ++cut) {
    const auto shorter = ProbePicture(std::span(file).first(cut));
    if (shorter) {
      EXPECT_EQ(shorter->kind, GetParam().kind) << cut;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ProbeEncoded,
    ::testing::Values(EncodedCase{PictureFormat::Jpeg, PictureKind::Jpeg, "jpeg"},
                      EncodedCase{PictureFormat::Png, PictureKind::Png, "png"},
                      EncodedCase{PictureFormat::Bmp, PictureKind::Bmp, "bmp"},
                      EncodedCase{PictureFormat::Gif, PictureKind::Gif, "gif"},
                      EncodedCase{PictureFormat::Tiff, PictureKind::Tiff, "tiff"}),
    [](const auto& c) { return std::string(c.param.name); });

struct HeaderCase {
  const char* what;
  std::string bytes;
  std::optional<PictureHeader> expected;
};

// Sizes a decoder would allocate by, declared where the formats hide them.
TEST(PictureProbe, FindsTheDeclaredSizeWhereverTheHeaderPutsIt) {
  using namespace std::string_literals;
  const std::vector<HeaderCase> cases = {
      {"PNG of 20000 x 20000", "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x4E\x20\0\0\x4E\x20"s,
       PictureHeader{PictureKind::Png, {20000, 20000}}},
      {"PNG cut in its IHDR", "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0"s, std::nullopt},
      {"bottom-up BMP", "BM"s + std::string(12, '\0') + "\x28\0\0\0\x10\0\0\0\x08\0\0\0"s,
       PictureHeader{PictureKind::Bmp, {16, 8}}},
      {"top-down BMP (negative height)",
       "BM"s + std::string(12, '\0') + "\x28\0\0\0\x10\0\0\0\xF8\xFF\xFF\xFF"s,
       PictureHeader{PictureKind::Bmp, {16, 8}}},
      {"OS/2 BMP (16-bit sizes)", "BM"s + std::string(12, '\0') + "\x0C\0\0\0\x20\0\x04\0"s,
       PictureHeader{PictureKind::Bmp, {32, 4}}},
      {"GIF whose first frame outgrows its screen",
       "GIF89a\x02\0\x02\0\x00\0\0"s + "\x21\xF9\x04\0\0\0\0\0"s +
           "\x2C\x10\0\x20\0\xE8\x03\xD0\x07\0"s,
       PictureHeader{PictureKind::Gif, {1016, 2032}}},
      {"JPEG with metadata before its frame header",
       "\xFF\xD8\xFF\xE1\0\x06"s + "Exif" + "\xFF\xC2\0\x11\x08\x01\x2C\x02\x58"s,
       PictureHeader{PictureKind::Jpeg, {600, 300}}},
      {"JPEG whose scan comes before any frame header", "\xFF\xD8\xFF\xDA\0\x02"s, std::nullopt},
      {"big-endian TIFF, width as LONG, height as SHORT",
       "MM\0*\0\0\0\x08\0\x02"s + "\x01\x00\0\x04\0\0\0\x01\0\x01\x86\xA0"s +
           "\x01\x01\0\x03\0\0\0\x01\x00\x07\0\0"s,
       PictureHeader{PictureKind::Tiff, {100000, 7}}},
      {"TIFF whose directory lies past the end", "II*\0\xFF\xFF\0\0"s, std::nullopt},
      {"a metafile", "\xD7\xCD\xC6\x9A\0\0"s, std::nullopt},
      {"nothing", ""s, std::nullopt},
  };
  for (const HeaderCase& c : cases) {
    const auto header = ProbePicture(Bytes(c.bytes));
    ASSERT_EQ(header.has_value(), c.expected.has_value()) << c.what;
    if (!header) continue;
    EXPECT_EQ(header->kind, c.expected->kind) << c.what;
    EXPECT_EQ(header->size, c.expected->size) << c.what;
  }
}

// A TIFF header and one directory whose only entry is `tag` of `type` with
// `value`.
std::string TiffWithOrientation(bool little, std::uint16_t type, std::uint16_t value,
                                std::uint32_t directoryOffset = 8) {
  auto u16 = [&](std::uint32_t v) {
    return little ? std::string{char(v & 0xFF), char(v >> 8)}
                  : std::string{char(v >> 8), char(v & 0xFF)};
  };
  auto u32 = [&](std::uint32_t v) {
    return little ? u16(v & 0xFFFF) + u16(v >> 16) : u16(v >> 16) + u16(v & 0xFFFF);
  };
  using namespace std::string_literals;
  return (little ? "II*\0"s : "MM\0*"s) + u32(directoryOffset) + u16(1) + u16(274) + u16(type) +
         u32(1) + u16(value) + u16(0) + u32(0);
}

std::string Big32(std::uint32_t v) {
  return {char(v >> 24), char((v >> 16) & 0xFF), char((v >> 8) & 0xFF), char(v & 0xFF)};
}

// An Exif segment holding TiffWithOrientation's directory.
std::string JpegWithExif(bool little, std::uint16_t type, std::uint16_t value,
                         std::uint32_t directoryOffset = 8) {
  using namespace std::string_literals;
  const std::string exif = "Exif\0\0"s + TiffWithOrientation(little, type, value, directoryOffset);
  return "\xFF\xE1"s + Big32(static_cast<std::uint32_t>(exif.size() + 2)).substr(2) + exif;
}

// A PNG chunk (its CRC is not checked by the probe). `declared` overrides the
// data's length.
std::string PngChunk(std::string_view type, const std::string& data, std::uint32_t declared = 0) {
  return Big32(declared != 0 ? declared : static_cast<std::uint32_t>(data.size())) +
         std::string(type) + data + std::string(4, '\0');
}

struct OrientationCase {
  const char* what;
  std::string bytes;
  PictureOrientation expected;
};

// Cameras say how they were held in the first Exif segment's directory
// (either byte order), a PNG's eXIf chunk or a TIFF's first directory; anything unreadable there
// leaves the picture as stored rather than turning it by accident.
TEST(PictureProbe, ReadsTheOrientationCamerasWrite) {
  using namespace std::string_literals;
  const std::string soi = "\xFF\xD8"s;
  const std::string frame = "\xFF\xC0\0\x11\x08\x01\xE0\x02\x80"s;
  const std::string png =
      "\x89PNG\r\n\x1A\n"s + PngChunk("IHDR", Big32(640) + Big32(480) + "\x08\x02\0\0\0"s);
  const std::string idat = PngChunk("IDAT", "\x78\x9C"s);
  const std::vector<OrientationCase> cases = {
      {"little-endian, turn clockwise", soi + JpegWithExif(true, 3, 6) + frame,
       PictureOrientation::TurnClockwise},
      {"big-endian, turn anticlockwise", soi + JpegWithExif(false, 3, 8) + frame,
       PictureOrientation::TurnAnticlockwise},
      {"big-endian, transverse", soi + JpegWithExif(false, 3, 7) + frame,
       PictureOrientation::Transverse},
      {"out of range", soi + JpegWithExif(true, 3, 9) + frame, PictureOrientation::Upright},
      {"zero", soi + JpegWithExif(true, 3, 0) + frame, PictureOrientation::Upright},
      {"not a SHORT", soi + JpegWithExif(true, 4, 6) + frame, PictureOrientation::Upright},
      {"directory past the segment's end", soi + JpegWithExif(true, 3, 6, 40) + frame,
       PictureOrientation::Upright},
      {"only the first Exif segment counts",
       soi + JpegWithExif(true, 3, 3) + JpegWithExif(true, 3, 6) + frame,
       PictureOrientation::TurnHalf},
      {"Exif after the frame header", soi + frame + JpegWithExif(true, 3, 6),
       PictureOrientation::Upright},
      {"PNG, eXIf before the image data",
       png + PngChunk("eXIf", TiffWithOrientation(true, 3, 6)) + idat,
       PictureOrientation::TurnClockwise},
      {"PNG, eXIf after the image data",
       png + idat + PngChunk("eXIf", TiffWithOrientation(false, 3, 8)),
       PictureOrientation::Upright},
      {"PNG, eXIf longer than the file",
       png + PngChunk("eXIf", TiffWithOrientation(true, 3, 6), 1000), PictureOrientation::Upright},
      {"TIFF's own directory",
       "II*\0\x08\0\0\0\x02\0"s + "\x12\x01\x03\0\x01\0\0\0\x05\0\0\0"s +
           "\x00\x01\x03\0\x01\0\0\0\x10\0\0\0"s,
       PictureOrientation::Transpose},
  };
  for (const OrientationCase& c : cases) {
    const auto header = ProbePicture(Bytes(c.bytes));
    ASSERT_TRUE(header) << c.what;
    EXPECT_EQ(header->orientation, c.expected) << c.what;
    if (header->kind == PictureKind::Jpeg || header->kind == PictureKind::Png) {
      EXPECT_EQ(header->size, (IntSize{640, 480})) << c.what;
    }
  }
}

struct UprightCase {
  PictureOrientation orientation;
  IntSize size;
  std::vector<Pixel> pixels;  // row by row
};

class StandsUpright : public ::testing::TestWithParam<UprightCase> {};

// Stored pixels 1 2 3 / 4 5 6, turned as a viewer would show them.
TEST_P(StandsUpright, AsAViewerShowsIt) {
  Image stored(3, 2);
  for (int i = 0; i < 6; ++i) stored.At(i % 3, i / 3) = static_cast<Pixel>(i + 1);
  const Image upright = StandUpright(stored, GetParam().orientation);
  ASSERT_EQ(upright.Extent(), GetParam().size);
  EXPECT_EQ(UprightSize(stored.Extent(), GetParam().orientation), GetParam().size);
  EXPECT_EQ(std::vector<Pixel>(upright.Pixels().begin(), upright.Pixels().end()), GetParam().pixels)
      << OrientationName(GetParam().orientation);
}

INSTANTIATE_TEST_SUITE_P(
    EveryOrientation, StandsUpright,
    ::testing::Values(UprightCase{PictureOrientation::Upright, {3, 2}, {1, 2, 3, 4, 5, 6}},
                      UprightCase{PictureOrientation::MirrorLeftRight, {3, 2}, {3, 2, 1, 6, 5, 4}},
                      UprightCase{PictureOrientation::TurnHalf, {3, 2}, {6, 5, 4, 3, 2, 1}},
                      UprightCase{PictureOrientation::MirrorTopBottom, {3, 2}, {4, 5, 6, 1, 2, 3}},
                      UprightCase{PictureOrientation::Transpose, {2, 3}, {1, 4, 2, 5, 3, 6}},
                      UprightCase{PictureOrientation::TurnClockwise, {2, 3}, {4, 1, 5, 2, 6, 3}},
                      UprightCase{PictureOrientation::Transverse, {2, 3}, {6, 3, 5, 2, 4, 1}},
                      UprightCase{
                          PictureOrientation::TurnAnticlockwise, {2, 3}, {3, 6, 2, 5, 1, 4}}));

class StoredPng : public ::testing::TestWithParam<IntSize> {};

// The headless snapshots of the Windows build: any PNG reader must take them
// as they are, across deflate's 64 KiB blocks too.
TEST_P(StoredPng, ReadsBackExactly) {
  const IntSize size = GetParam();
  ScratchFolder folder("stored-png");
  const Image source = testing::TestPattern(size.width, size.height);
  const std::vector<std::byte> png = EncodeStoredPng(source);
  const std::string path = folder.File("shot.png");
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
  auto decoded = FfmpegPictureDecoder().DecodePicture(path, 0);
  ASSERT_TRUE(decoded) << decoded.error().description;
  EXPECT_TRUE(*decoded == source);
}

INSTANTIATE_TEST_SUITE_P(Sizes, StoredPng,
                         ::testing::Values(IntSize{1, 1}, IntSize{97, 61}, IntSize{200, 120}));

}  // namespace
}  // namespace vistel
