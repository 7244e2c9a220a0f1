// The demo show's sound, written by code: a tune as samples (for a WAV
// track), the same tune as a Standard MIDI File, and the chimes of the clip.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/media.hpp"

namespace vistel::pack::demo {

// Length of one pass of the tune, in both of its forms.
inline constexpr int kTuneMs = 8000;

// The tune synthesised (a plucked lead over a soft bass), interleaved
// signed 16-bit at `format`; kTuneMs long.
std::vector<std::int16_t> SynthesiseTune(AudioFormat format);

// The same tune as a format 0 Standard MIDI File for a General MIDI
// synthesiser (vibraphone lead, acoustic bass), one octave higher; it lasts
// kTuneMs.
std::vector<std::uint8_t> ComposeTuneMidi();

// Bell-like chimes, one per second, for the demo clip's sound track.
std::vector<std::int16_t> SynthesiseChimes(AudioFormat format, int durationMs);

}  // namespace vistel::pack::demo
