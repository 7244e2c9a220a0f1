// Shared pieces of the headless host tests: scratch folders, a trace kept in
// memory, trace files read back, and an input receiver that records calls.
#pragma once

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <system_error>
#include <vector>

#include "base/image.hpp"
#include "hosts/common/json_trace.hpp"
#include "hosts/headless/event_loop.hpp"
#include "runtime/window.hpp"
#ifdef _WIN32
#include "media/windows/gdiplus_pictures.hpp"
#else
#include "media/ffmpeg/encoders.hpp"
#endif

namespace vistel::testing {

// A snapshot the host wrote, read back with the platform's decoder.
inline Result<Image> ReadSnapshot(std::string_view path) {
#ifdef _WIN32
  return GdiplusPictureDecoder().DecodePicture(path, 0);
#else
  return ReadPng(path);
#endif
}

// A fresh folder under the system's temporary folder, removed at the end.
class HostScratch {
 public:
  explicit HostScratch(const std::string& name)
      : path_(std::filesystem::temp_directory_path() /
              ("vistel-hosts-" + name + "-" + std::to_string(::getpid()))) {
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~HostScratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  HostScratch(const HostScratch&) = delete;
  HostScratch& operator=(const HostScratch&) = delete;

  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every line of a JSON-lines file, parsed.
inline std::vector<nlohmann::json> ReadTraceFile(const std::string& path) {
  std::vector<nlohmann::json> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) lines.push_back(nlohmann::json::parse(line));
  }
  return lines;
}

// The events of one kind, in order.
inline std::vector<nlohmann::json> EventsOf(const std::vector<nlohmann::json>& trace,
                                            const std::string& ev) {
  std::vector<nlohmann::json> found;
  for (const auto& line : trace) {
    if (line.at("ev") == ev) found.push_back(line);
  }
  return found;
}

// A trace kept in memory, on its own virtual clock.
struct TraceCapture {
  VirtualClock clock;
  std::vector<nlohmann::json> events;
  JsonTrace trace{clock,
                  [this](std::string_view line) { events.push_back(nlohmann::json::parse(line)); }};
};

// Records what the window delivers, as text ("move 3,4", "up 1 5,6",
// "key 27", "resized 800x600"); `onResized` runs inside Resized().
class RecordingInput final : public WindowInput {
 public:
  void MouseMove(float xPx, float yPx) override { Add("move ", xPx, yPx); }
  void MouseUp(int button, float xPx, float yPx) override {
    Add("up " + std::to_string(button) + " ", xPx, yPx);
  }
  void KeyPress(int characterCode) override {
    calls.push_back("key " + std::to_string(characterCode));
  }
  void Resized() override {
    calls.push_back("resized");
    if (onResized) onResized();
  }
  void CloseRequested() override { calls.push_back("close"); }

  std::vector<std::string> calls;
  std::function<void()> onResized;

 private:
  void Add(const std::string& what, float x, float y) {
    calls.push_back(what + std::to_string(static_cast<int>(x)) + "," +
                    std::to_string(static_cast<int>(y)));
  }
};

}  // namespace vistel::testing
