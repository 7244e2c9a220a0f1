// ID3v2 tags in front of a sound file, as FFmpeg finds and skips them
// (internal to the sound probe).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "media/probe/probe_reader.hpp"

namespace vistel::probe {

// Whether ten bytes start an ID3v2 tag.
bool IsId3v2Header(std::span<const std::uint8_t, 10> bytes);

// The tag's length as FFmpeg's content probe counts it: header, body and a
// footer where the flags announce one.
std::int64_t Id3v2ProbeLength(std::span<const std::uint8_t, 10> bytes);

// Where the tags that follow one another from `offset` end, as the demuxers
// skip them before reading the file's own header; nullopt where that
// depends on more than the tags' headers.
std::optional<std::uint64_t> SkipId3v2Tags(ProbeReader& reader, std::uint64_t offset);

}  // namespace vistel::probe
