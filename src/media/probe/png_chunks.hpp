// PNG chunks that a decoder may inflate without any limit (FFmpeg's does): zTXt
// and iTXt (compressed text) and iCCP (a compressed colour profile). A chunk
// of a megabyte inflates to gigabytes. None of them changes a pixel we show
// (text is metadata; the profile is not applied), so the reader hides them
// from the decoder by renaming their type to one no decoder knows, which
// every PNG reader skips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace vistel {

// Where the four-byte types of the chunks to hide lie in a PNG file, in
// ascending order; nothing for a file that is not a PNG. Walks the chunk
// headers only (eight bytes each); the first leaves the file's position
// undefined, the second reads a file held in memory.
std::vector<std::int64_t> FindInflatingPngChunks(std::FILE* file);
std::vector<std::int64_t> FindInflatingPngChunks(std::span<const std::byte> file);

// Overwrites the parts of hidden chunk types that fall into `bytes`, which
// were read from file offset `offset`.
void HidePngChunks(std::span<const std::int64_t> typeOffsets, std::int64_t offset,
                   std::span<std::uint8_t> bytes);

}  // namespace vistel
