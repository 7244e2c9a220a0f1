// The timing of a Standard MIDI File: its tempo map, read from the events,
// turns ticks into milliseconds and back, and gives the exact length (the
// time of the last event of the longest track), which a synthesiser's player
// only knows in ticks.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "base/error.hpp"
#include "runtime/events.hpp"

namespace vistel {

class MidiTiming {
 public:
  // Reads the header and walks every track. Fails for what is not a MIDI
  // file or is cut short, and for nonsense: more than limits::kMaxMidiEvents
  // events, more ticks than 32 bits hold, or longer than limits::kMaxMediaMs.
  static Result<MidiTiming> Parse(std::span<const std::uint8_t> bytes);

  double TicksToMs(std::int64_t ticks) const;
  // The tick at (or just before) the time; past the end gives the last tick.
  std::int64_t MsToTicks(double ms) const;
  std::int64_t LengthTicks() const { return lengthTicks_; }
  double LengthMs() const { return TicksToMs(lengthTicks_); }

  // How the sequencer renders the file: at kRenderRate, to the frame nearest
  // its exact length, which it reports to the nearest millisecond.
  static constexpr int kRenderRate = 44100;
  std::int64_t RenderedFrames() const;
  Milliseconds RenderedLengthMs() const;

 private:
  Result<MidiTiming> WithinADay() const;

  struct TempoChange {
    std::int64_t tick = 0;
    double msAtTick = 0;  // time at which this tempo starts
    double msPerTick = 0;
  };
  std::vector<TempoChange> tempos_;  // by tick; the first at tick 0
  std::int64_t lengthTicks_ = 0;
};

}  // namespace vistel
