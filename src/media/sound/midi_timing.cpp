#include "media/sound/midi_timing.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <string>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

constexpr double kDefaultMicrosPerQuarter = 500000.0;  // 120 beats per minute
// The synthesiser's player counts ticks in an int.
constexpr std::int64_t kMaxTicks = std::numeric_limits<std::int32_t>::max();

Error BadMidi(const std::string& why) {
  return Error(ErrorCode::InvalidProcedureCall, "not a readable MIDI file: " + why);
}

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  std::size_t Left() const { return bytes_.size() - pos_; }
  bool Read(std::uint8_t& out) {
    if (AtEnd()) return false;
    out = bytes_[pos_++];
    return true;
  }
  bool ReadBig(std::size_t count, std::uint32_t& out) {
    if (Left() < count) return false;
    out = 0;
    for (std::size_t i = 0; i < count; ++i) out = (out << 8) | bytes_[pos_++];
    return true;
  }
  // Variable-length quantity: at most four bytes.
  bool ReadVarLen(std::uint32_t& out) {
    out = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = 0;
      if (!Read(b)) return false;
      out = (out << 7) | (b & 0x7FU);
      if ((b & 0x80U) == 0) return true;
    }
    return false;
  }
  bool Skip(std::size_t count) {
    if (Left() < count) return false;
    pos_ += count;
    return true;
  }
  std::span<const std::uint8_t> Take(std::size_t count) {
    auto part = bytes_.subspan(pos_, count);
    pos_ += count;
    return part;
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

// Walks one track's events; records tempo changes; returns its last tick.
// `events` counts the events of all tracks so far.
Result<std::int64_t> WalkTrack(std::span<const std::uint8_t> track,
                               std::map<std::int64_t, double>& tempoAtTick, std::size_t& events) {
  ByteReader r(track);
  std::int64_t tick = 0;
  std::uint8_t status = 0;
  while (!r.AtEnd()) {
    if (++events > limits::kMaxMidiEvents) {
      return Fail(BadMidi("more than " + std::to_string(limits::kMaxMidiEvents) + " events"));
    }
    std::uint32_t delta = 0;
    if (!r.ReadVarLen(delta)) return Fail(BadMidi("bad event time"));
    tick += delta;
    std::uint8_t b = 0;
    if (!r.Read(b)) return Fail(BadMidi("event cut short"));
    if (b == 0xFF) {
      std::uint8_t type = 0;
      std::uint32_t len = 0;
      if (!r.Read(type) || !r.ReadVarLen(len) || r.Left() < len) {
        return Fail(BadMidi("meta event cut short"));
      }
      if (type == 0x51 && len == 3) {
        std::uint32_t micros = 0;
        r.ReadBig(3, micros);
        if (micros > 0) tempoAtTick[tick] = static_cast<double>(micros);
      } else {
        r.Skip(len);
      }
      if (type == 0x2F) return tick;  // end of track
      continue;
    }
    if (b == 0xF0 || b == 0xF7) {
      std::uint32_t len = 0;
      if (!r.ReadVarLen(len) || !r.Skip(len)) return Fail(BadMidi("system exclusive cut short"));
      continue;
    }
    std::size_t dataBytes = 0;
    if ((b & 0x80U) != 0) {
      status = b;
      dataBytes = ((status & 0xE0U) == 0xC0U) ? 1 : 2;
    } else {
      if (status == 0) return Fail(BadMidi("running status without a status"));
      dataBytes = ((status & 0xE0U) == 0xC0U) ? 0 : 1;  // b was the first data byte
    }
    if (!r.Skip(dataBytes)) return Fail(BadMidi("channel event cut short"));
  }
  return tick;  // a track without its end marker ends at its last event
}

}  // namespace

