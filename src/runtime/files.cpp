#include "runtime/files.hpp"

namespace vistel {

Status BufferedOutputFile::Write(std::span<const std::byte> bytes) {
  if (!IsOpen()) return Fail(ErrorCode::BadFileNameOrNumber);
  if (buffer_.size() + bytes.size() > bufferBytes_) {
    if (auto flushed = Flush(); !flushed) return flushed;
  }
  if (bytes.size() >= bufferBytes_) return WriteThrough(bytes);
  if (buffer_.capacity() == 0) buffer_.reserve(bufferBytes_);
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
  return {};
}

Status BufferedOutputFile::Flush() {
  if (buffer_.empty() || !IsOpen()) return {};
  Status written = WriteThrough(buffer_);
  buffer_.clear();
  return written;
}

Status BufferedOutputFile::Close() {
  if (!IsOpen()) return {};
  Status flushed = Flush();
  Status closed = CloseThrough();
  return flushed ? closed : flushed;
}

Status WriteWholeFile(FileSystem& files, std::string_view path,
                      const std::function<Status(OutputFile&)>& write) {
  auto fresh = files.CreateFresh(path);
  if (!fresh) return Fail(fresh.error());
  Status done = write(*fresh->file);
  if (done) done = fresh->file->Close();
  fresh->file.reset();
  if (done) done = files.Rename(fresh->path, path);
  if (!done) (void)files.Remove(fresh->path);  // best effort: the first error is the one to report
  return done;
}

}  // namespace vistel
