// Fakes for the system-services tests (also used by the uninstall tests):
// recording message boxes and trace, a fixed process, and an in-memory file
// system whose operations can be made to fail one by one.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "runtime/files.hpp"
#include "runtime/message_box.hpp"
#include "runtime/process.hpp"
#include "runtime/trace.hpp"

namespace vistel::testing {

struct ShownBox {
  std::string text;
  std::uint32_t style = 0;
  std::string title;
};

class RecordingBoxes final : public MessageBoxes {
 public:
  int Show(std::string_view text, std::uint32_t style, std::string_view title) override {
    shown.push_back({std::string(text), style, std::string(title)});
    return kIdOk;
  }
  std::vector<ShownBox> shown;
};

struct TraceEvent {
  std::string ev;
  std::map<std::string, TraceValue, std::less<>> fields;

  std::string Text(std::string_view name) const {
    const auto it = fields.find(name);
    if (it == fields.end() || !std::holds_alternative<std::string>(it->second)) return "<none>";
    return std::get<std::string>(it->second);
  }
  std::int64_t Int(std::string_view name) const {
    const auto it = fields.find(name);
    if (it == fields.end() || !std::holds_alternative<std::int64_t>(it->second)) return -1;
    return std::get<std::int64_t>(it->second);
  }
};

class RecordingTrace final : public Trace {
 public:
  bool Enabled() const override { return enabled; }
  void Write(std::string_view ev, std::initializer_list<TraceField> fields) override {
    TraceEvent event{std::string(ev), {}};
    for (const auto& [name, value] : fields) event.fields.emplace(std::string(name), value);
    events.push_back(std::move(event));
  }
  bool enabled = true;
  std::vector<TraceEvent> events;
};

class FixedProcess final : public ProcessInfo {
 public:
  explicit FixedProcess(std::string baseName) : baseName_(std::move(baseName)) {}
  std::string AppFolder() const override { return "/apps/"; }
  std::string ExeBaseName() const override { return baseName_; }
  char PathSeparator() const override { return '/'; }

 private:
  std::string baseName_;
};

// Files as a map of path to content. Paths under a folder listed in
// `missingFolders` cannot be opened for writing (as in a folder that does not
// exist or is not writable); `failWrites`, `failCloses` and `failRenames` make
// those operations fail.
class MemoryFiles final : public FileSystem {
 public:
  std::map<std::string, std::string, std::less<>> files;
  std::set<std::string, std::less<>> missingFolders;
  bool failWrites = false;
  bool failCloses = false;
  bool failRenames = false;
  int writeOpens = 0;

  bool Exists(std::string_view path) override { return files.contains(path); }

  Result<std::unique_ptr<InputFile>> OpenRead(std::string_view path) override {
    const auto it = files.find(path);
    if (it == files.end()) return Fail(ErrorCode::FileNotFound);
    return std::unique_ptr<InputFile>(std::make_unique<Reader>(it->second));
  }

  Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view path, WriteMode mode) override {
    for (const std::string& folder : missingFolders) {
      if (path.starts_with(folder)) return Fail(ErrorCode::PathNotFound);
    }
    ++writeOpens;
    std::string& content = files[std::string(path)];
    if (mode == WriteMode::Truncate) content.clear();
    return std::unique_ptr<OutputFile>(std::make_unique<Writer>(*this, content));
  }

  Result<FreshOutput> CreateFresh(std::string_view beside) override {
    std::string name = std::string(beside) + ".fresh" + std::to_string(writeOpens);
    auto file = OpenWrite(name, WriteMode::Truncate);
    if (!file) return Fail(file.error());
    return FreshOutput{std::move(name), std::move(*file)};
  }

  Status Remove(std::string_view path) override {
    const auto it = files.find(path);
    if (it == files.end()) return Fail(ErrorCode::FileNotFound);
    files.erase(it);
    return {};
  }

  Status Rename(std::string_view from, std::string_view to) override {
    if (failRenames) return Fail(ErrorCode::PermissionDenied);
    const auto it = files.find(from);
    if (it == files.end()) return Fail(ErrorCode::FileNotFound);
    std::string content = std::move(it->second);
    files.erase(it);
    files[std::string(to)] = std::move(content);
    return {};
  }

  Status CreateDirectories(std::string_view) override { return {}; }

 private:
  class Reader final : public InputFile {
   public:
    explicit Reader(std::string content) : content_(std::move(content)) {}
    std::uint64_t Size() const override { return content_.size(); }
    Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
      if (offset >= content_.size()) return std::size_t{0};
      // Short reads on purpose, so callers must loop.
      const std::size_t n = std::min({buffer.size(), content_.size() - offset, std::size_t{7}});
      std::memcpy(buffer.data(), content_.data() + offset, n);
      return n;
    }

   private:
    std::string content_;
  };

  class Writer final : public OutputFile {
   public:
    Writer(MemoryFiles& owner, std::string& content) : owner_(owner), content_(content) {}
    Status Write(std::span<const std::byte> bytes) override {
      if (owner_.failWrites) return Fail(ErrorCode::DiskFull);
      content_.append(reinterpret_cast<const char*>(bytes.data()), bytes.size());
      return {};
    }
    Status Close() override {
      if (owner_.failCloses) return Fail(ErrorCode::DiskFull);
      return {};
    }

   private:
    MemoryFiles& owner_;
    std::string& content_;
  };
};

}  // namespace vistel::testing
