// A 12-megapixel JPEG, as a camera puts into a show: decoded alone, and
// decoded then resized to 1920x1080 with the imaging control's resampler
// (its ResizeBitmap, mode 2). The goal is decode+resize within 1.3x of the
// decode alone. And the same picture as a PNG with a colour profile: the
// reader that hides its compressed chunks from the decoder must cost
// nothing measurable.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "base/image.hpp"
#include "imaging/resample.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/picture_decoder.hpp"

namespace {

using namespace vistel;

// Written once per run: a photograph-like gradient with texture, so the
// JPEG has the entropy of a real picture rather than flat blocks.
Image Photo() {
  Image image(4000, 3000);
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      const unsigned noise = static_cast<unsigned>((x * 7919 + y * 104729) % 23);
      image.At(x, y) = MakePixel(static_cast<unsigned>(x * 255 / 3999) ^ noise,
                                 static_cast<unsigned>(y * 255 / 2999) + noise / 2,
                                 static_cast<unsigned>((x + y) % 256));
    }
  }
  return image;
}

const std::string& PhotoPath() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "vistel-decode-bench-12mp").string();
    if (!EncodePicture(Photo(), PictureFormat::Jpeg, file)) std::abort();
    return file;
  }();
  return path;
}

// The PNG with a colour profile chunk (an empty one) before its image data.
const std::string& PngPath() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "vistel-decode-bench-12mp-png").string();
    if (!EncodePicture(Photo(), PictureFormat::Png, file)) std::abort();
    std::ifstream in(file, std::ios::binary);
    std::vector<char> png{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    // Length 13, type, name, method 0, a zlib stream of nothing, CRC 0.
    const std::string chunk("\0\0\0\x0DiCCPicc\0\0\x78\x9C\x03\0\0\0\0\x01\0\0\0\0", 25);
    png.insert(png.begin() + 33, chunk.begin(), chunk.end());  // after the header chunk
    std::ofstream(file, std::ios::binary)
        .write(png.data(), static_cast<std::streamsize>(png.size()));
    return file;
  }();
  return path;
}

void BM_DecodeJpeg12Mp(benchmark::State& state) {
  const std::string& path = PhotoPath();
  FfmpegPictureDecoder decoder;
  for (auto _ : state) {
    auto image = decoder.DecodePicture(path, 0);
    if (!image) state.SkipWithError(image.error().description.c_str());
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_DecodeJpeg12Mp)->Unit(benchmark::kMillisecond);

void BM_DecodeJpeg12MpAndResizeTo1080p(benchmark::State& state) {
  const std::string& path = PhotoPath();
  FfmpegPictureDecoder decoder;
  for (auto _ : state) {
    auto image = decoder.DecodePicture(path, 0);
    if (!image) {
      state.SkipWithError(image.error().description.c_str());
      break;
    }
    auto resized = ResampleImage(*image, 1920, 1080, ResampleFilter::Smooth);
    benchmark::DoNotOptimize(resized);
  }
}
BENCHMARK(BM_DecodeJpeg12MpAndResizeTo1080p)->Unit(benchmark::kMillisecond);

void BM_DecodePng12Mp(benchmark::State& state) {
  const std::string& path = PngPath();
  FfmpegPictureDecoder decoder;
  for (auto _ : state) {
    auto image = decoder.DecodePicture(path, 0);
    if (!image) state.SkipWithError(image.error().description.c_str());
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_DecodePng12Mp)->Unit(benchmark::kMillisecond);

}  // namespace
