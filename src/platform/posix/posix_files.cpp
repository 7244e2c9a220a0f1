#include "platform/posix/posix_files.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <utility>

#include "base/text.hpp"

namespace vistel::posix {
namespace {

// A fresh name keeps at most this much of the name it stands beside, so that
// the prefix and suffix still fit a file name's 255 bytes.
constexpr std::size_t kKeptNameBytes = 200;
constexpr int kFreshNameAttempts = 100;

ErrorCode CodeFromErrno(int err, ErrorCode otherwise) {
  switch (err) {
    case ENOENT:
    case ENOTDIR:
      return ErrorCode::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return ErrorCode::PermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ErrorCode::DiskFull;
    case EEXIST:
      return ErrorCode::FileAlreadyExists;
    case EIO:
      return ErrorCode::DeviceIoError;
    default:
      return otherwise;
  }
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

std::string RandomLetters(std::random_device& entropy, int count) {
  constexpr std::string_view kLetters =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
  std::string letters;
  for (int i = 0; i < count; ++i) letters += kLetters[pick(entropy)];
  return letters;
}

}  // namespace

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

int Descriptor::Release() {
  return std::exchange(fd_, -1);
}

Status Descriptor::Close() {
  if (fd_ < 0) return {};
  // Linux releases the descriptor even when close fails; it is never retried.
  if (::close(std::exchange(fd_, -1)) != 0 && errno != EINTR) {
    return Fail(CodeFromErrno(errno, ErrorCode::DiskFull));
  }
  return {};
}

Error ErrorFromErrno(int err) {
  return Error(CodeFromErrno(err, ErrorCode::PathFileAccessError));
}

Result<Descriptor> OpenForWriting(std::string_view path, WriteMode mode) {
  const std::string name(path);
  if (name.empty()) return Fail(ErrorCode::BadFileNameOrNumber);
  // O_NONBLOCK only for the open itself: a FIFO planted at the name would
  // otherwise block it until someone reads.
  int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  if (mode == WriteMode::Append) flags |= O_APPEND;
  Descriptor file(OpenRetrying(name, flags, 0666));
  if (!file.IsOpen()) {
    const int err = errno;
    if (IsLink(name)) {
      return Fail(ErrorCode::PathFileAccessError,
                  name + " is a symbolic link; files are never written through links");
    }
    return Fail(ErrorFromErrno(err));
  }
  struct stat st {};
  if (::fstat(file.Get(), &st) != 0) return Fail(ErrorFromErrno(errno));
  if (!S_ISREG(st.st_mode)) {
    return Fail(ErrorCode::PathFileAccessError,
                name + " is not a regular file; only regular files are written");
  }
  if (mode == WriteMode::Truncate && ::ftruncate(file.Get(), 0) != 0) {
    return Fail(ErrorFromErrno(errno));
  }
  const int status = ::fcntl(file.Get(), F_GETFL);
  if (status < 0 || ::fcntl(file.Get(), F_SETFL, status & ~O_NONBLOCK) != 0) {
    return Fail(ErrorFromErrno(errno));
  }
  return file;
}

Result<FreshFile> CreateFreshBeside(std::string_view path) {
  const std::string target(path);
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return Fail(ErrorCode::BadFileNameOrNumber);

  struct stat old {};
  const bool keepMode = ::lstat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);
  std::random_device entropy;
  const std::string prefix =
      folder + "." + name.substr(0, Utf8PrefixLength(name, kKeptNameBytes)) + ".";
  for (int attempt = 0; attempt < kFreshNameAttempts; ++attempt) {
    FreshFile fresh{prefix + RandomLetters(entropy, 8), Descriptor()};
    fresh.descriptor = Descriptor(OpenRetrying(
        fresh.path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666));
    if (fresh.descriptor.IsOpen()) {
      // Best effort: a file that cannot take the old bits keeps the umask's.
      if (keepMode) (void)::fchmod(fresh.descriptor.Get(), old.st_mode & 0777);
      return fresh;
    }
    if (errno != EEXIST) return Fail(ErrorFromErrno(errno));
  }
  return Fail(ErrorCode::FileAlreadyExists);
}

Status WriteAll(int fd, std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t wrote = ::write(fd, bytes.data(), bytes.size());
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return Fail(CodeFromErrno(errno, ErrorCode::DiskFull));
    }
    if (wrote == 0) return Fail(ErrorCode::DiskFull);
    bytes = bytes.subspan(static_cast<std::size_t>(wrote));
  }
  return {};
}

Status RenameOver(std::string_view from, std::string_view to) {
  if (::rename(std::string(from).c_str(), std::string(to).c_str()) != 0) {
    return Fail(ErrorFromErrno(errno));
  }
  return {};
}

Status ReplaceWith(std::string_view path, std::span<const std::byte> bytes) {
  auto fresh = CreateFreshBeside(path);
  if (!fresh) return Fail(fresh.error());
  Status done = WriteAll(fresh->descriptor.Get(), bytes);
  if (done) done = fresh->descriptor.Close();
  if (done) done = RenameOver(fresh->path, path);
  if (!done) {
    fresh->descriptor = Descriptor();
    ::unlink(fresh->path.c_str());
  }
  return done;
}

}  // namespace vistel::posix
