// The per-pixel orders of the threshold families. Every builder computes a
// share f in [0, 1] per pixel (when it turns new) and stores it scaled to
// 0 .. 65535; a builder runs once per transition, so clarity wins over speed.
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "imaging/effects/pixel_blend.hpp"
#include "imaging/effects/threshold_effect.hpp"

namespace vistel::effects {
namespace {

using Thresholds = std::vector<std::uint16_t>;

std::uint16_t ToThreshold(double f) {
  return static_cast<std::uint16_t>(std::clamp(f * 65536.0, 0.0, 65535.0));
}

// Fills the map from a function of the pixel's centre.
template <typename F>
Thresholds ByPixel(int w, int h, F share) {
  Thresholds t(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  std::size_t i = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) t[i++] = ToThreshold(share(x + 0.5, y + 0.5));
  }
  return t;
}

// The eight directions of wipes and moving pictures, neighbours opposite.
constexpr std::array<std::array<int, 2>, 8> kDirections = {
    {{1, 0}, {-1, 0}, {0, 1}, {0, -1}, {1, 1}, {-1, -1}, {-1, 1}, {1, -1}}};

// Position of c (0 .. size) within band n of `bands` equal bands.
struct BandPosition {
  int band;
  double along;  // 0 .. 1 inside the band
};
BandPosition InBand(double c, int size, int bands) {
  const int band = std::min(bands - 1, static_cast<int>(c * bands / size));
  const double start = static_cast<double>(band) * size / bands;
  const double end = static_cast<double>(band + 1) * size / bands;
  return {band, (c - start) / (end - start)};
}

int Bands(const EffectRecipe& recipe, const EffectParameters& p, int extent, int base) {
  return std::clamp(base + 2 * (recipe.level % 8) + p.extra_bands, 1, std::max(1, extent));
}

Thresholds Wipe(const EffectRecipe& recipe, int w, int h) {
  const auto [dx, dy] = kDirections[static_cast<std::size_t>(recipe.shape % 8)];
  const int axes = (dx != 0) + (dy != 0);
  return ByPixel(w, h, [&](double x, double y) {
    const double fx = dx > 0 ? x / w : dx < 0 ? 1.0 - x / w : 0.0;
    const double fy = dy > 0 ? y / h : dy < 0 ? 1.0 - y / h : 0.0;
    return (fx + fy) / axes;
  });
}

Thresholds Blinds(const EffectRecipe& recipe, const EffectParameters& p, int w, int h) {
  const bool horizontal = recipe.shape < 2;
  const bool reverse = recipe.shape % 2 == 1;
  const int bands = Bands(recipe, p, horizontal ? h : w, 4);
  return ByPixel(w, h, [&](double x, double y) {
    const double along = horizontal ? InBand(y, h, bands).along : InBand(x, w, bands).along;
    return reverse ? 1.0 - along : along;
  });
}

Thresholds Checkerboard(const EffectRecipe& recipe, const EffectParameters& p, int w, int h) {
  const int cells = Bands(recipe, p, std::min(w, h), 4);
  const double edge = static_cast<double>(std::min(w, h)) / cells;
  return ByPixel(w, h, [&](double x, double y) {
    const int cx = static_cast<int>(x / edge);
    const int cy = static_cast<int>(y / edge);
    const double u = recipe.shape < 2 ? x / edge - cx : y / edge - cy;
    const double along = recipe.shape % 2 == 0 ? u : 1.0 - u;
    return (((cx + cy) & 1) + along) / 2.0;
  });
}

Thresholds Strips(const EffectRecipe& recipe, const EffectParameters& p, int w, int h) {
  const int strips = Bands(recipe, p, recipe.shape == 1 ? w : h, 4);
  const double diag = static_cast<double>(w + h);
  return ByPixel(w, h, [&](double x, double y) {
    double across = 0, along = 0, across_size = 0;
    switch (recipe.shape) {
      case 0:
        across = y, along = x / w, across_size = h;
        break;
      case 1:
        across = x, along = y / h, across_size = w;
        break;
      case 2:
        across = x + y, along = (x - y + h) / diag, across_size = diag;
        break;
      default:
        across = x + (h - y), along = (x + y) / diag, across_size = diag;
        break;
    }
    const int band = std::min(strips - 1, static_cast<int>(across * strips / across_size));
    return band % 2 == 0 ? along : 1.0 - along;
  });
}

Thresholds RandomBars(const EffectRecipe& recipe, const EffectParameters& p, int w, int h) {
  const int thickness = 1 << (recipe.level % 4);
  const std::uint32_t seed = p.seed ^ Mix(static_cast<std::uint32_t>(recipe.level) + 1U);
  return ByPixel(w, h, [&](double x, double y) {
    const double c = recipe.shape == 0 ? y : x;
    const auto bar = static_cast<std::uint32_t>(c) / static_cast<std::uint32_t>(thickness);
    return Mix(seed, bar) / 4294967296.0;
  });
}

Thresholds Dissolve(const EffectRecipe& recipe, const EffectParameters& p, int w, int h) {
  const std::uint32_t seed = p.seed ^ Mix(static_cast<std::uint32_t>(recipe.level) + 7U);
  // Dissolve blocks are half the size of the block orders' ones: finer grain
  // reads as a dissolve rather than as a pattern.
  const int edge =
      recipe.shape == 0 ? 1 : std::max(2, BlockEdge(p, 1 + recipe.level % 3, w, h) / 2);
  return ByPixel(w, h, [&](double x, double y) {
    const auto bx = static_cast<std::uint32_t>(static_cast<int>(x) / edge);
    const auto by = static_cast<std::uint32_t>(static_cast<int>(y) / edge);
    return Mix(seed, bx, by) / 4294967296.0;
  });
}

Thresholds Iris(const EffectRecipe& recipe, int w, int h) {
  constexpr std::array<std::array<double, 2>, 5> kCentres = {
      {{0.5, 0.5}, {0.25, 0.25}, {0.75, 0.25}, {0.75, 0.75}, {0.25, 0.75}}};
  const auto [ux, uy] = kCentres[static_cast<std::size_t>(recipe.level % 5)];
  const double cx = ux * w, cy = uy * h;
  const int form = recipe.shape / 2;
  const bool opening = recipe.shape % 2 == 0;
  const auto measure = [&](double x, double y) {
    const double dx = std::abs(x - cx), dy = std::abs(y - cy);
    switch (form) {
      case 0:
        return std::max(dx / w, dy / h);
      case 1:
        return std::hypot(dx, dy);
      default:
        return dx / w + dy / h;
    }
  };
  // Each measure is convex, so the farthest point is a corner.
  const double reach = std::max({measure(0, 0), measure(w, 0), measure(0, h), measure(w, h)});
  return ByPixel(w, h, [&](double x, double y) {
    const double f = measure(x, y) / reach;
    return opening ? f : 1.0 - f;
  });
}

Thresholds BarnDoor(const EffectRecipe& recipe, int w, int h) {
  return ByPixel(w, h, [&](double x, double y) {
    const double fx = std::abs(x - w / 2.0) / (w / 2.0);
    const double fy = std::abs(y - h / 2.0) / (h / 2.0);
    switch (recipe.shape) {
      case 0:
        return fx;
      case 1:
        return 1.0 - fx;
      case 2:
        return fy;
      case 3:
        return 1.0 - fy;
      case 4:
        return std::min(fx, fy);
      default:
        return 1.0 - std::min(fx, fy);
    }
  });
}

// atan2(y, x) within 1e-5 radians (1.6e-6 turns, a tenth of a threshold
// step): sweeps compute it for every pixel, and the library's took a tenth
// of a second for a 1920 x 1080 map.
double FastAtan2(double y, double x) {
  const double ax = std::fabs(x), ay = std::fabs(y);
  const double longer = std::max(ax, ay), shorter = std::min(ax, ay);
  if (longer == 0.0) return 0.0;
  const double z = shorter / longer, z2 = z * z;
  // Odd polynomial of atan on [0, 1].
  double r = z * (0.99999934255 +
                  z2 * (-0.33329436990 +
                        z2 * (0.19946796519 +
                              z2 * (-0.13908534072 +
                                    z2 * (0.09642200015 +
                                          z2 * (-0.05590408977 +
                                                z2 * (0.02186124536 + z2 * -0.00405900408)))))));
  if (ay > ax) r = std::numbers::pi / 2 - r;
  if (x < 0) r = std::numbers::pi - r;
  return y < 0 ? -r : r;
}

// Angle of (dx, dy) clockwise from straight up, in turns (0 .. 1).
double Turns(double dx, double dy) {
  const double a = FastAtan2(dx, -dy) / (2.0 * std::numbers::pi);
  return a < 0 ? a + 1.0 : a;
}

double Fraction(double v) {
  return v - std::floor(v);
}

Thresholds ClockSweep(const EffectRecipe& recipe, int w, int h) {
  const bool clockwise = recipe.shape < 4;
  constexpr std::array kHands = {1, 2, 4};
  const int hands = kHands[static_cast<std::size_t>(recipe.level % 3)];
  // Starts a quarter of the gap between hands apart (12, 3, 6, 9 o'clock
  // for one hand), so that several hands never repeat another shape.
  const double start = (recipe.shape % 4) / (4.0 * hands);
  return ByPixel(w, h, [&](double x, double y) {
    const double a = Turns(x - w / 2.0, y - h / 2.0);
    const double rel = Fraction(clockwise ? a - start : start - a);
    return Fraction(rel * hands);
  });
}

Thresholds RadialSweep(const EffectRecipe& recipe, int w, int h) {
  struct Pivot {
    double x, y;   // in units of the picture's size
    double start;  // turns, clockwise from up
    double span;   // turns
  };
  constexpr std::array<Pivot, 8> kPivots = {{{0, 0, 0.25, 0.25},
                                             {1, 0, 0.5, 0.25},
                                             {1, 1, 0.75, 0.25},
                                             {0, 1, 0.0, 0.25},
                                             {0.5, 0, 0.25, 0.5},
                                             {1, 0.5, 0.5, 0.5},
                                             {0.5, 1, 0.75, 0.5},
                                             {0, 0.5, 0.0, 0.5}}};
  const Pivot& pivot = kPivots[static_cast<std::size_t>(recipe.shape % 8)];
  const bool reverse = recipe.level % 2 == 1;
  return ByPixel(w, h, [&](double x, double y) {
    const double a = Fraction(Turns(x - pivot.x * w, y - pivot.y * h) - pivot.start);
    // Angles past the span's far end lie just before its start (rounding).
    const double f = a > (1.0 + pivot.span) / 2 ? 0.0 : std::min(1.0, a / pivot.span);
    return reverse ? 1.0 - f : f;
  });
}

// Block orders: the rank of every block of a cols x rows grid, spread over
// the map so that block k turns new at k / blocks of the way.
Thresholds FromBlockRanks(const std::vector<int>& rank, int cols, int rows, int edge, int w,
                          int h) {
  const double blocks = static_cast<double>(cols) * rows;
  Thresholds t(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int r = rank[static_cast<std::size_t>((y / edge) * cols + x / edge)];
      t[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)] =
          ToThreshold(r / blocks);
    }
  }
  return t;
}

