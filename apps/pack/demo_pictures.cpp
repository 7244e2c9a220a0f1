#include "demo_pictures.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace vistel::pack::demo {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Colour channels 0..255 in single precision while mixing.
struct Rgb {
  float r = 0;
  float g = 0;
  float b = 0;
};

Rgb Mix(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scaled(Rgb c, float factor) {
  return {c.r * factor, c.g * factor, c.b * factor};
}

unsigned Channel(float value) {
  return static_cast<unsigned>(std::lround(std::clamp(value, 0.0F, 255.0F)));
}

Pixel ToPixel(Rgb c) {
  return MakePixel(Channel(c.r), Channel(c.g), Channel(c.b));
}

float Clamp01(float x) {
  return std::clamp(x, 0.0F, 1.0F);
}

float SmoothStep(float edge0, float edge1, float x) {
  const float t = Clamp01((x - edge0) / (edge1 - edge0));
  return t * t * (3.0F - 2.0F * t);
}

// Coverage of a shape by its signed distance in pixels (negative inside):
// a one-pixel ramp across the edge is enough to hide the stairs.
float Coverage(float signedDistance) {
  return Clamp01(0.5F - signedDistance);
}

// A fully saturated hue (0..1 around the circle) at the given brightness.
Rgb Hue(float hue, float brightness) {
  const float h = (hue - std::floor(hue)) * 6.0F;
  const float x = 1.0F - std::fabs(std::fmod(h, 2.0F) - 1.0F);
  std::array<float, 3> c{};
  switch (static_cast<int>(h)) {
    case 0:
      c = {1, x, 0};
      break;
    case 1:
      c = {x, 1, 0};
      break;
    case 2:
      c = {0, 1, x};
      break;
    case 3:
      c = {0, x, 1};
      break;
    case 4:
      c = {x, 0, 1};
      break;
    default:
      c = {1, 0, x};
      break;
  }
  return {c[0] * brightness, c[1] * brightness, c[2] * brightness};
}

float CircleDistance(float x, float y, float cx, float cy, float radius) {
  return std::hypot(x - cx, y - cy) - radius;
}

// Distance to an axis-aligned box given by its centre and half extents.
float BoxDistance(float x, float y, float cx, float cy, float halfW, float halfH) {
  const float dx = std::fabs(x - cx) - halfW;
  const float dy = std::fabs(y - cy) - halfH;
  const float outside = std::hypot(std::max(dx, 0.0F), std::max(dy, 0.0F));
  return outside + std::min(std::max(dx, dy), 0.0F);
}

// Approximate distance to a convex polygon given clockwise or
// counter-clockwise: the largest signed distance to its edge lines. Exact
// near the edges, which is all the coverage needs.
template <std::size_t N>
float ConvexDistance(float x, float y, const std::array<FloatPoint, N>& corners) {
  float area = 0;
  for (std::size_t i = 0; i < N; ++i) {
    const FloatPoint& a = corners[i];
    const FloatPoint& b = corners[(i + 1) % N];
    area += a.x * b.y - b.x * a.y;
  }
  const float orientation = area > 0 ? 1.0F : -1.0F;
  float distance = -1e9F;
  for (std::size_t i = 0; i < N; ++i) {
    const FloatPoint& a = corners[i];
    const FloatPoint& b = corners[(i + 1) % N];
    const float ex = b.x - a.x;
    const float ey = b.y - a.y;
    const float length = std::hypot(ex, ey);
    // Positive on the outer side of the edge's line.
    const float outward = orientation * ((x - a.x) * ey - (y - a.y) * ex) / length;
    distance = std::max(distance, outward);
  }
  return distance;
}

// Coverage of a union of convex pieces that share edges. Their distances
// alone would leave a seam of half coverage along each shared edge, so
// pixels near any edge are sampled 4 x 4 instead.
template <std::size_t Pieces, std::size_t Corners>
float UnionCoverage(float x, float y,
                    const std::array<std::array<FloatPoint, Corners>, Pieces>& pieces) {
  auto distance = [&](float px, float py) {
    float nearest = 1e9F;
    for (const auto& piece : pieces) nearest = std::min(nearest, ConvexDistance(px, py, piece));
    return nearest;
  };
  const float d = distance(x, y);
  if (d >= 1.0F) return 0.0F;
  if (d <= -1.0F) return 1.0F;
  int inside = 0;
  for (int sy = 0; sy < 4; ++sy) {
    for (int sx = 0; sx < 4; ++sx) {
      const float offsetX = (static_cast<float>(sx) - 1.5F) / 4.0F;
      const float offsetY = (static_cast<float>(sy) - 1.5F) / 4.0F;
      if (distance(x + offsetX, y + offsetY) <= 0.0F) ++inside;
    }
  }
  return static_cast<float>(inside) / 16.0F;
}

void Paint(Rgb& under, Rgb colour, float coverage) {
  under = Mix(under, colour, coverage);
}

Rgb FromPixel(Pixel p) {
  return {static_cast<float>(PixelRed(p)), static_cast<float>(PixelGreen(p)),
          static_cast<float>(PixelBlue(p))};
}

// Paints `colour` over the pixels between two corners (clipped to the image)
// with the coverage that coverageAt gives for each pixel centre.
template <class CoverageAt>
void PaintInside(Image& image, FloatPoint from, FloatPoint to, Rgb colour, CoverageAt coverageAt) {
  const int x0 = std::max(0, static_cast<int>(std::floor(from.x)));
  const int y0 = std::max(0, static_cast<int>(std::floor(from.y)));
  const int x1 = std::min(image.Width(), static_cast<int>(std::ceil(to.x)) + 1);
  const int y1 = std::min(image.Height(), static_cast<int>(std::ceil(to.y)) + 1);
  for (int y = y0; y < y1; ++y) {
    Pixel* row = image.Row(y);
    for (int x = x0; x < x1; ++x) {
      const float coverage = coverageAt(static_cast<float>(x) + 0.5F, static_cast<float>(y) + 0.5F);
      if (coverage <= 0) continue;
      Rgb c = FromPixel(row[x]);
      Paint(c, colour, coverage);
      row[x] = ToPixel(c);
    }
  }
}

}  // namespace

