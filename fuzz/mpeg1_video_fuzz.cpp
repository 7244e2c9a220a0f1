// Fuzzes the MPEG-1 video decoder that plays clips without FFmpeg: the
// elementary stream pushed in chunks (the first byte sets their size, so
// that start codes fall across chunk borders anywhere), every picture pulled
// and converted to an Image. Whatever the bytes, decoding must end with
// pictures of their sequence's size, within the limits, or with errors that
// say why.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "media/mpeg1/video_decoder.hpp"
#include "scratch_file.hpp"

using namespace vistel;
using fuzz::Require;

namespace {

// Smaller than the player's limit, so that an input costs milliseconds; the
// code paths are the same at any size.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 16;

void Check(const Mpeg1VideoDecoder::Picture& picture, Image& image) {
  const Yuv420View& p = picture.planes;
  Require(p.width > 0 && p.height > 0 && std::int64_t{p.width} * p.height <= kMaxPixels);
  Require(p.yStride >= p.width && p.chromaStride >= p.ChromaWidth());
  const int macroblocks = ((p.width + 15) / 16) * ((p.height + 15) / 16);
  Require(picture.concealedMacroblocks >= 0 && picture.concealedMacroblocks <= macroblocks);
  // Every sample of the view is read: one outside the decoder's planes shows.
  Yuv420ToImage(p, image);
  Require(image.Width() == p.width && image.Height() == p.height);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t chunk = 1 + std::size_t{data[0]} * 61;
  std::span<const std::uint8_t> stream(data + 1, size - 1);
  Mpeg1VideoDecoder::Options options;
  options.maxPixels = kMaxPixels;
  Mpeg1VideoDecoder decoder(options);
  Image image;
  std::size_t pictures = 0;
  auto pull = [&] {
    while (true) {
      auto next = decoder.NextPicture();
      if (!next) {
        Require(!next.error().description.empty() &&
                next.error().description.size() <= fuzz::kMaxMessageBytes);
        continue;
      }
      if (!*next) return;
      Check(**next, image);
      ++pictures;
    }
  };
  while (!stream.empty()) {
    const std::size_t n = std::min(chunk, stream.size());
    decoder.Push(stream.first(n));
    stream = stream.subspan(n);
    pull();
  }
  decoder.Finish();
  pull();
  // A picture needs at least a picture start code and a slice start code.
  Require(pictures <= size / 4 + 2);
  return 0;
}
