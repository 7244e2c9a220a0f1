// Scratch folders and generated content shared by the media tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "base/image.hpp"

namespace vistel::testing {

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("vistel-media-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Smooth gradients with a few hard edges: every channel varies, so a swapped
// channel or a shifted row shows.
inline Image TestPattern(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned r = static_cast<unsigned>(x * 255 / std::max(width - 1, 1));
      const unsigned g = static_cast<unsigned>(y * 255 / std::max(height - 1, 1));
      const unsigned b = (x / 16 + y / 16) % 2 == 0 ? 40U : 200U;
      image.At(x, y) = MakePixel(r, g, b);
    }
  }
  return image;
}

// Interleaved stereo sine; the right channel at half the amplitude.
inline std::vector<std::int16_t> Sine(double hertz, double amplitude, int rate, double seconds) {
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<std::int16_t> samples(frames * 2);
  for (std::size_t i = 0; i < frames; ++i) {
    const double v = amplitude * 32767.0 *
                     std::sin(2.0 * std::numbers::pi * hertz * static_cast<double>(i) / rate);
    samples[2 * i] = static_cast<std::int16_t>(std::lround(v));
    samples[2 * i + 1] = static_cast<std::int16_t>(std::lround(v / 2));
  }
  return samples;
}

struct SoundMeasure {
  double hertz = 0;
  double peak = 0;  // of the left channel, 0..1
};

// Frequency from the rising zero crossings of the left channel, over the
// middle of the sound (away from codec start-up and padding).
inline SoundMeasure Measure(const std::vector<std::int16_t>& samples, int rate) {
  SoundMeasure m;
  const std::size_t frames = samples.size() / 2;
  const std::size_t from = frames / 4, to = frames * 3 / 4;
  if (to <= from + 1) return m;
  int crossings = 0;
  std::size_t first = 0, last = 0;
  for (std::size_t i = from + 1; i < to; ++i) {
    const int a = samples[2 * (i - 1)], b = samples[2 * i];
    m.peak = std::max(m.peak, std::abs(b) / 32767.0);
    if (a < 0 && b >= 0) {
      if (crossings == 0) first = i;
      last = i;
      ++crossings;
    }
  }
  if (crossings > 1) {
    m.hertz = (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
  }
  return m;
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A field of /proc/self/status in KiB ("VmRSS:", "VmHWM:"); -1 without it.
inline long StatusKiB(const std::string& field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
  }
  return -1;
}

// How far `work` raises the process's resident memory at its peak, in MiB;
// -1 where the peak cannot be reset (then the caller skips).
inline long PeakGrowthMiB(const std::function<void()>& work) {
  const long before = StatusKiB("VmRSS:");
  {
    std::ofstream reset("/proc/self/clear_refs");
    reset << "5";  // the peak starts again from here
    reset.close();
    if (!reset || before < 0) return -1;
  }
  work();
  return (StatusKiB("VmHWM:") - before) / 1024;
}

}  // namespace vistel::testing
