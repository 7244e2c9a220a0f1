// The Windows media services: pictures through GDI+, text through GDI.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "imaging/png_encoder.hpp"
#include "media/windows/gdi_fonts.hpp"
#include "media/windows/gdiplus_pictures.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

class Scratch {
 public:
  Scratch()
      : path_(fs::temp_directory_path() /
              ("vistel-winmedia-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(path_);
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string Write(const std::string& name, const std::vector<std::byte>& bytes) const {
    const fs::path file = path_ / name;
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }

 private:
  fs::path path_;
};

std::vector<std::byte> Bytes(const std::string& text) {
  const auto* data = reinterpret_cast<const std::byte*>(text.data());
  return {data, data + text.size()};
}

Image Pattern(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.At(x, y) = MakePixel(static_cast<unsigned>(x * 7), static_cast<unsigned>(y * 5),
                                 static_cast<unsigned>((x + y) * 3));
    }
  }
  return image;
}

// A 24-bit bottom-up BMP of the image, as Paint writes one.
std::vector<std::byte> Bmp(const Image& image) {
  const int rowBytes = (image.Width() * 3 + 3) & ~3;
  const auto pixelBytes = static_cast<std::uint32_t>(rowBytes * image.Height());
  std::vector<std::byte> file;
  auto put = [&file](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) file.push_back(static_cast<std::byte>(value >> (8 * i)));
  };
  put('B' | ('M' << 8), 2);
  put(54 + pixelBytes, 4);
  put(0, 4);
  put(54, 4);
  put(40, 4);
  put(static_cast<std::uint32_t>(image.Width()), 4);
  put(static_cast<std::uint32_t>(image.Height()), 4);
  put(1, 2);
  put(24, 2);
  for (int i = 0; i < 6; ++i) put(0, 4);
  for (int y = image.Height() - 1; y >= 0; --y) {
    for (int x = 0; x < image.Width(); ++x) {
      const Pixel p = image.At(x, y);
      put(PixelBlue(p), 1);
      put(PixelGreen(p), 1);
      put(PixelRed(p), 1);
    }
    put(0, rowBytes - image.Width() * 3);
  }
  return file;
}

// A PNG cut short inside its pixel data.
std::string CutPng() {
  const std::vector<std::byte> png = EncodeStoredPng(Pattern(37, 23));
  return std::string(reinterpret_cast<const char*>(png.data()), png.size() / 2);
}

TEST(GdiplusPictures, DecodesLosslessFilesExactly) {
  Scratch scratch;
  const Image source = Pattern(37, 23);  // odd: BMP rows are padded
  GdiplusPictureDecoder decoder;
  for (const auto& [name, bytes] :
       {std::pair{"png", EncodeStoredPng(source)}, std::pair{"bmp", Bmp(source)}}) {
    auto decoded = decoder.DecodePicture(scratch.Write(name, bytes), MakePixel(9, 9, 9));
    ASSERT_TRUE(decoded) << name << ": " << decoded.error().description;
    EXPECT_TRUE(*decoded == source) << name;
  }
}

// Refused before GDI+ sees them: GDI+ may take the whole bitmap as it opens.
TEST(GdiplusPictures, RefusesWhatIsNoPictureOrTooLargeWithAReason) {
  using namespace std::string_literals;
  Scratch scratch;
  GdiplusPictureDecoder decoder;
  struct Case {
    const char* name;
    std::string bytes;
    const char* reason;
  };
  for (const Case& c : {
           Case{"huge", "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\x4E\x20\0\0\x4E\x20\x08\x02\0\0\0"s,
                "20000x20000 pixels"},
           Case{"metafile", "\xD7\xCD\xC6\x9A\0\0\0\0\0\0\0\0"s, "not a picture"},
           Case{"cut", CutPng(), "cannot be decoded"},
       }) {
    auto decoded = decoder.DecodePicture(scratch.Write(c.name, Bytes(c.bytes)), 0);
    ASSERT_FALSE(decoded) << c.name;
    EXPECT_NE(decoded.error().description.find(c.reason), std::string::npos)
        << c.name << ": " << decoded.error().description;
  }
  EXPECT_EQ(decoder.DecodePicture(scratch.Write("x", {}) + "-missing", 0).error().code,
            ErrorCode::FileNotFound);
}

TEST(GdiFonts, MeasureAndDrawOnlyWhereTheTextReaches) {
  GdiFontService fonts;
  const auto font = fonts.OpenFont(FontRequest{"Arial", 12.0F, false, false, 96.0F});
  ASSERT_TRUE(font);
  EXPECT_GE(font->LineHeightPixels(), 16);  // a 16-pixel em and some room
  EXPECT_GT(font->AscentPixels(), 0);
  const std::int64_t one = font->TextWidthPixels("W");
  EXPECT_GT(one, 0);
  EXPECT_EQ(font->TextWidthPixels(std::string(10000, 'W')), one * 10000) << "chunks add up";

  Image target(64, 32, MakePixel(0, 0, 0));
  font->DrawText(target, 2, 2, "Wy", MakePixel(255, 0, 0));
  int red = 0;
  for (const Pixel p : target.Pixels()) {
    if (PixelRed(p) > 0) ++red;
    EXPECT_EQ(PixelGreen(p), 0U);
  }
  EXPECT_GT(red, 10);

  // A line far longer than the target, at the largest size, drawn from far
  // left: the letters over the target are drawn as the one letter alone
  // would be, and nothing is made for the thousand others.
  const auto huge = fonts.OpenFont(FontRequest{"Arial", 2160.0F, true, false, 96.0F});
  const std::int64_t before = huge->TextWidthPixels(std::string(500, 'M'));
  const std::int64_t bodyTop = 350 - huge->AscentPixels();  // the target inside the letters
  Image small(400, 300, MakePixel(0, 0, 255));
  Image alone = small;
  huge->DrawText(small, -before, bodyTop, std::string(1000, 'M'), MakePixel(255, 255, 255));
  huge->DrawText(alone, 0, bodyTop, "M", MakePixel(255, 255, 255));
  EXPECT_NE(std::count(small.Pixels().begin(), small.Pixels().end(), MakePixel(0, 0, 255)),
            std::ssize(small.Pixels()))
      << "the letter over the target is drawn";
  EXPECT_TRUE(small == alone);
  Image untouched = small;
  huge->DrawText(small, 1000000000000LL, 0, "M", 0);
  huge->DrawText(small, 0, 1000000000000LL, "M", 0);
  EXPECT_TRUE(small == untouched);
}

}  // namespace
}  // namespace vistel
