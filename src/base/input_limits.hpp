// The memory budget for untrusted input, in one place.
//
// Packages, registry files, input scripts and the media inside packages come
// from strangers. Every allocation sized by one of their fields, and every
// loop driven by one, is bounded by a limit below; docs/untrusted-input.md
// says why each has its value. A limit that is hit ends the work at hand with
// a clear message (or skips the one medium), never the process by surprise.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistel::limits {

// Pictures and video frames: decoded, converted and resampled at 4 bytes a
// pixel, a few copies at a time. The same cap holds on both paths.
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{40} * 1000 * 1000;
inline constexpr int kMaxPictureSide = 16384;

// One allocation of the media decoders: a picture of the largest size at 4
// bytes a pixel, with room for padding. Demuxers size some buffers by header
// fields they do not check; a bigger request fails as that medium's error.
inline constexpr std::size_t kMaxMediaAllocationBytes = std::size_t{192} << 20;

// Sounds and clips: the longest a show plays is a day. A longer claim is
// nonsense, and every length must fit the 32-bit milliseconds that the music
// module reads back from the device.
inline constexpr std::int64_t kMaxMediaMs = std::int64_t{24} * 60 * 60 * 1000;

// MIDI files are read whole, and the synthesiser keeps every event in memory
// (about 50 bytes each): far above any song, far below harm.
inline constexpr std::uint64_t kMaxMidiFileBytes = std::uint64_t{8} << 20;
inline constexpr std::size_t kMaxMidiEvents = 1000000;

// The configuration text of a package, and the records it may yield.
inline constexpr std::uint64_t kMaxConfigurationBytes = std::uint64_t{16} << 20;
inline constexpr std::size_t kMaxScreens = 10000;
inline constexpr std::size_t kMaxTracks = 10000;

// The registry, as Windows bounds it: key depth and name length.
inline constexpr std::size_t kMaxRegistryKeyDepth = 512;
inline constexpr std::size_t kMaxRegistryNameChars = 255;
inline constexpr std::uint64_t kMaxRegistryFileBytes = std::uint64_t{8} << 20;
// Keys and values of a registry file together: some 80 bytes an entry.
inline constexpr std::size_t kMaxRegistryEntries = 100000;

// Sound: no file plays faster than this; resampling from a higher rate would
// need a filter of gigabytes (a WAV header may claim any rate).
inline constexpr int kMaxSoundSampleRate = 384000;

// Input scripts (--input) and show descriptions (vistel-pack build).
inline constexpr std::uint64_t kMaxInputScriptBytes = std::uint64_t{4} << 20;
inline constexpr std::uint64_t kMaxShowDescriptionBytes = std::uint64_t{16} << 20;
// Events of one input script; how deep the JSON of a script or a show
// description may nest (they need 1 and 3 levels).
inline constexpr std::size_t kMaxInputEvents = 100000;
inline constexpr std::size_t kMaxJsonNesting = 32;

// The glyph cache of the caption box, in bytes of rendered glyphs, over all
// faces and sizes together: about what the visible glyphs of eight
// 2160-point styles on a 4K screen take (bench/caption_bench.cpp).
inline constexpr std::size_t kMaxGlyphCacheBytes = std::size_t{64} << 20;

// An error message quotes at most this much of the bad input.
inline constexpr std::size_t kMaxQuotedInputChars = 60;

}  // namespace vistel::limits