Thresholds Spiral(const EffectRecipe& recipe, const EffectParameters& p, int w, int h) {
  const int edge = BlockEdge(p, 1 + (recipe.level / 2) % 3, w, h);
  const int cols = (w + edge - 1) / edge, rows = (h + edge - 1) / edge;
  const int corner = recipe.shape % 4;
  const bool clockwise = recipe.shape < 4;
  constexpr std::array<std::array<int, 2>, 4> kCorners = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}};
  // Clockwise from a corner first runs along the edge clockwise of it.
  constexpr std::array<std::array<int, 2>, 4> kClockwiseStart = {
      {{1, 0}, {0, 1}, {-1, 0}, {0, -1}}};
  constexpr std::array<std::array<int, 2>, 4> kCounterStart = {{{0, 1}, {-1, 0}, {0, -1}, {1, 0}}};
  int x = kCorners[static_cast<std::size_t>(corner)][0] * (cols - 1);
  int y = kCorners[static_cast<std::size_t>(corner)][1] * (rows - 1);
  auto [dx, dy] = (clockwise ? kClockwiseStart : kCounterStart)[static_cast<std::size_t>(corner)];
  const int count = cols * rows;
  std::vector<int> rank(static_cast<std::size_t>(count), -1);
  const auto at = [&](int cx, int cy) -> int& {
    return rank[static_cast<std::size_t>(cy * cols + cx)];
  };
  for (int k = 0; k < count; ++k) {
    at(x, y) = k;
    const auto free = [&](int cx, int cy) {
      return cx >= 0 && cy >= 0 && cx < cols && cy < rows && at(cx, cy) < 0;
    };
    if (!free(x + dx, y + dy)) {
      const int ndx = clockwise ? -dy : dy;
      const int ndy = clockwise ? dx : -dx;
      dx = ndx, dy = ndy;
    }
    x += dx, y += dy;
  }
  if (recipe.level % 2 == 1) {
    for (int& r : rank) r = count - 1 - r;
  }
  return FromBlockRanks(rank, cols, rows, edge, w, h);
}

