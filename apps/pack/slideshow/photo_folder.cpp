#include "slideshow/photo_folder.hpp"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <span>
#include <system_error>

#include "base/input_limits.hpp"
#include "base/text.hpp"
#include "media/probe/exif_date.hpp"
#include "package/slideshow.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack {
namespace {

namespace fs = std::filesystem;

bool HasExtension(const fs::path& path, std::initializer_list<std::string_view> extensions) {
  const std::string extension = AsciiLower(path.extension().string());
  return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

bool IsPhotoName(const fs::path& path) {
  return HasExtension(
      path, {".jpg", ".jpeg", ".jpe", ".jfif", ".png", ".bmp", ".dib", ".gif", ".tif", ".tiff"});
}

bool IsHidden(const fs::path& path) {
  return path.filename().string().starts_with('.');
}

// The identity of a file or folder however it is reached: its canonical path.
std::string Identity(const fs::path& path) {
  std::error_code ec;
  const fs::path canonical = fs::canonical(path, ec);
  return ec ? fs::absolute(path, ec).lexically_normal().string() : canonical.string();
}

struct Pending {
  fs::path folder;
  std::string relative;  // "" for the top, else "a/b/"
  std::size_t depth = 0;
};

}  // namespace

std::vector<FoundPhoto> FindPhotos(const std::string& folder, const WalkWarning& warn) {
  std::vector<FoundPhoto> photos;
  std::set<std::string> foldersSeen;
  std::set<std::string> filesSeen;
  std::vector<Pending> pending{{fs::path(folder), "", 0}};
  std::size_t entries = 0;
  while (!pending.empty()) {
    const Pending current = std::move(pending.back());
    pending.pop_back();
    if (!foldersSeen.insert(Identity(current.folder)).second) {
      warn(current.folder.string() + ": passed over, a link leads back to a folder already read");
      continue;
    }
    std::error_code ec;
    fs::directory_iterator it(current.folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
      warn(current.folder.string() + ": cannot read the folder: " + ec.message());
      continue;
    }
    // Sub-folders are read after this folder's files, in name order, so the
    // walk (and its warnings) do not depend on the order the system lists.
    std::vector<fs::path> subFolders;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
      if (++entries > kMaxFolderEntries) {
        warn(folder + ": more than " + std::to_string(kMaxFolderEntries) +
             " files and folders; the rest are passed over");
        return photos;
      }
      const fs::path path = it->path();
      if (IsHidden(path)) continue;
      std::error_code statusError;
      const fs::file_status status = fs::status(path, statusError);  // through links
      if (fs::is_directory(status)) {
        subFolders.push_back(path);
      } else if (fs::is_regular_file(status) && IsPhotoName(path)) {
        if (!filesSeen.insert(Identity(path)).second) continue;  // linked twice
        photos.push_back({path.string(), current.relative + path.filename().string()});
      }
    }
    if (ec)
      warn(current.folder.string() + ": the folder could not be read to its end: " + ec.message());
    if (current.depth + 1 > kMaxFolderDepth) {
      if (!subFolders.empty()) {
        warn(current.folder.string() + ": folders more than " + std::to_string(kMaxFolderDepth) +
             " deep are passed over");
      }
      continue;
    }
    std::sort(subFolders.begin(), subFolders.end(), [](const fs::path& a, const fs::path& b) {
      return NaturallyBefore(b.filename().string(), a.filename().string());  // popped last first
    });
    for (const fs::path& sub : subFolders) {
      pending.push_back({sub, current.relative + sub.filename().string() + "/", current.depth + 1});
    }
  }
  return photos;
}

std::vector<std::string> FindMusic(const std::string& folder, const WalkWarning& warn) {
  std::vector<std::string> tracks;
  std::error_code ec;
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  if (ec) {
    warn(folder + ": cannot read the music folder: " + ec.message());
    return tracks;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    const fs::path path = it->path();
    if (IsHidden(path) || !HasExtension(path, {".mp3", ".mp2", ".wav", ".mid", ".midi", ".rmi"})) {
      continue;
    }
    std::error_code statusError;
    if (!fs::is_regular_file(path, statusError)) continue;
    if (fs::file_size(path, statusError) == 0) {
      warn(path.string() + ": skipped: the file is empty");
      continue;
    }
    if (tracks.size() == limits::kMaxTracks) {
      warn(folder + ": more than " + std::to_string(limits::kMaxTracks) +
           " music files; the rest are passed over");
      break;
    }
    tracks.push_back(path.string());
  }
  std::sort(tracks.begin(), tracks.end(), [](const std::string& a, const std::string& b) {
    return NaturallyBefore(fs::path(a).filename().string(), fs::path(b).filename().string());
  });
  return tracks;
}

std::int64_t PhotoTakenSeconds(const std::string& path) {
  // Cameras write the Exif segment first; its directory is a few kilobytes.
  constexpr std::size_t kExifBytes = 256 * 1024;
  const auto files = MakeNativeFileSystem();
  if (auto file = files->OpenRead(path)) {
    std::vector<std::byte> head(
        static_cast<std::size_t>(std::min<std::uint64_t>((*file)->Size(), kExifBytes)));
    std::size_t got = 0;
    while (got < head.size()) {
      auto read = (*file)->ReadAt(got, std::span(head).subspan(got));
      if (!read || *read == 0) break;
      got += *read;
    }
    head.resize(got);
    if (const auto taken = ExifDateTaken(head)) return *taken;
  }
  std::error_code ec;
  const auto modified = fs::last_write_time(path, ec);
  if (ec) return 0;
  const auto system = std::chrono::file_clock::to_sys(modified);
  return std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count();
}

}  // namespace vistel::pack
