// Geometry value types. Control positions and sizes are in twips, bitmaps and
// displays in pixels; the unit goes into the variable name (widthTwips), and
// conversions go through TwipsPerPixel, read from the host each time it is
// needed because a display may change it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vistel {

template <class T>
struct Point {
  T x{};
  T y{};
  friend bool operator==(const Point&, const Point&) = default;
};

template <class T>
struct Size {
  T width{};
  T height{};
  bool IsEmpty() const { return width <= T{} || height <= T{}; }
  friend bool operator==(const Size&, const Size&) = default;
};

template <class T>
struct Rect {
  T left{};
  T top{};
  T width{};
  T height{};

  T Right() const { return left + width; }
  T Bottom() const { return top + height; }
  Point<T> Origin() const { return {left, top}; }
  Size<T> Extent() const { return {width, height}; }
  bool IsEmpty() const { return width <= T{} || height <= T{}; }
  bool Contains(Point<T> p) const {
    return p.x >= left && p.y >= top && p.x < Right() && p.y < Bottom();
  }
  // The overlap of two rectangles; empty (zero size at this origin) when none.
  Rect Intersected(const Rect& o) const {
    T l = std::max(left, o.left), t = std::max(top, o.top);
    T r = std::min(Right(), o.Right()), b = std::min(Bottom(), o.Bottom());
    if (r <= l || b <= t) return {l, t, T{}, T{}};
    return {l, t, r - l, b - t};
  }
  void Intersect(const Rect& o) { *this = Intersected(o); }
  Rect Translated(T dx, T dy) const { return {left + dx, top + dy, width, height}; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

using IntPoint = Point<int>;
using IntSize = Size<int>;
using IntRect = Rect<int>;
// Extents that may exceed any display: a box sized to a very long text.
using LongPoint = Point<std::int64_t>;
using LongSize = Size<std::int64_t>;
using LongRect = Rect<std::int64_t>;
using FloatPoint = Point<float>;
using FloatSize = Size<float>;
using FloatRect = Rect<float>;

// Twips per pixel of a display, in x and y (15 on an ordinary 96 dpi screen).
struct TwipsPerPixel {
  float x = 15.0F;
  float y = 15.0F;
  friend bool operator==(const TwipsPerPixel&, const TwipsPerPixel&) = default;
};

// Twips convert to pixels by dividing by the twips per pixel, in single
// precision as the original does.
inline float TwipsToPixelsX(float twips, TwipsPerPixel t) { return twips / t.x; }
inline float TwipsToPixelsY(float twips, TwipsPerPixel t) { return twips / t.y; }
inline float PixelsToTwipsX(float pixels, TwipsPerPixel t) { return pixels * t.x; }
inline float PixelsToTwipsY(float pixels, TwipsPerPixel t) { return pixels * t.y; }

// A colour as the original stores it: 0x00BBGGRR.
using ColorRef = unsigned int;
constexpr unsigned RedOf(ColorRef c) { return c & 0xFFU; }
constexpr unsigned GreenOf(ColorRef c) { return (c >> 8) & 0xFFU; }
constexpr unsigned BlueOf(ColorRef c) { return (c >> 16) & 0xFFU; }
constexpr ColorRef MakeColorRef(unsigned r, unsigned g, unsigned b) {
  return (r & 0xFFU) | ((g & 0xFFU) << 8) | ((b & 0xFFU) << 16);
}

}  // namespace vistel
