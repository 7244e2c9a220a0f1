#include "package/extract.hpp"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

#include "base/error.hpp"

namespace vistel {
namespace {

struct SourceRange {
  std::uint64_t offset = 0;     // 0-based, in the package
  std::uint64_t available = 0;  // bytes of the range that exist in the package
  bool valid = false;           // position and length can name bytes at all
};

SourceRange RangeIn(std::uint64_t packageSize, std::int32_t position, std::int32_t length) {
  SourceRange range;
  range.valid = position >= 0 && length >= 0;
  if (!range.valid) return range;
  // Position 0 reads from the start of the file, as the original, which made
  // no seek for it.
  range.offset = position == 0 ? 0 : static_cast<std::uint64_t>(position) - 1;
  if (range.offset < packageSize) {
    range.available = std::min(static_cast<std::uint64_t>(length), packageSize - range.offset);
  }
  return range;
}

// Streams `range` from the package into the target; returns the bytes written.
std::uint64_t Copy(InputFile& package, const SourceRange& range, OutputFile& target,
                   ResumeNext& statements) {
  std::vector<std::byte> buffer(
      static_cast<std::size_t>(std::min<std::uint64_t>(range.available, kExtractChunkBytes)));
  std::uint64_t copied = 0;
  while (copied < range.available) {
    const auto want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), range.available - copied));
    const Result<std::size_t> got =
        package.ReadAt(range.offset + copied, std::span(buffer).first(want));
    if (!got || *got == 0) {
      if (!got) statements.Run(Fail(got.error()));
      break;
    }
    if (!statements.Run(target.Write(std::span(buffer).first(*got)))) break;
    copied += *got;
  }
  return copied;
}

}  // namespace

ExtractResult ExtractMedium(FileSystem& files, std::string_view packageFileName,
                            std::int32_t position, std::int32_t length, std::string_view fileName,
                            Trace& trace) {
  ResumeNext statements;  // every step may fail; the next one runs regardless
  ExtractResult result;

  std::unique_ptr<InputFile> package;
  if (auto opened = files.OpenRead(packageFileName)) {
    package = std::move(*opened);
  } else {
    statements.Run(Fail(opened.error()));
  }
  const SourceRange range = RangeIn(package ? package->Size() : 0, position, length);

  // The copy goes to a fresh file beside the target, renamed over it at the
  // end: the target is replaced whole, and a link at its name is replaced
  // too, never written through.
  if (auto fresh = files.CreateFresh(fileName)) {
    if (package) result.written = Copy(*package, range, *fresh->file, statements);
    const bool closed = statements.Run(fresh->file->Close());
    fresh->file.reset();
    // What could be copied replaces the old file even when it falls short, as
    // the original's copy did: a stale medium of an earlier screen is worse.
    // The old file goes first: a rename over a file makes ext4 write the new
    // one out at once (about 3 ms for a 4 MB photo), a durability that a
    // temporary copy does not need. Should the removal fail, the rename
    // reports why.
    if (files.Exists(fileName)) (void)files.Remove(fileName);
    if (statements.Run(files.Rename(fresh->path, fileName))) {
      result.complete = closed && range.valid && package != nullptr &&
                        result.written == static_cast<std::uint64_t>(length);
    } else {
      statements.Run(files.Remove(fresh->path));
    }
  } else {
    statements.Run(Fail(fresh.error()));
    // The original deleted the old file before creating the new one.
    statements.Run(files.Remove(fileName));
  }

  if (trace.Enabled()) {
    trace.Write("extract", {{"file", std::string(fileName)},
                            {"position", std::int64_t{position}},
                            {"length", std::int64_t{length}},
                            {"written", static_cast<std::int64_t>(result.written)}});
  }
  return result;
}

}  // namespace vistel