Image DrawLandscape(IntSize size) {
  Image image(size.width, size.height);
  const auto w = static_cast<float>(size.width);
  const auto h = static_cast<float>(size.height);
  const float pixel = 1.0F / h;  // one pixel in units of the height
  const Rgb zenith{28, 52, 128};
  const Rgb horizon{252, 176, 112};
  const Rgb sunColour{255, 244, 214};
  const Rgb farHills{104, 92, 150};
  const Rgb nearTop{64, 126, 64};
  const Rgb nearBottom{18, 60, 30};
  const float sunX = 0.66F * w / h;
  const float sunY = 0.40F;
  const float sunRadius = 0.055F;
  const float lakeTop = 0.80F;

  // Hill outlines depend on the column only.
  std::vector<float> farEdge(static_cast<std::size_t>(size.width));
  std::vector<float> nearEdge(static_cast<std::size_t>(size.width));
  for (int x = 0; x < size.width; ++x) {
    const float u = static_cast<float>(x) / w;
    farEdge[static_cast<std::size_t>(x)] =
        0.56F - 0.07F * std::sin(u * 5.1F + 0.7F) - 0.025F * std::sin(u * 14.3F + 2.0F);
    nearEdge[static_cast<std::size_t>(x)] =
        0.70F - 0.06F * std::sin(u * 3.3F + 1.9F) - 0.015F * std::sin(u * 21.0F);
  }
  auto sky = [&](float px, float py) {
    Rgb c = Mix(zenith, horizon, SmoothStep(0.0F, 0.62F, py));
    const float d2 = (px - sunX) * (px - sunX) + (py - sunY) * (py - sunY);
    // Beyond this the glow is below half a step of a channel.
    if (d2 < 0.1F) {
      const float d = std::sqrt(d2);
      Paint(c, sunColour, std::exp(-d2 * 60.0F) * 0.55F);
      Paint(c, sunColour, SmoothStep(sunRadius + pixel, sunRadius - pixel, d));
    }
    return c;
  };
  for (int y = 0; y < size.height; ++y) {
    const float v = static_cast<float>(y) / h;
    Pixel* row = image.Row(y);
    for (int x = 0; x < size.width; ++x) {
      const float u = static_cast<float>(x) / h;  // square units: round sun
      const auto column = static_cast<std::size_t>(x);
      Rgb c;
      if (v < lakeTop) {
        c = sky(u, v);
        const float haze = SmoothStep(farEdge[column] + 0.25F, farEdge[column], v) * 0.35F;
        Paint(c, Mix(farHills, horizon, haze), Coverage((farEdge[column] - v) / pixel));
        const float depth = Clamp01((v - nearEdge[column]) / 0.2F);
        Paint(c, Mix(nearTop, nearBottom, depth), Coverage((nearEdge[column] - v) / pixel));
      } else {
        // The lake mirrors the sky about its shore line, darker with depth
        // and broken by slow ripples.
        const float depth = (v - lakeTop) / (1.0F - lakeTop);
        const float ripple = 0.004F * std::sin(v * 260.0F + u * 9.0F);
        c = Scaled(sky(u + ripple, 2.0F * lakeTop - v - 0.22F), 0.78F - 0.3F * depth);
        Paint(c, Rgb{20, 40, 70}, depth * 0.5F);
      }
      row[x] = ToPixel(c);
    }
  }
  return image;
}

