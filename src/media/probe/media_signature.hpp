// The file-name extension that a medium's content calls for, from its first
// bytes alone: what a medium copied out of a package is named by, since the
// package keeps no names for pictures and clips.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace vistel {

// Enough of a medium's start for MediaExtension: an ID3v2 tag in front of
// MPEG audio is looked past only when it ends within these bytes.
inline constexpr std::size_t kMediaSignatureBytes = 4096;

// ".jpg", ".png", ".bmp", ".gif", ".tif", ".mpg", ".avi", ".wav", ".mp3",
// ".mp2", ".mid", or "" for content of no known kind.
std::string_view MediaExtension(std::span<const std::byte> head);

}  // namespace vistel
