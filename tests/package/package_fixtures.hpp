// Test fixtures of the package layer: a byte-level package builder that is
// deliberately independent of the production writer (so a shared mistake
// cannot hide), an in-memory file system with failure injection, and
// recording fakes of the process, message boxes and trace.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.hpp"
#include "runtime/files.hpp"
#include "runtime/message_box.hpp"
#include "runtime/process.hpp"
#include "runtime/trace.hpp"

namespace vistel::testing {

// One configuration line: fields joined by the 0xFF byte.
inline std::string Line(std::initializer_list<std::string_view> fields) {
  std::string line;
  bool first = true;
  for (const std::string_view field : fields) {
    if (!first) line += '\xFF';
    line += field;
    first = false;
  }
  return line;
}

// Lines joined by CR LF, each followed by one (the text's trailing empty line).
inline std::string Text(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

// The 20-digit trailer for a configuration offset.
inline std::string Trailer(std::uint64_t configOffset) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%020llu", static_cast<unsigned long long>(configOffset));
  return digits;
}

// The configuration of a package with one video screen and no music, with
// the video at 1-based position `videoPosition`.
inline std::string ExampleConfiguration(std::int64_t videoPosition = 225282,
                                        std::int64_t videoLength = 5856480) {
  return Text({
      Line(
          {"[GLOBAL]", "Unknown", "My Screen Saver", "www.example.com", "False", "False", "False"}),
      Line({"[SCREEN-GLOBAL]", "1"}),
      Line({"[SCREEN-BACKGROUND]", "0", "0", "0", "0", ""}),
      Line({"[SCREEN-IMAGE]",
            "0",
            "0",
            "0",
            "0",
            "1000",
            "1",
            "100",
            "2.000164",
            "2.000237",
            "1000",
            "0",
            "False",
            "16777215",
            "0",
            "0",
            "0",
            "255",
            "16711680",
            "255",
            "16711680",
            "20",
            "10",
            "255",
            "1000",
            "0",
            "5",
            "",
            "5"}),
      Line({"[SCREEN-VIDEO]", "14.69351", "-86.17347", std::to_string(videoLength),
            std::to_string(videoPosition), "0", "7", "C:\\video\\clip.mpg"}),
      Line({"[SCREEN-CAPTION]", "16777215", "0", "", "0", "0", "0", "Arial", "12", "2.002457",
            "1.033028", "4"}),
  });
}

// Builds package bytes the way the authoring tool lays them out: player,
// media, optional zero fill, configuration text, trailer.
class PackageBytes {
 public:
  explicit PackageBytes(std::string player = std::string(64, 'P')) : bytes_(std::move(player)) {}

  // Appends a medium and returns its 1-based position.
  std::int64_t AddMedium(std::string_view medium) {
    const auto position = static_cast<std::int64_t>(bytes_.size()) + 1;
    bytes_ += medium;
    return position;
  }
  void AddZeroFill(std::size_t count) { bytes_.append(count, '\0'); }
  std::size_t Size() const { return bytes_.size(); }

  std::string Finish(std::string_view configuration) const {
    return bytes_ + std::string(configuration) + Trailer(bytes_.size());
  }

 private:
  std::string bytes_;
};

// A package of just a configuration text (offset 0).
inline std::string PackageOf(std::string_view configuration) {
  return PackageBytes("").Finish(configuration);
}

// An input file over bytes in memory.
class MemoryInputFile final : public InputFile {
 public:
  explicit MemoryInputFile(std::shared_ptr<const std::string> bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_->size(); }
  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    if (offset >= bytes_->size()) return std::size_t{0};
    const std::size_t count =
        std::min<std::size_t>(buffer.size(), bytes_->size() - static_cast<std::size_t>(offset));
    std::memcpy(buffer.data(), bytes_->data() + offset, count);
    return count;
  }

 private:
  std::shared_ptr<const std::string> bytes_;
};

