// Small Standard MIDI Files written byte by byte, with known tempo and length.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace vistel::testing {

inline void Append(std::vector<std::uint8_t>& out, std::initializer_list<std::uint8_t> bytes) {
  out.insert(out.end(), bytes);
}

inline void AppendBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline void AppendChunk(std::vector<std::uint8_t>& out, const char* id,
                        const std::vector<std::uint8_t>& body) {
  out.insert(out.end(), id, id + 4);
  AppendBig(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
}

inline std::vector<std::uint8_t> Header(int format, int tracks, int division) {
  std::vector<std::uint8_t> out;
  AppendChunk(
      out, "MThd",
      {0, static_cast<std::uint8_t>(format), 0, static_cast<std::uint8_t>(tracks),
       static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division & 0xFF)});
  return out;
}

// A quarter note (480 ticks, delta 0x83 0x60) of `key`, with running status
// for the note-off (a note-on of velocity 0).
inline void AppendQuarter(std::vector<std::uint8_t>& track, std::uint8_t key, bool firstNote) {
  if (firstNote) {
    Append(track, {0x00, 0x90, key, 100});
  } else {
    Append(track, {0x00, key, 100});
  }
  Append(track, {0x83, 0x60, key, 0});
}

// Format 0, 480 ticks per quarter: four quarters at 120 bpm, a change to
// 60 bpm, two quarters more; 4000 ms in all.
inline std::vector<std::uint8_t> TwoTempoMidi() {
  std::vector<std::uint8_t> track;
  Append(track, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});  // 500000 us per quarter
  Append(track, {0x00, 0xC0, 0x00});                          // piano
  const std::uint8_t keys[] = {60, 64, 67, 72};
  for (int i = 0; i < 4; ++i) AppendQuarter(track, keys[i], i == 0);
  Append(track, {0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40});  // 1000000 us per quarter
  AppendQuarter(track, 67, true);
  AppendQuarter(track, 60, false);
  Append(track, {0x00, 0xFF, 0x2F, 0x00});
  auto out = Header(0, 1, 480);
  AppendChunk(out, "MTrk", track);
  return out;
}

// Format 1: a tempo track that ends at once, and three quarters of notes.
inline std::vector<std::uint8_t> TwoTrackMidi() {
  std::vector<std::uint8_t> tempo;
  Append(tempo, {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> notes;
  for (int i = 0; i < 3; ++i) AppendQuarter(notes, static_cast<std::uint8_t>(60 + i), i == 0);
  Append(notes, {0x00, 0xFF, 0x2F, 0x00});
  auto out = Header(1, 2, 480);
  AppendChunk(out, "MTrk", tempo);
  AppendChunk(out, "MTrk", notes);
  return out;
}

// One track of `events` running-status program changes after a tempo
// event of `microsPerQuarter`, each `delta` ticks after the one before.
inline std::vector<std::uint8_t> ManyEventsMidi(int division, std::uint32_t microsPerQuarter,
                                                std::uint32_t delta, std::size_t events) {
  std::vector<std::uint8_t> track = {0x00, 0xFF, 0x51, 0x03};
  AppendBig(track, microsPerQuarter, 3);
  std::vector<std::uint8_t> time;  // the delta as a variable-length quantity
  for (int shift = 21; shift > 0; shift -= 7) {
    if ((delta >> shift) != 0)
      time.push_back(static_cast<std::uint8_t>(0x80 | ((delta >> shift) & 0x7F)));
  }
  time.push_back(static_cast<std::uint8_t>(delta & 0x7F));
  Append(track, {0x00, 0xC0, 0x00});
  for (std::size_t i = 0; i < events; ++i) {
    track.insert(track.end(), time.begin(), time.end());
    track.push_back(static_cast<std::uint8_t>(i % 128));
  }
  Append(track, {0x00, 0xFF, 0x2F, 0x00});
  auto out = Header(0, 1, division);
  AppendChunk(out, "MTrk", track);
  return out;
}

}  // namespace vistel::testing
