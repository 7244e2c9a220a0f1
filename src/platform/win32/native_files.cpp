// The host's file system on Windows, through the wide calls (paths are UTF-8
// in the program). Reads are positioned ReadFile calls on one handle. Writes
// never go through a link planted at the name: a file kept at its name is
// opened with FILE_FLAG_OPEN_REPARSE_POINT and refused when it is a reparse
// point (symbolic link or junction); whole files are written under a fresh
// name created with CREATE_NEW and moved over the name.
#include "platform/native_files.hpp"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "base/text.hpp"
#include "platform/win32/wide_text.hpp"

namespace vistel {
namespace {

namespace fs = std::filesystem;

// A handle closed by its destructor.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
  ~Handle() { (void)Close(); }

  HANDLE Get() const { return handle_; }
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  bool Close() {
    if (!IsOpen()) return true;
    const bool closed = ::CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// The error number of the original's runtime closest to a failed call's.
ErrorCode CodeFrom(DWORD error, ErrorCode otherwise) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
      return ErrorCode::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ErrorCode::PathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return ErrorCode::PermissionDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ErrorCode::DiskFull;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return ErrorCode::FileAlreadyExists;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return ErrorCode::BadFileNameOrNumber;
    default:
      return otherwise;
  }
}

Error LastError(ErrorCode otherwise) {
  return Error(CodeFrom(::GetLastError(), otherwise));
}

unexpected<Error> NotUtf8() {
  return Fail(ErrorCode::BadFileNameOrNumber, "the file name is not valid UTF-8");
}

DWORD AttributesOf(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str());
}

constexpr DWORD kNoFile = INVALID_FILE_ATTRIBUTES;

Status WriteAll(HANDLE file, std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const DWORD chunk =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size(), std::size_t{1} << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) {
      return Fail(LastError(ErrorCode::DeviceIoError));
    }
    bytes = bytes.subspan(written);
  }
  return {};
}

class NativeInputFile final : public InputFile {
 public:
  NativeInputFile(Handle file, std::uint64_t size) : file_(std::move(file)), size_(size) {}

  std::uint64_t Size() const override { return size_; }

  Result<std::size_t> ReadAt(std::uint64_t offset, std::span<std::byte> buffer) override {
    if (offset >= size_ || buffer.empty()) return std::size_t{0};
    // Never past the size taken at open, so a file that grows reads the same.
    std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size_ - offset));
    std::size_t total = 0;
    while (total < wanted) {
      OVERLAPPED at{};
      const std::uint64_t position = offset + total;
      at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
      at.OffsetHigh = static_cast<DWORD>(position >> 32);
      const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(wanted - total, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(file_.Get(), buffer.data() + total, chunk, &got, &at)) {
        if (::GetLastError() == ERROR_HANDLE_EOF) break;
        return Fail(ErrorCode::DeviceIoError);
      }
      if (got == 0) break;
      total += got;
    }
    return total;
  }

 private:
  Handle file_;
  std::uint64_t size_;
};

class NativeOutputFile final : public BufferedOutputFile {
 public:
  explicit NativeOutputFile(Handle file, std::size_t bufferBytes = kDefaultBufferBytes)
      : BufferedOutputFile(bufferBytes), file_(std::move(file)) {}
  ~NativeOutputFile() override { (void)Flush(); }

 private:
  bool IsOpen() const override { return file_.IsOpen(); }
  Status WriteThrough(std::span<const std::byte> bytes) override {
    return WriteAll(file_.Get(), bytes);
  }
  Status CloseThrough() override {
    if (!file_.Close()) return Fail(LastError(ErrorCode::DeviceIoError));
    return {};
  }

  Handle file_;
};

// Opens (creating when missing) the file at `path` for writing, refusing a
// reparse point there and anything but a file on a disk. Nothing is
// truncated before the checks.
Result<Handle> OpenForWriting(std::string_view path, WriteMode mode) {
  const auto wide = win32::WideFromUtf8(path);
  if (!wide || path.empty()) return NotUtf8();
  // The name's own attributes (a link's, not its target's). The handle is
  // checked again below, for a link planted between the two looks.
  if (const DWORD before = AttributesOf(*wide);
      before != kNoFile && (before & FILE_ATTRIBUTE_REPARSE_POINT)) {
    return Fail(ErrorCode::PermissionDenied,
                "a link is at the file's name; it is not written through");
  }
  Handle file(::CreateFileW(wide->c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file.IsOpen()) {
    const DWORD attributes = AttributesOf(*wide);
    if (attributes != kNoFile && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return Fail(ErrorCode::PathFileAccessError);
    }
    return Fail(LastError(ErrorCode::PathFileAccessError));
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.Get(), &info)) {
    return Fail(LastError(ErrorCode::PathFileAccessError));
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    return Fail(ErrorCode::PermissionDenied,
                "a link is at the file's name; it is not written through");
  }
  if (::GetFileType(file.Get()) != FILE_TYPE_DISK ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return Fail(ErrorCode::PathFileAccessError, "not a file to write into");
  }
  LARGE_INTEGER zero{};
  const DWORD from = mode == WriteMode::Append ? FILE_END : FILE_BEGIN;
  if (!::SetFilePointerEx(file.Get(), zero, nullptr, from) ||
      (mode == WriteMode::Truncate && !::SetEndOfFile(file.Get()))) {
    return Fail(LastError(ErrorCode::DeviceIoError));
  }
  return file;
}

