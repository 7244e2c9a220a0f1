// A picture in memory: the one pixel format of the engine. Each pixel is a
// 32-bit word 0x00RRGGBB (red, green, blue, 8 bits each; the top byte is
// unused and kept 0), rows top to bottom without padding. That is 24-bit
// colour with word-aligned pixels, which every kernel and every presenter
// (SDL's XRGB8888, GDI's 32-bit DIB) takes without conversion.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <span>
#include <utility>

#include "base/geometry.hpp"
#include "base/pixel_memory.hpp"

namespace vistel {

using Pixel = std::uint32_t;

constexpr Pixel MakePixel(unsigned r, unsigned g, unsigned b) {
  return ((r & 0xFFU) << 16) | ((g & 0xFFU) << 8) | (b & 0xFFU);
}
constexpr unsigned PixelRed(Pixel p) {
  return (p >> 16) & 0xFFU;
}
constexpr unsigned PixelGreen(Pixel p) {
  return (p >> 8) & 0xFFU;
}
constexpr unsigned PixelBlue(Pixel p) {
  return p & 0xFFU;
}
// COLORREF (0x00BBGGRR, as the configuration stores colours) to a pixel.
constexpr Pixel PixelFromColorRef(ColorRef c) {
  return MakePixel(RedOf(c), GreenOf(c), BlueOf(c));
}
constexpr ColorRef ColorRefFromPixel(Pixel p) {
  return MakeColorRef(PixelRed(p), PixelGreen(p), PixelBlue(p));
}

// The pixels of an image: a count fixed when made, all zero at first.
class PixelStore {
 public:
  PixelStore() = default;
  explicit PixelStore(std::size_t count) : size_(count) {
    if (count > SIZE_MAX / sizeof(Pixel)) throw std::bad_alloc();
    if (count > 0) data_ = static_cast<Pixel*>(AllocateZeroedPixels(count * sizeof(Pixel)));
  }
  PixelStore(std::size_t count, Pixel fill) : PixelStore(count) {
    if (fill != 0) std::fill_n(data_, size_, fill);
  }
  PixelStore(const PixelStore& other) : PixelStore(other.size_) {
    std::copy_n(other.data_, size_, data_);
  }
  PixelStore& operator=(const PixelStore& other) {
    if (this == &other) return *this;
    // A store of the same size is written over: a frame copied in every
    // repaint keeps its memory.
    if (size_ != other.size_) *this = PixelStore(other.size_);
    std::copy_n(other.data_, size_, data_);
    return *this;
  }
  PixelStore(PixelStore&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  PixelStore& operator=(PixelStore&& other) noexcept {
    if (this != &other) {
      ReleasePixels(data_, size_ * sizeof(Pixel));
      data_ = std::exchange(other.data_, nullptr);
      size_ = std::exchange(other.size_, 0);
    }
    return *this;
  }
  ~PixelStore() { ReleasePixels(data_, size_ * sizeof(Pixel)); }

  Pixel* data() { return data_; }
  const Pixel* data() const { return data_; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  friend bool operator==(const PixelStore& a, const PixelStore& b) {
    return a.size_ == b.size_ && std::equal(a.data_, a.data_ + a.size_, b.data_);
  }

 private:
  Pixel* data_ = nullptr;
  std::size_t size_ = 0;
};

class Image {
 public:
  Image() = default;
  Image(int width, int height, Pixel fill = 0)
      : width_(width > 0 && height > 0 ? width : 0),
        height_(width > 0 && height > 0 ? height : 0),
        pixels_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), fill) {}

  Image(const Image&) = default;
  Image& operator=(const Image&) = default;
  // A moved-from image is empty, sizes included, so it can be reused as a
  // target that is resized on demand.
  Image(Image&& other) noexcept
      : width_(std::exchange(other.width_, 0)),
        height_(std::exchange(other.height_, 0)),
        pixels_(std::move(other.pixels_)) {}
  Image& operator=(Image&& other) noexcept {
    if (this != &other) {
      width_ = std::exchange(other.width_, 0);
      height_ = std::exchange(other.height_, 0);
      pixels_ = std::move(other.pixels_);
    }
    return *this;
  }

  int Width() const { return width_; }
  int Height() const { return height_; }
  IntSize Extent() const { return {width_, height_}; }
  bool IsEmpty() const { return pixels_.empty(); }

  Pixel* Row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
  const Pixel* Row(int y) const { return pixels_.data() + static_cast<std::size_t>(y) * Stride(); }
  Pixel& At(int x, int y) { return Row(y)[x]; }
  Pixel At(int x, int y) const { return Row(y)[x]; }
  std::span<Pixel> Pixels() { return {pixels_.data(), pixels_.size()}; }
  std::span<const Pixel> Pixels() const { return {pixels_.data(), pixels_.size()}; }

  friend bool operator==(const Image&, const Image&) = default;

 private:
  std::size_t Stride() const { return static_cast<std::size_t>(width_); }

  int width_ = 0;
  int height_ = 0;
  PixelStore pixels_;
};

}  // namespace vistel
