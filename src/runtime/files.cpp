#include "runtime/files.hpp"

namespace vistel {

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