Image DrawBackdrop(IntSize size) {
  Image image(size.width, size.height);
  const auto w = static_cast<float>(size.width);
  const auto h = static_cast<float>(size.height);
  for (int y = 0; y < size.height; ++y) {
    const float v = static_cast<float>(y) / h;
    Pixel* row = image.Row(y);
    for (int x = 0; x < size.width; ++x) {
      const float u = static_cast<float>(x) / w;
      const float t = 0.55F * u + 0.45F * v;
      Rgb c{128.0F + 90.0F * std::sin(2.0F * kPi * t),
            128.0F + 90.0F * std::sin(2.0F * kPi * t + 2.1F),
            128.0F + 90.0F * std::sin(2.0F * kPi * t + 4.2F)};
      const float rim = std::hypot(u - 0.5F, v - 0.5F);
      row[x] = ToPixel(Scaled(c, 1.0F - 0.55F * SmoothStep(0.3F, 0.75F, rim)));
    }
  }
  return image;
}

Image DrawChecker(IntSize size, int cellPixels) {
  Image image(size.width, size.height);
  const int cell = std::max(cellPixels, 1);
  const int columns = (size.width + cell - 1) / cell;
  const int rows = (size.height + cell - 1) / cell;
  for (int y = 0; y < size.height; ++y) {
    Pixel* row = image.Row(y);
    for (int x = 0; x < size.width; ++x) {
      const int cx = x / cell;
      const int cy = y / cell;
      Pixel p = MakePixel(36, 36, 44);
      if ((cx + cy) % 2 == 0) {
        const float hue = static_cast<float>(cx) / static_cast<float>(columns) * 0.7F +
                          static_cast<float>(cy) / static_cast<float>(rows) * 0.3F;
        p = ToPixel(Hue(hue, 235.0F));
      }
      if (x == 0 || y == 0 || x == size.width - 1 || y == size.height - 1)
        p = MakePixel(255, 255, 255);
      row[x] = p;
    }
  }
  return image;
}

Image DrawShapes(IntSize size) {
  Image image(size.width, size.height);
  const auto w = static_cast<float>(size.width);
  const auto h = static_cast<float>(size.height);
  const std::array<FloatPoint, 3> triangle = {FloatPoint{0.62F * w, 0.86F * h},
                                              FloatPoint{0.94F * w, 0.86F * h},
                                              FloatPoint{0.78F * w, 0.46F * h}};
  const std::array<FloatPoint, 4> bar = {
      FloatPoint{0.05F * w, 0.70F * h}, FloatPoint{0.10F * w, 0.62F * h},
      FloatPoint{0.60F * w, 0.92F * h}, FloatPoint{0.55F * w, 1.00F * h}};
  const float unit = std::min(w, h);
  for (int y = 0; y < size.height; ++y) {
    Pixel* row = image.Row(y);
    for (int x = 0; x < size.width; ++x) {
      const float px = static_cast<float>(x) + 0.5F;
      const float py = static_cast<float>(y) + 0.5F;
      Rgb c = Mix(Rgb{244, 240, 228}, Rgb{214, 222, 236}, py / h);
      Paint(c, Rgb{70, 150, 90}, Coverage(ConvexDistance(px, py, bar)));
      Paint(c, Rgb{40, 90, 200},
            Coverage(BoxDistance(px, py, 0.30F * w, 0.32F * h, 0.16F * w, 0.17F * h)));
      Paint(c, Rgb{220, 50, 40},
            Coverage(CircleDistance(px, py, 0.52F * w, 0.42F * h, 0.2F * unit)));
      const float ring = std::fabs(CircleDistance(px, py, 0.82F * w, 0.24F * h, 0.13F * unit));
      Paint(c, Rgb{240, 190, 20}, Coverage(ring - 0.035F * unit));
      Paint(c, Rgb{140, 60, 170}, Coverage(ConvexDistance(px, py, triangle)));
      row[x] = ToPixel(c);
    }
  }
  return image;
}

