// PNG chunks that FFmpeg's decoder would inflate without any limit: zTXt
// and iTXt (compressed text) and iCCP (a compressed colour profile). A chunk
// of a megabyte inflates to gigabytes. None of them changes a pixel we show
// (text is metadata; the profile is not applied), so the reader hides them
// from the decoder by renaming their type to one no decoder knows, which
// every PNG reader skips.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

namespace vistel::ffmpeg {

// Where the four-byte types of the chunks to hide lie in a PNG file, in
// ascending order; nothing for a file that is not a PNG. Walks the chunk
// headers only (eight bytes each) and leaves the file's position undefined.
std::vector<std::int64_t> FindInflatingPngChunks(std::FILE* file);

// Overwrites the parts of hidden chunk types that fall into `bytes`, which
// were read from file offset `offset`.
void HidePngChunks(std::span<const std::int64_t> typeOffsets, std::int64_t offset,
                   std::span<std::uint8_t> bytes);

}  // namespace vistel::ffmpeg