std::string RandomLetters(int count) {
  constexpr std::string_view kLetters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::random_device entropy;
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string letters;
  for (int i = 0; i < count; ++i) letters += kLetters[pick(entropy)];
  return letters;
}

// A fresh name keeps at most this much of the name it stands beside, so that
// the prefix and suffix still fit a file name's 255 characters.
constexpr std::size_t kKeptNameBytes = 200;
constexpr int kFreshNameAttempts = 100;

class NativeFileSystem final : public FileSystem {
 public:
  bool Exists(std::string_view path) override {
    const auto wide = win32::WideFromUtf8(path);
    return wide && !path.empty() && AttributesOf(*wide) != kNoFile;
  }

  Result<std::unique_ptr<InputFile>> OpenRead(std::string_view path) override {
    const auto wide = win32::WideFromUtf8(path);
    if (path.empty()) return Fail(ErrorCode::BadFileNameOrNumber);
    if (!wide) return NotUtf8();
    const DWORD attributes = AttributesOf(*wide);
    if (attributes != kNoFile && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return Fail(ErrorCode::PathFileAccessError);
    }
    Handle file(::CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) return Fail(LastError(ErrorCode::PermissionDenied));
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) {
      return Fail(ErrorCode::DeviceIoError);
    }
    return std::unique_ptr<InputFile>(std::make_unique<NativeInputFile>(
        std::move(file), static_cast<std::uint64_t>(size.QuadPart)));
  }

  Result<std::unique_ptr<OutputFile>> OpenWrite(std::string_view path, WriteMode mode) override {
    auto file = OpenForWriting(path, mode);
    if (!file) return Fail(file.error());
    return std::unique_ptr<OutputFile>(std::make_unique<NativeOutputFile>(std::move(*file)));
  }

  Result<FreshOutput> CreateFresh(std::string_view beside) override {
    const auto separator = beside.find_last_of("\\/");
    const std::string_view folder =
        separator == std::string_view::npos ? std::string_view{} : beside.substr(0, separator + 1);
    std::string name(beside.substr(folder.size()));
    name.resize(Utf8PrefixLength(name, kKeptNameBytes));
    for (int attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
      std::string path = std::string(folder) + "." + name + "." + RandomLetters(8);
      const auto wide = win32::WideFromUtf8(path);
      if (!wide) return NotUtf8();
      // CREATE_NEW fails at any existing name, a link included.
      Handle file(::CreateFileW(wide->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file.IsOpen()) {
        return FreshOutput{std::move(path), std::make_unique<NativeOutputFile>(std::move(file))};
      }
      const DWORD error = ::GetLastError();
      if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
        return Fail(Error(CodeFrom(error, ErrorCode::PathFileAccessError)));
      }
    }
    return Fail(ErrorCode::FileAlreadyExists);
  }

  Status Remove(std::string_view path) override {
    const auto wide = win32::WideFromUtf8(path);
    if (path.empty()) return Fail(ErrorCode::FileNotFound);
    if (!wide) return NotUtf8();
    // A link is removed itself, never what it points at.
    if (!::DeleteFileW(wide->c_str())) return Fail(LastError(ErrorCode::PathFileAccessError));
    return {};
  }

  Status Rename(std::string_view from, std::string_view to) override {
    const auto source = win32::WideFromUtf8(from);
    const auto target = win32::WideFromUtf8(to);
    if (!source || !target) return NotUtf8();
    // A link at `to` is replaced as a name, not followed.
    if (!::MoveFileExW(source->c_str(), target->c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return Fail(LastError(ErrorCode::PathFileAccessError));
    }
    return {};
  }

  Status CreateDirectories(std::string_view path) override {
    const auto wide = win32::WideFromUtf8(path);
    if (!wide || path.empty()) return Fail(ErrorCode::PathFileAccessError);
    std::error_code ec;
    const fs::path folder(*wide);
    fs::create_directories(folder, ec);
    if (ec || !fs::is_directory(folder, ec)) return Fail(ErrorCode::PathFileAccessError);
    return {};
  }
};

}  // namespace

std::unique_ptr<FileSystem> MakeNativeFileSystem() {
  return std::make_unique<NativeFileSystem>();
}

Result<std::unique_ptr<OutputFile>> OpenStreamingFile(std::string_view path) {
  auto file = OpenForWriting(path, WriteMode::Truncate);
  if (!file) return Fail(file.error());
  return std::unique_ptr<OutputFile>(std::make_unique<NativeOutputFile>(std::move(*file), 0));
}

}  // namespace vistel