PictureWithAlpha DrawBadge(int diameterPixels) {
  const int d = std::max(diameterPixels, 8);
  PictureWithAlpha out{Image(d, d), std::vector<std::uint8_t>(static_cast<std::size_t>(d) *
                                                              static_cast<std::size_t>(d))};
  const float centre = static_cast<float>(d) / 2.0F;
  const float outer = centre - 1.0F;
  // A five-pointed star as five convex kites around the centre.
  std::array<std::array<FloatPoint, 4>, 5> kites{};
  const float tip = outer * 0.72F;
  const float waist = tip * 0.40F;
  for (int i = 0; i < 5; ++i) {
    const float a = -kPi / 2.0F + static_cast<float>(i) * 2.0F * kPi / 5.0F;
    const float left = a - kPi / 5.0F;
    const float right = a + kPi / 5.0F;
    kites[static_cast<std::size_t>(i)] = {
        FloatPoint{centre, centre},
        FloatPoint{centre + waist * std::cos(left), centre + waist * std::sin(left)},
        FloatPoint{centre + tip * std::cos(a), centre + tip * std::sin(a)},
        FloatPoint{centre + waist * std::cos(right), centre + waist * std::sin(right)}};
  }
  for (int y = 0; y < d; ++y) {
    for (int x = 0; x < d; ++x) {
      const float px = static_cast<float>(x) + 0.5F;
      const float py = static_cast<float>(y) + 0.5F;
      const float r = std::hypot(px - centre, py - centre);
      Rgb c = Mix(Rgb{40, 60, 120}, Rgb{10, 20, 60}, Clamp01(r / outer));
      Paint(c, Rgb{250, 214, 90}, Coverage(std::fabs(r - outer * 0.86F) - outer * 0.06F));
      Paint(c, Mix(Rgb{255, 236, 140}, Rgb{230, 150, 30}, Clamp01(r / tip)),
            UnionCoverage(px, py, kites));
      out.image.At(x, y) = ToPixel(c);
      out.alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(d) +
                static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>(Channel(255.0F * Coverage(r - outer)));
    }
  }
  return out;
}

void DrawClipFrame(int index, int frameCount, Image& frame) {
  const auto w = static_cast<float>(frame.Width());
  const auto h = static_cast<float>(frame.Height());
  const float t =
      frameCount > 1 ? static_cast<float>(index) / static_cast<float>(frameCount - 1) : 0.0F;
  // The ball crosses twice and bounces four times.
  const float radius = 0.09F * h;
  const float travel = 2.0F * t - std::floor(2.0F * t);
  const bool rightwards = std::fmod(std::floor(2.0F * t), 2.0F) == 0;
  const float ballX = radius + (w - 2.0F * radius) * (rightwards ? travel : 1.0F - travel);
  const float floorY = 0.82F * h;
  const float ballY = floorY - radius - 0.5F * h * std::fabs(std::sin(4.0F * kPi * t));
  const float angle = 2.0F * kPi * t;
  const float cosA = std::cos(angle);
  const float sinA = std::sin(angle);
  const float squareX = 0.5F * w;
  const float squareY = 0.32F * h;
  const float half = 0.11F * h;

  const Rgb skyTop = Mix(Rgb{90, 160, 230}, Rgb{20, 24, 70}, t);
  const Rgb skyBottom = Mix(Rgb{200, 230, 250}, Rgb{230, 120, 80}, t);
  for (int y = 0; y < frame.Height(); ++y) {
    const float py = static_cast<float>(y) + 0.5F;
    const Pixel ground =
        ToPixel(py < floorY ? Mix(skyTop, skyBottom, py / floorY) : Rgb{60, 110, 60});
    std::fill(frame.Row(y), frame.Row(y) + frame.Width(), ground);
  }
  // The shapes: each is drawn only inside its bounds, so a frame costs
  // little more than its background.
  const float squareReach = half * std::numbers::sqrt2_v<float> + 1.0F;
  PaintInside(frame, {squareX - squareReach, squareY - squareReach},
              {squareX + squareReach, squareY + squareReach}, Rgb{250, 250, 250},
              [&](float px, float py) {
                // The square turns about its centre: distance in its own frame.
                const float qx = cosA * (px - squareX) + sinA * (py - squareY);
                const float qy = -sinA * (px - squareX) + cosA * (py - squareY);
                return Coverage(BoxDistance(qx, qy, 0, 0, half, half));
              });
  PaintInside(frame, {ballX - radius - 1.0F, floorY}, {ballX + radius + 1.0F, floorY + 8.0F},
              Rgb{30, 60, 30}, [&](float px, float py) {
                const float shadow = std::fabs(py - floorY - 4.0F) - 3.0F;
                return 0.6F * Coverage(std::max(shadow, std::fabs(px - ballX) - radius));
              });
  PaintInside(
      frame, {ballX - radius - 1.0F, ballY - radius - 1.0F},
      {ballX + radius + 1.0F, ballY + radius + 1.0F}, Rgb{230, 60, 40},
      [&](float px, float py) { return Coverage(CircleDistance(px, py, ballX, ballY, radius)); });
  PaintInside(frame, {0, h - 10.0F}, {w * t, h}, Rgb{250, 210, 60},
              [&](float px, float py) { return px < w * t && py > h - 10.0F ? 1.0F : 0.0F; });
}

}  // namespace vistel::pack::demo