// A file system in memory. Paths listed in `unreadable` exist but fail to
// open; paths in `unwritable` cannot be created.
class MemoryFileSystem final : public FileSystem {
 public:
  std::map<std::string, std::string, std::less<>> files;
  std::set<std::string, std::less<>> unreadable;
  std::set<std::string, std::less<>> unwritable;
  int opensForRead = 0;

  bool Exists(std::string_view path) override { return files.contains(path); }

  Result<std::unique_ptr<InputFile>> OpenRead(std::string_view path) override {
    ++opensForRead;
    const auto found = files.find(path);
    if (found == files.end()) return Fail(ErrorCode::FileNotFound);
    if (unreadable.contains(path)) return Fail(ErrorCode::PermissionDenied);
    return std::unique_ptr<InputFile>(
        std::make_unique<MemoryInputFile>(std::make_shared<const std::string>(found->second)));
  }

  Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view path, WriteMode mode) override {
    if (unwritable.contains(path)) return Fail(ErrorCode::PathNotFound);
    std::string& file = files[std::string(path)];
    if (mode == WriteMode::Truncate) file.clear();
    return std::unique_ptr<OutputFile>(std::make_unique<Output>(file));
  }

  // Fresh names are the target's with a counter; `unwritable` covers them.
  Result<FreshOutput> CreateFresh(std::string_view beside) override {
    if (unwritable.contains(beside)) return Fail(ErrorCode::PathNotFound);
    std::string name = std::string(beside) + ".fresh" + std::to_string(++freshFiles_);
    std::string& file = files[name];
    return FreshOutput{std::move(name), std::make_unique<Output>(file)};
  }

  Status Remove(std::string_view path) override {
    const auto found = files.find(path);
    if (found == files.end()) return Fail(ErrorCode::FileNotFound);
    files.erase(found);
    return {};
  }

  Status Rename(std::string_view from, std::string_view to) override {
    const auto found = files.find(from);
    if (found == files.end()) return Fail(ErrorCode::FileNotFound);
    std::string bytes = std::move(found->second);
    files.erase(found);
    files[std::string(to)] = std::move(bytes);
    return {};
  }

  Status CreateDirectories(std::string_view) override { return {}; }

 private:
  int freshFiles_ = 0;

  class Output final : public OutputFile {
   public:
    explicit Output(std::string& file) : file_(file) {}
    Status Write(std::span<const std::byte> bytes) override {
      file_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      return {};
    }
    Status Close() override { return {}; }

   private:
    std::string& file_;
  };
};

class FakeProcess final : public ProcessInfo {
 public:
  FakeProcess(std::string folder, std::string baseName, char separator = '/')
      : folder_(std::move(folder)), baseName_(std::move(baseName)), separator_(separator) {}
  std::string AppFolder() const override { return folder_; }
  std::string ExeBaseName() const override { return baseName_; }
  char PathSeparator() const override { return separator_; }

 private:
  std::string folder_;
  std::string baseName_;
  char separator_;
};

struct ShownMessage {
  std::string text;
  std::uint32_t style = 0;
  std::string title;
};

class RecordingMessageBoxes final : public MessageBoxes {
 public:
  std::vector<ShownMessage> shown;
  // Called as each box is shown, to see what happened before it.
  std::function<void()> onShow;

  int Show(std::string_view text, std::uint32_t style, std::string_view title) override {
    if (onShow) onShow();
    shown.push_back({std::string(text), style, std::string(title)});
    return kIdOk;
  }
};

struct TracedEvent {
  std::string ev;
  std::map<std::string, TraceValue, std::less<>> fields;
};

class RecordingTrace final : public Trace {
 public:
  std::vector<TracedEvent> events;
  bool Enabled() const override { return true; }
  void Write(std::string_view ev, std::initializer_list<TraceField> fields) override {
    TracedEvent event{std::string(ev), {}};
    for (const auto& [name, value] : fields) event.fields[std::string(name)] = value;
    events.push_back(std::move(event));
  }
};

}  // namespace vistel::testing