Result<MidiTiming> MidiTiming::Parse(std::span<const std::uint8_t> bytes) {
  ByteReader r(bytes);
  std::uint32_t magic = 0;
  std::uint32_t headerLen = 0;
  std::uint32_t format = 0;
  std::uint32_t trackCount = 0;
  std::uint32_t division = 0;
  if (!r.ReadBig(4, magic) || magic != 0x4D546864U || !r.ReadBig(4, headerLen) || headerLen < 6 ||
      !r.ReadBig(2, format) || !r.ReadBig(2, trackCount) || !r.ReadBig(2, division) ||
      !r.Skip(headerLen - 6)) {
    return Fail(BadMidi("no MIDI header"));
  }
  if (division == 0) return Fail(BadMidi("zero time division"));

  std::map<std::int64_t, double> tempoAtTick;  // microseconds per quarter note
  std::size_t events = 0;
  MidiTiming timing;
  for (std::uint32_t i = 0; i < trackCount && !r.AtEnd(); ++i) {
    std::uint32_t chunk = 0;
    std::uint32_t len = 0;
    if (!r.ReadBig(4, chunk) || !r.ReadBig(4, len) || r.Left() < len) {
      return Fail(BadMidi("track cut short"));
    }
    auto body = r.Take(len);
    if (chunk != 0x4D54726BU) {  // not "MTrk": skipped, as readers must
      --i;
      continue;
    }
    auto last = WalkTrack(body, tempoAtTick, events);
    if (!last) return Fail(last.error());
    timing.lengthTicks_ = std::max(timing.lengthTicks_, *last);
  }

  // Deltas of up to 2^28 ticks make ages of a few bytes: such a file is no song.
  if (timing.lengthTicks_ > kMaxTicks) return Fail(BadMidi("more ticks than a sequencer counts"));
  if ((division & 0x8000U) != 0) {
    // SMPTE division: a fixed number of ticks per second, tempo events ignored.
    const auto fps = static_cast<std::int8_t>(static_cast<std::uint8_t>(division >> 8));
    const double ticksPerSecond = -static_cast<double>(fps) * static_cast<double>(division & 0xFFU);
    if (ticksPerSecond <= 0) return Fail(BadMidi("bad SMPTE division"));
    timing.tempos_.push_back({0, 0.0, 1000.0 / ticksPerSecond});
    return timing.WithinADay();
  }
  const auto ticksPerQuarter = static_cast<double>(division);
  timing.tempos_.push_back({0, 0.0, kDefaultMicrosPerQuarter / 1000.0 / ticksPerQuarter});
  for (const auto& [tick, micros] : tempoAtTick) {
    TempoChange& prev = timing.tempos_.back();
    const double ms = prev.msAtTick + static_cast<double>(tick - prev.tick) * prev.msPerTick;
    const double perTick = micros / 1000.0 / ticksPerQuarter;
    if (tick == prev.tick) {
      prev.msPerTick = perTick;
    } else {
      timing.tempos_.push_back({tick, ms, perTick});
    }
  }
  return timing.WithinADay();
}

Result<MidiTiming> MidiTiming::WithinADay() const {
  if (LengthMs() > static_cast<double>(limits::kMaxMediaMs)) {
    return Fail(BadMidi("longer than a day"));
  }
  return *this;
}

double MidiTiming::TicksToMs(std::int64_t ticks) const {
  auto it = std::upper_bound(tempos_.begin(), tempos_.end(), ticks,
                             [](std::int64_t t, const TempoChange& c) { return t < c.tick; });
  const TempoChange& c = *std::prev(it);
  return c.msAtTick + static_cast<double>(ticks - c.tick) * c.msPerTick;
}

std::int64_t MidiTiming::MsToTicks(double ms) const {
  if (ms <= 0) return 0;
  auto it = std::upper_bound(tempos_.begin(), tempos_.end(), ms,
                             [](double t, const TempoChange& c) { return t < c.msAtTick; });
  const TempoChange& c = *std::prev(it);
  // The small allowance keeps a time computed from a tick on that tick.
  const auto ticks =
      c.tick + static_cast<std::int64_t>(std::floor((ms - c.msAtTick) / c.msPerTick + 1e-6));
  return std::min(ticks, lengthTicks_);
}

std::int64_t MidiTiming::RenderedFrames() const {
  return static_cast<std::int64_t>(std::llround(LengthMs() * kRenderRate / 1000.0));
}

Milliseconds MidiTiming::RenderedLengthMs() const {
  return static_cast<Milliseconds>(std::llround(LengthMs()));
}

}  // namespace vistel
