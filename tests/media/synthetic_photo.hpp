// Photograph-like pictures drawn by code, and JPEG files of them written the
// way cameras write them (libjpeg, 4:2:0, quality 90), so that tests and
// benchmarks of JPEG decoding see a real picture's mix of smooth sky, fine
// texture, hard edges and sensor noise without a binary file in the tree.
#pragma once

#include <jpeglib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/image.hpp"

namespace vistel::testing {

namespace photo_detail {

inline std::uint32_t Hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x9E3779B1U ^ (y + 0x7F4A7C15U) * 0x85EBCA77U ^ seed * 0xC2B2AE3DU;
  h ^= h >> 15;
  h *= 0x2C1B3C6DU;
  h ^= h >> 12;
  return h;
}

// Smooth noise in 0..1 with features `cell` pixels apart.
inline float ValueNoise(int x, int y, int cell, std::uint32_t seed) {
  const int gx = x / cell, gy = y / cell;
  const float fx = static_cast<float>(x % cell) / static_cast<float>(cell);
  const float fy = static_cast<float>(y % cell) / static_cast<float>(cell);
  const auto at = [&](int ix, int iy) {
    return static_cast<float>(
               Hash(static_cast<std::uint32_t>(ix), static_cast<std::uint32_t>(iy), seed) &
               0xFFFFU) /
           65535.0F;
  };
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const float top = at(gx, gy) + (at(gx + 1, gy) - at(gx, gy)) * sx;
  const float bottom = at(gx, gy + 1) + (at(gx + 1, gy + 1) - at(gx, gy + 1)) * sx;
  return top + (bottom - top) * sy;
}

inline unsigned Clamp(float v) {
  return v <= 0.0F ? 0U : v >= 255.0F ? 255U : static_cast<unsigned>(v + 0.5F);
}

}  // namespace photo_detail

// A landscape: sky, a sun, hills of foliage-like texture, houses with
// windows (hard, regular edges) and a little noise on every pixel. Scales
// with the size: the texture is as fine in a 24-megapixel picture as in a
// small one.
inline Image SyntheticPhoto(int width, int height, std::uint32_t seed = 1) {
  using namespace photo_detail;
  Image image(width, height);
  const float w = static_cast<float>(width), h = static_cast<float>(height);
  const float sunX = w * 0.72F, sunY = h * 0.22F, sunR = h * 0.07F;
  for (int y = 0; y < height; ++y) {
    Pixel* row = image.Row(y);
    const float fy = static_cast<float>(y) / h;
    for (int x = 0; x < width; ++x) {
      const float fx = static_cast<float>(x) / w;
      const float horizon = 0.55F + 0.08F * (ValueNoise(x, 0, 97 + width / 16, seed) - 0.5F) * 2;
      float r, g, b;
      if (fy < horizon) {
        r = 90 + 120 * fy;
        g = 140 + 90 * fy;
        b = 230 - 30 * fy;
        const float cloud = ValueNoise(x, y, 61 + width / 40, seed + 1);
        if (cloud > 0.6F) {
          const float c = (cloud - 0.6F) * 2.5F * 120;
          r += c, g += c, b += c * 0.5F;
        }
        const float dx = static_cast<float>(x) - sunX, dy = static_cast<float>(y) - sunY;
        if (dx * dx + dy * dy < sunR * sunR) r = 255, g = 240, b = 200;
      } else {
        const float t = ValueNoise(x, y, 3, seed + 2) * 0.35F +
                        ValueNoise(x, y, 11, seed + 3) * 0.4F +
                        ValueNoise(x, y, 41, seed + 4) * 0.25F;
        r = 40 + 90 * t;
        g = 70 + 120 * t;
        b = 30 + 50 * t;
        // Houses: pale walls with dark windows on a grid, sharp edges.
        const int house = static_cast<int>(fx * 9);
        const float left = (static_cast<float>(house) + 0.2F) / 9, right = left + 0.5F / 9;
        if (house % 2 == 1 && fx >= left && fx < right && fy > horizon && fy < horizon + 0.15F) {
          const int cell = std::max(4, width / 300);
          const bool window = (x / cell) % 3 == 1 && (y / cell) % 3 == 1;
          r = window ? 30 : 215, g = window ? 35 : 200, b = window ? 50 : 180;
        }
      }
      const float grain =
          static_cast<float>(
              Hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), seed + 9) % 7) -
          3.0F;
      row[x] = MakePixel(Clamp(r + grain), Clamp(g + grain), Clamp(b + grain));
    }
  }
  return image;
}

enum class JpegStyle { Camera, Progressive, Grey, FullChroma, Cmyk };

// Writes `image` as a JPEG with libjpeg; false when the file cannot be written.
inline bool WriteJpeg(const Image& image, const std::string& path, JpegStyle style,
                      int quality = 90) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr err{};
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  cinfo.image_width = static_cast<JDIMENSION>(image.Width());
  cinfo.image_height = static_cast<JDIMENSION>(image.Height());
  cinfo.input_components = style == JpegStyle::Grey ? 1 : style == JpegStyle::Cmyk ? 4 : 3;
  cinfo.in_color_space = style == JpegStyle::Grey   ? JCS_GRAYSCALE
                         : style == JpegStyle::Cmyk ? JCS_CMYK
                                                    : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  if (style == JpegStyle::Progressive) jpeg_simple_progression(&cinfo);
  if (style == JpegStyle::FullChroma)
    cinfo.comp_info[0].h_samp_factor = 1, cinfo.comp_info[0].v_samp_factor = 1;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<JSAMPLE> line(static_cast<std::size_t>(image.Width()) * 4);
  while (cinfo.next_scanline < cinfo.image_height) {
    const Pixel* row = image.Row(static_cast<int>(cinfo.next_scanline));
    JSAMPLE* out = line.data();
    for (int x = 0; x < image.Width(); ++x) {
      const Pixel p = row[x];
      const auto r = static_cast<JSAMPLE>(PixelRed(p)), g = static_cast<JSAMPLE>(PixelGreen(p)),
                 b = static_cast<JSAMPLE>(PixelBlue(p));
      if (style == JpegStyle::Grey) {
        *out++ =
            static_cast<JSAMPLE>((PixelRed(p) * 77 + PixelGreen(p) * 150 + PixelBlue(p) * 29) >> 8);
      } else if (style == JpegStyle::Cmyk) {  // Adobe's inverted CMYK, no black
        *out++ = r, *out++ = g, *out++ = b, *out++ = 255;
      } else {
        *out++ = r, *out++ = g, *out++ = b;
      }
    }
    JSAMPROW rows[1] = {line.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return std::fclose(file) == 0;
}

}  // namespace vistel::testing
