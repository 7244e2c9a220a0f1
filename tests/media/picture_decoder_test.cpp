#include "media/ffmpeg/picture_decoder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

#include "media/ffmpeg/encoders.hpp"
#include "media_test_support.hpp"

namespace vistel {
namespace {

using testing::ScratchFolder;

struct Difference {
  unsigned maximum = 0;
  double mean = 0;
};

Difference Compare(const Image& actual, const Image& expected) {
  Difference d;
  double sum = 0;
  for (int y = 0; y < expected.Height(); ++y) {
    for (int x = 0; x < expected.Width(); ++x) {
      const Pixel a = actual.At(x, y), e = expected.At(x, y);
      for (int shift : {0, 8, 16}) {
        const int da =
            static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((e >> shift) & 0xFF);
        d.maximum = std::max(d.maximum, static_cast<unsigned>(std::abs(da)));
        sum += std::abs(da);
      }
    }
  }
  d.mean = sum / (3.0 * static_cast<double>(expected.Pixels().size()));
  return d;
}

// At most 200 colours, so a GIF holds it exactly.
Image FewColours(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.At(x, y) =
          MakePixel(static_cast<unsigned>(x % 20) * 12, static_cast<unsigned>(y % 10) * 25, 77);
    }
  }
  return image;
}

struct FormatCase {
  PictureFormat format;
  const char* name;
  bool lossless;
};

class PictureRoundTrip : public ::testing::TestWithParam<FormatCase> {};

