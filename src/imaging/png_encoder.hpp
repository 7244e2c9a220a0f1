// A PNG writer with no library behind it, for hosts whose system has no PNG
// encoder at hand (the Windows build's headless snapshots). It stores the
// pixels uncompressed (deflate's stored blocks): snapshots are scratch
// output, and a writer this small has nothing to get wrong.
#pragma once

#include <cstddef>
#include <vector>

#include "base/image.hpp"

namespace vistel {

// The whole file: 8-bit RGB, no filter, no interlace.
std::vector<std::byte> EncodeStoredPng(const Image& image);

}  // namespace vistel
