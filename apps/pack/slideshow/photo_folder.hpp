// Finding the photos and the music of a slideshow in their folders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vistel::pack {

struct FoundPhoto {
  std::string path;          // to open
  std::string relativePath;  // from the photo folder, "/" between names
};

// Called with each problem met on the way (a folder that cannot be read, a
// link back to a folder already read); the walk goes on.
using WalkWarning = std::function<void(const std::string&)>;

// Every file below `folder` whose name ends in a picture extension (.jpg,
// .jpeg, .jpe, .jfif, .png, .bmp, .dib, .gif, .tif, .tiff, in any case),
// through sub-folders and links. Names starting with "." are passed over
// (hidden files, and the "._" companions some systems write beside photos,
// which carry the photo's extension but no picture). Each folder and each
// file is taken once, however many links lead to it, so a link that loops
// back ends there; at most kMaxFolderDepth folders deep and
// kMaxFolderEntries entries in all.
std::vector<FoundPhoto> FindPhotos(const std::string& folder, const WalkWarning& warn);

inline constexpr std::size_t kMaxFolderDepth = 64;
inline constexpr std::size_t kMaxFolderEntries = 1000000;

// The music files directly in `folder` (.mp3, .mp2, .wav, .mid, .midi, .rmi),
// in natural order of their names. Empty files are left out with a warning.
std::vector<std::string> FindMusic(const std::string& folder, const WalkWarning& warn);

// When the photo was taken: its Exif date where it has one (JPEG, TIFF),
// else the file's modification time; seconds from 1970 either way.
std::int64_t PhotoTakenSeconds(const std::string& path);

}  // namespace vistel::pack
