// One extraction, measured: reads PACKAGE, copies its first screen's video
// (or image) into TARGET through ExtractMedium, and prints the bytes written,
// the time taken and how much the process's peak memory grew meanwhile.
// Used by extract_vs_cp.sh.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "package/extract.hpp"
#include "package/reader.hpp"
#include "platform/native_files.hpp"

namespace {

// A "VmRSS:" or "VmHWM:" figure of /proc/self/status in KiB; -1 where the
// system has no such file.
long StatusKiB(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string name;
  long value = -1;
  while (status >> name) {
    if (name == key) {
      status >> value;
      return value;
    }
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vistel;
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s PACKAGE TARGET\n", argv[0]);
    return 2;
  }
  const auto files = MakeNativeFileSystem();
  Package package;
  {
    auto file = files->OpenRead(argv[1]);
    if (!file || !ReadPackageFile(**file, package)) {
      std::fprintf(stderr, "%s: not a readable package\n", argv[1]);
      return 1;
    }
  }
  const ScreenSettings& screen = package.Screens.at(0);
  const bool video = screen.VideoLength != 0;
  const std::int32_t position = video ? screen.VideoPosition : screen.ImagePosition;
  const std::int32_t length = video ? screen.VideoLength : screen.ImageLength;

  NullTrace trace;
  const long rssBefore = StatusKiB("VmRSS:");
  const auto start = std::chrono::steady_clock::now();
  const ExtractResult result = ExtractMedium(*files, argv[1], position, length, argv[2], trace);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  const long peakAfter = StatusKiB("VmHWM:");

  std::printf(
      "written=%llu complete=%d ms=%.1f rss_before_kib=%ld peak_after_kib=%ld "
      "growth_kib=%ld\n",
      static_cast<unsigned long long>(result.written), result.complete ? 1 : 0,
      std::chrono::duration<double, std::milli>(elapsed).count(), rssBefore, peakAfter,
      rssBefore < 0 || peakAfter < 0 ? -1L : std::max(0L, peakAfter - rssBefore));
  return result.complete ? 0 : 1;
}