Thresholds Snake(const EffectRecipe& recipe, const EffectParameters& p, int w, int h) {
  const int edge = BlockEdge(p, 1 + recipe.level % 3, w, h);
  const int cols = (w + edge - 1) / edge, rows = (h + edge - 1) / edge;
  const bool by_rows = recipe.shape < 4;
  const int corner = recipe.shape % 4;
  const bool from_right = corner == 1 || corner == 2;
  const bool from_bottom = corner >= 2;
  std::vector<int> rank(static_cast<std::size_t>(cols) * static_cast<std::size_t>(rows));
  for (int cy = 0; cy < rows; ++cy) {
    for (int cx = 0; cx < cols; ++cx) {
      const int x = from_right ? cols - 1 - cx : cx;
      const int y = from_bottom ? rows - 1 - cy : cy;
      // The run index and the position along it, every other run reversed.
      const int run = by_rows ? y : x;
      const int run_length = by_rows ? cols : rows;
      int along = by_rows ? x : y;
      if (run % 2 == 1) along = run_length - 1 - along;
      rank[static_cast<std::size_t>(cy * cols + cx)] = run * run_length + along;
    }
  }
  return FromBlockRanks(rank, cols, rows, edge, w, h);
}

}  // namespace

int BlockEdge(const EffectParameters& p, int factor, int w, int h) {
  return std::max(2, std::min(w, h) * p.grain * factor / 256);
}