// Odd sizes catch row padding and chroma subsampling at the edges; the file
// has no extension, as the extracted media have none.
TEST_P(PictureRoundTrip, DecodesWhatTheEncoderWrote) {
  const FormatCase c = GetParam();
  ScratchFolder folder(std::string("picture-") + c.name);
  const Image source =
      c.format == PictureFormat::Gif ? FewColours(97, 61) : testing::TestPattern(97, 61);
  const std::string path = folder.File("img");
  auto written = EncodePicture(source, c.format, path);
  ASSERT_TRUE(written) << written.error().description;

  auto decoded = FfmpegPictureDecoder().DecodePicture(path, MakePixel(1, 2, 3));
  ASSERT_TRUE(decoded) << decoded.error().description;
  ASSERT_EQ(decoded->Extent(), source.Extent());
  const Difference d = Compare(*decoded, source);
  if (c.lossless) {
    EXPECT_EQ(d.maximum, 0U) << c.name << " changed pixels";
  } else {
    EXPECT_LT(d.mean, 2.0) << c.name;
    EXPECT_LE(d.maximum, 40U) << c.name;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, PictureRoundTrip,
                         ::testing::Values(FormatCase{PictureFormat::Jpeg, "jpeg", false},
                                           FormatCase{PictureFormat::Png, "png", true},
                                           FormatCase{PictureFormat::Bmp, "bmp", true},
                                           FormatCase{PictureFormat::Gif, "gif", true},
                                           FormatCase{PictureFormat::Tiff, "tiff", true}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(PictureDecoder, QuantisesManyColouredGifsToTheFixedPalette) {
  ScratchFolder folder("gif-many");
  const Image source = testing::TestPattern(64, 64);
  ASSERT_TRUE(EncodePicture(source, PictureFormat::Gif, folder.File("bg")));
  auto decoded = FfmpegPictureDecoder().DecodePicture(folder.File("bg"), 0);
  ASSERT_TRUE(decoded) << decoded.error().description;
  // Half a step of the 3-3-2 cube: 18 for red and green, 43 for blue.
  EXPECT_LE(Compare(*decoded, source).maximum, 43U);
}

TEST(PictureDecoder, ComposesTransparencyOverTheBackColour) {
  ScratchFolder folder("alpha");
  constexpr int kWidth = 256;
  Image colour(kWidth, 2, MakePixel(250, 10, 128));
  std::vector<std::uint8_t> alpha(static_cast<std::size_t>(kWidth) * 2);
  for (std::size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<std::uint8_t>(i % kWidth);
  ASSERT_TRUE(EncodePngWithAlpha(colour, alpha, folder.File("img")));

  const Pixel back = MakePixel(0, 200, 40);
  auto decoded = FfmpegPictureDecoder().DecodePicture(folder.File("img"), back);
  ASSERT_TRUE(decoded) << decoded.error().description;
  for (int x = 0; x < kWidth; ++x) {
    const unsigned a = static_cast<unsigned>(x);
    auto mix = [a](unsigned c, unsigned b) { return (c * a + b * (255 - a) + 127) / 255; };
    const Pixel expected = MakePixel(mix(250, 0), mix(10, 200), mix(128, 40));
    EXPECT_EQ(decoded->At(x, 1), expected)
        << "alpha " << a << std::hex << " got " << decoded->At(x, 1) << " expected " << expected;
  }
}

// A 4x2 BMP, 8 bits per pixel, run-length encoded, bottom-up, with a
// four-colour palette: what old authoring tools wrote.
std::vector<std::uint8_t> RleBmp() {
  std::vector<std::uint8_t> b = {'B', 'M'};
  auto put32 = [&b](std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  auto put16 = [&b](std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const std::vector<std::uint8_t> data = {4, 1,        // bottom row: four of colour 1
                                          0, 0,        // end of line
                                          2, 2, 2, 3,  // top row: two of colour 2, two of colour 3
                                          0, 1};       // end of bitmap
  const std::uint32_t offset = 14 + 40 + 4 * 4;
  put32(offset + static_cast<std::uint32_t>(data.size()));
  put32(0);
  put32(offset);
  put32(40);
  put32(4);  // width
  put32(2);  // height (bottom-up)
  put16(1);
  put16(8);
  put32(1);  // BI_RLE8
  put32(static_cast<std::uint32_t>(data.size()));
  put32(2835);
  put32(2835);
  put32(4);
  put32(0);
  for (std::uint32_t bgr : {0x000000U, 0x0000FFU, 0x00FF00U, 0xFF8000U})
    put32(bgr);  // B,G,R,0 bytes
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

TEST(PictureDecoder, ReadsRunLengthEncodedPalettedBitmaps) {
  ScratchFolder folder("rle");
  testing::WriteBytes(folder.File("img"), RleBmp());
  auto decoded = FfmpegPictureDecoder().DecodePicture(folder.File("img"), 0);
  ASSERT_TRUE(decoded) << decoded->Width() << decoded.error().description;
  ASSERT_EQ(decoded->Extent(), (IntSize{4, 2}));
  // Palette entries are little-endian B,G,R words: 0x0000FF is pure blue.
  EXPECT_EQ(decoded->At(0, 1), MakePixel(0, 0, 255));
  EXPECT_EQ(decoded->At(3, 1), MakePixel(0, 0, 255));
  EXPECT_EQ(decoded->At(0, 0), MakePixel(0, 255, 0));
  EXPECT_EQ(decoded->At(3, 0), MakePixel(255, 128, 0));
}

TEST(PictureDecoder, RefusesBrokenFilesWithAReason) {
  ScratchFolder folder("broken");
  ASSERT_TRUE(EncodePicture(testing::TestPattern(64, 48), PictureFormat::Png, folder.File("png")));
  ASSERT_TRUE(EncodePicture(testing::TestPattern(64, 48), PictureFormat::Jpeg, folder.File("jpg")));
  const auto png = testing::ReadBytes(folder.File("png"));
  const auto jpg = testing::ReadBytes(folder.File("jpg"));
  std::vector<std::uint8_t> garbage(3000);
  for (std::size_t i = 0; i < garbage.size(); ++i)
    garbage[i] = static_cast<std::uint8_t>(i * 31 % 253);
  testing::WriteBytes(folder.File("empty"), {});
  testing::WriteBytes(folder.File("garbage"), garbage);
  testing::WriteBytes(folder.File("png-header"), {png.begin(), png.begin() + 60});
  testing::WriteBytes(folder.File("jpg-header"), {jpg.begin(), jpg.begin() + 100});
  testing::WriteBytes(folder.File("text"), std::vector<std::uint8_t>(400, 'a'));

  FfmpegPictureDecoder decoder;
  for (const char* name : {"empty", "garbage", "png-header", "jpg-header", "text"}) {
    auto decoded = decoder.DecodePicture(folder.File(name), 0);
    EXPECT_FALSE(decoded) << name << " decoded as a " << decoded->Width() << "x"
                          << decoded->Height() << " picture";
    if (!decoded) {
      EXPECT_NE(decoded.error().description.find(name), std::string::npos)
          << "the reason names the file: " << decoded.error().description;
    }
  }
  auto missing = decoder.DecodePicture(folder.File("missing"), 0);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().code, ErrorCode::FileNotFound);
}

// Files cut in the middle: a partial picture of the right size or an error,
// never a crash or a picture of another size (the sanitizer build checks the
// reads).
TEST(PictureDecoder, SurvivesFilesCutShort) {
  ScratchFolder folder("cut");
  const Image source = testing::TestPattern(120, 90);
  FfmpegPictureDecoder decoder;
  for (PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png, PictureFormat::Bmp,
                               PictureFormat::Gif, PictureFormat::Tiff}) {
    ASSERT_TRUE(EncodePicture(source, format, folder.File("whole")));
    const auto bytes = testing::ReadBytes(folder.File("whole"));
    for (std::size_t keep : {bytes.size() / 2, bytes.size() - 1}) {
      testing::WriteBytes(folder.File("cut"),
                          {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep)});
      auto decoded = decoder.DecodePicture(folder.File("cut"), 0);
      if (decoded) {
        EXPECT_EQ(decoded->Extent(), source.Extent()) << "format " << static_cast<int>(format);
      }
    }
  }
}

// A PNG whose header claims 20000x20000 pixels (1.6 GB decoded) over a
// few bytes of data: refused, not allocated.
TEST(PictureDecoder, RefusesPicturesClaimingAHugeSize) {
  ScratchFolder folder("huge");
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto chunk = [&png](const char* type, std::vector<std::uint8_t> data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    for (int shift : {24, 16, 8, 0}) png.push_back(static_cast<std::uint8_t>(n >> shift));
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    for (int i = 0; i < 4; ++i) png.push_back(0);  // CRC, not checked by default
  };
  chunk("IHDR", {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 2, 0, 0, 0});
  chunk("IDAT", {0x78, 0x9C, 0x63, 0, 0, 0, 1, 0, 1});
  chunk("IEND", {});
  testing::WriteBytes(folder.File("img"), png);
  auto decoded = FfmpegPictureDecoder().DecodePicture(folder.File("img"), 0);
  EXPECT_FALSE(decoded) << "decoded as " << decoded->Width() << "x" << decoded->Height();
}

TEST(PictureDecoder, WritePngAndReadPngRoundTrip) {
  ScratchFolder folder("png-io");
  const Image source = testing::TestPattern(33, 17);
  ASSERT_TRUE(WritePng(source, folder.File("snap.png")));
  auto read = ReadPng(folder.File("snap.png"));
  ASSERT_TRUE(read) << read.error().description;
  EXPECT_EQ(*read, source);
  EXPECT_FALSE(WritePng(source, folder.File("no-such-folder/snap.png")));
  EXPECT_FALSE(WritePng(Image(), folder.File("empty.png")));
}

}  // namespace
}  // namespace vistel
