// Pictures for the command-line tests of the slideshow, and a look into the
// pictures the programs write:
//
//   test_pictures make OUT.(jpg|png|bmp|gif|tif) WIDTHxHEIGHT [ORIENTATION [DATE]]
//   test_pictures pixel PICTURE X Y      prints "R G B"
//   test_pictures size PICTURE           prints "WIDTHxHEIGHT"
//
// `make` draws a picture that is WIDTHxHEIGHT when it stands upright: grey,
// with a red block in its top-left corner, a green one top right and a blue
// one bottom left, each a quarter of the sides. It stores the pixels turned
// as a camera held in ORIENTATION (Exif 1 to 8) would, so that only a reader
// that turns the picture by its Exif orientation sees it upright. A JPEG
// gets an Exif segment with that orientation and, when DATE is given
// ("YYYY:MM:DD HH:MM:SS"), the date taken.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "media/ffmpeg/encoders.hpp"
#include "media/probe/picture_orientation.hpp"

namespace {

using namespace vistel;

Image DrawUpright(int width, int height) {
  Image image(width, height, MakePixel(128, 128, 128));
  const int bw = width / 4;
  const int bh = height / 4;
  for (int y = 0; y < bh; ++y) {
    for (int x = 0; x < bw; ++x) {
      image.At(x, y) = MakePixel(255, 0, 0);
      image.At(width - 1 - x, y) = MakePixel(0, 255, 0);
      image.At(x, height - 1 - y) = MakePixel(0, 0, 255);
    }
  }
  return image;
}

// The stored pixels whose upright form is `upright`: the turn that undoes
// each orientation. Only the quarter turns are not their own inverse.
Image Stored(const Image& upright, int orientation) {
  const int inverse = orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
  return StandUpright(upright, static_cast<PictureOrientation>(inverse));
}

std::string Little16(unsigned v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string Little32(unsigned v) {
  return Little16(v & 0xFFFF) + Little16(v >> 16);
}
std::string Entry(unsigned tag, unsigned type, unsigned count, const std::string& value) {
  return Little16(tag) + Little16(type) + Little32(count) + value;
}

// An APP1 Exif segment: the first directory holds the orientation and, with a
// date, the pointer to an Exif directory holding DateTimeOriginal.
std::string ExifSegment(int orientation, const std::string& date) {
  using namespace std::string_literals;
  std::string tiff = "II*\0"s + Little32(8);
  const bool dated = !date.empty();
  tiff += Little16(dated ? 2 : 1);
  tiff += Entry(274, 3, 1, Little16(static_cast<unsigned>(orientation)) + Little16(0));
  const unsigned exifDirectory = 8 + 2 + 2 * 12 + 4;
  if (dated) tiff += Entry(34665, 4, 1, Little32(exifDirectory));
  tiff += Little32(0);
  if (dated) {
    const unsigned text = exifDirectory + 2 + 12 + 4;
    tiff += Little16(1) + Entry(36867, 2, 20, Little32(text)) + Little32(0);
    tiff += date.substr(0, 19) + std::string(20 - std::min<std::size_t>(date.size(), 19), '\0');
  }
  const std::string payload = "Exif\0\0"s + tiff;
  const auto length = static_cast<unsigned>(payload.size() + 2);
  return "\xFF\xE1"s + static_cast<char>(length >> 8) + static_cast<char>(length & 0xFF) + payload;
}

int Make(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string out = argv[2];
  int width = 0;
  int height = 0;
  if (std::sscanf(argv[3], "%dx%d", &width, &height) != 2 || width < 4 || height < 4) return 2;
  const int orientation = argc > 4 ? std::atoi(argv[4]) : 1;
  const std::string date = argc > 5 ? argv[5] : "";
  const std::string ext = std::filesystem::path(out).extension().string();
  const PictureFormat format = ext == ".png"   ? PictureFormat::Png
                               : ext == ".bmp" ? PictureFormat::Bmp
                               : ext == ".gif" ? PictureFormat::Gif
                               : ext == ".tif" ? PictureFormat::Tiff
                                               : PictureFormat::Jpeg;
  if (auto s = EncodePicture(Stored(DrawUpright(width, height), orientation), format, out); !s) {
    std::cerr << s.error().description << "\n";
    return 1;
  }
  if (format != PictureFormat::Jpeg || (orientation == 1 && date.empty())) return 0;
  std::ifstream in(out, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  bytes.insert(2, ExifSegment(orientation, date));  // right after SOI
  std::ofstream(out, std::ios::binary | std::ios::trunc) << bytes;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "make") return Make(argc, argv);
  if ((command == "pixel" && argc == 5) || (command == "size" && argc == 3)) {
    auto image = ReadPng(argv[2]);
    if (!image) {
      std::cerr << image.error().description << "\n";
      return 1;
    }
    if (command == "size") {
      std::cout << image->Width() << "x" << image->Height() << "\n";
      return 0;
    }
    const int x = std::atoi(argv[3]);
    const int y = std::atoi(argv[4]);
    if (x < 0 || y < 0 || x >= image->Width() || y >= image->Height()) return 1;
    const Pixel p = image->At(x, y);
    std::cout << PixelRed(p) << " " << PixelGreen(p) << " " << PixelBlue(p) << "\n";
    return 0;
  }
  std::cerr
      << "usage: test_pictures make OUT WxH [ORIENTATION [DATE]] | pixel FILE X Y | size FILE\n";
  return 2;
}