bool IsThresholdFamily(Family family) {
  switch (family) {
    case Family::kWipe:
    case Family::kSoftWipe:
    case Family::kBlinds:
    case Family::kCheckerboard:
    case Family::kStrips:
    case Family::kRandomBars:
    case Family::kDissolve:
    case Family::kIris:
    case Family::kBarnDoor:
    case Family::kClockSweep:
    case Family::kRadialSweep:
    case Family::kSpiral:
    case Family::kSnake:
      return true;
    default:
      return false;
  }
}

std::int32_t SoftnessOf(const EffectRecipe& recipe, const EffectParameters& p) {
  if (p.softness > 0) return p.softness;
  if (recipe.family != Family::kSoftWipe) return 0;
  constexpr std::array kSoftPercent = {12, 25, 40, 60};
  return kSoftPercent[static_cast<std::size_t>(recipe.level % 4)] * kFullProgress / 100;
}

std::vector<std::uint16_t> BuildThresholds(const EffectRecipe& recipe, const EffectParameters& p,
                                           int w, int h) {
  switch (recipe.family) {
    case Family::kWipe:
    case Family::kSoftWipe:
      return Wipe(recipe, w, h);
    case Family::kBlinds:
      return Blinds(recipe, p, w, h);
    case Family::kCheckerboard:
      return Checkerboard(recipe, p, w, h);
    case Family::kStrips:
      return Strips(recipe, p, w, h);
    case Family::kRandomBars:
      return RandomBars(recipe, p, w, h);
    case Family::kDissolve:
      return Dissolve(recipe, p, w, h);
    case Family::kIris:
      return Iris(recipe, w, h);
    case Family::kBarnDoor:
      return BarnDoor(recipe, w, h);
    case Family::kClockSweep:
      return ClockSweep(recipe, w, h);
    case Family::kRadialSweep:
      return RadialSweep(recipe, w, h);
    case Family::kSpiral:
      return Spiral(recipe, p, w, h);
    case Family::kSnake:
      return Snake(recipe, p, w, h);
    default:
      return {};
  }
}

}  // namespace vistel::effects
