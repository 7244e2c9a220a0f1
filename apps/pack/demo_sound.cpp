#include "demo_sound.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <tuple>

namespace vistel::pack::demo {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int kEighthMs = 250;  // 120 beats a minute
constexpr int kTicksPerQuarter = 480;
constexpr int kTicksPerEighth = kTicksPerQuarter / 2;

struct Note {
  int key;      // MIDI key number, 60 is middle C
  int eighths;  // length
};

// Four bars of 4/4: the lead and, under it, a bass note every half bar.
constexpr std::array<Note, 17> kLead = {{{64, 2},
                                         {67, 2},
                                         {72, 2},
                                         {71, 1},
                                         {69, 1},
                                         {67, 2},
                                         {64, 2},
                                         {65, 2},
                                         {62, 2},
                                         {64, 1},
                                         {65, 1},
                                         {67, 2},
                                         {69, 2},
                                         {65, 2},
                                         {64, 2},
                                         {62, 2},
                                         {60, 4}}};
constexpr std::array<Note, 8> kBass = {
    {{48, 4}, {45, 4}, {41, 4}, {43, 4}, {48, 4}, {41, 4}, {43, 4}, {48, 4}}};

template <std::size_t N>
constexpr int TotalEighths(const std::array<Note, N>& notes) {
  int total = 0;
  for (const Note& n : notes) total += n.eighths;
  return total;
}
static_assert(TotalEighths(kLead) * kEighthMs == kTuneMs, "the lead fills the tune");
static_assert(TotalEighths(kBass) * kEighthMs == kTuneMs, "the bass fills the tune");

double Frequency(int key) {
  return 440.0 * std::pow(2.0, (key - 69) / 12.0);
}

struct Voice {
  std::array<double, 3> partials;  // amplitude of the 1st, 2nd and 3rd harmonic
  double decaySeconds;
  double level;
};

// Adds one note to a mono mix; it rings on past its length until the mix
// ends, so the decays overlap as a plucked string's would.
void AddNote(std::vector<double>& mix, int sampleRate, double startSeconds, double frequency,
             const Voice& voice) {
  const auto first = static_cast<std::size_t>(std::lround(startSeconds * sampleRate));
  const double attack = 0.008;
  for (std::size_t i = first; i < mix.size(); ++i) {
    const double t = static_cast<double>(i - first) / sampleRate;
    const double envelope = std::min(1.0, t / attack) * std::exp(-t / voice.decaySeconds);
    if (envelope < 1e-4 && t > attack) break;
    double sample = 0;
    for (std::size_t h = 0; h < voice.partials.size(); ++h) {
      sample += voice.partials[h] * std::sin(kTwoPi * frequency * static_cast<double>(h + 1) * t);
    }
    mix[i] += voice.level * envelope * sample;
  }
}

std::vector<std::int16_t> ToSamples(const std::vector<double>& mix, int channels) {
  std::vector<std::int16_t> out;
  out.reserve(mix.size() * static_cast<std::size_t>(channels));
  for (double v : mix) {
    const auto s = static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767.0));
    for (int c = 0; c < channels; ++c) out.push_back(s);
  }
  return out;
}

// Fades the last milliseconds to silence, so a repeated track loops without
// a click.
void FadeOut(std::vector<double>& mix, int sampleRate, int fadeMs) {
  const auto count = std::min(mix.size(), static_cast<std::size_t>(sampleRate * fadeMs / 1000));
  for (std::size_t i = 0; i < count; ++i) {
    mix[mix.size() - 1 - i] *= static_cast<double>(i) / static_cast<double>(count);
  }
}

// ---- Standard MIDI File ---------------------------------------------------

void AppendBig(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) {
    out.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFU));
  }
}

// A variable-length quantity: seven bits a byte, high bit set on all but the last.
void AppendVarLength(std::vector<std::uint8_t>& out, std::uint32_t value) {
  std::array<std::uint8_t, 5> groups{};
  std::size_t count = 0;
  do {
    groups[count++] = static_cast<std::uint8_t>(value & 0x7FU);
    value >>= 7;
  } while (value != 0);
  while (count > 1) out.push_back(static_cast<std::uint8_t>(groups[--count] | 0x80U));
  out.push_back(groups[0]);
}

struct MidiEvent {
  std::uint32_t tick;
  int order;  // at one tick: notes end (0) before others start (1)
  std::array<std::uint8_t, 3> bytes;
};

template <std::size_t N>
void AddPart(std::vector<MidiEvent>& events, const std::array<Note, N>& notes, std::uint8_t channel,
             int transpose, std::uint8_t velocity) {
  std::uint32_t tick = 0;
  for (const Note& note : notes) {
    const auto key = static_cast<std::uint8_t>(note.key + transpose);
    const auto length = static_cast<std::uint32_t>(note.eighths * kTicksPerEighth);
    events.push_back({tick, 1, {static_cast<std::uint8_t>(0x90U | channel), key, velocity}});
    events.push_back({tick + length, 0, {static_cast<std::uint8_t>(0x80U | channel), key, 64}});
    tick += length;
  }
}

}  // namespace

std::vector<std::int16_t> SynthesiseTune(AudioFormat format) {
  const int rate = format.sampleRate;
  std::vector<double> mix(static_cast<std::size_t>(rate) * kTuneMs / 1000, 0.0);
  const Voice lead{{1.0, 0.45, 0.2}, 0.35, 0.22};
  const Voice bass{{1.0, 0.3, 0.0}, 0.6, 0.2};
  int at = 0;
  for (const Note& note : kLead) {
    AddNote(mix, rate, at * kEighthMs / 1000.0, Frequency(note.key), lead);
    at += note.eighths;
  }
  at = 0;
  for (const Note& note : kBass) {
    AddNote(mix, rate, at * kEighthMs / 1000.0, Frequency(note.key), bass);
    at += note.eighths;
  }
  FadeOut(mix, rate, 30);
  return ToSamples(mix, format.channels);
}

std::vector<std::uint8_t> ComposeTuneMidi() {
  std::vector<MidiEvent> events;
  AddPart(events, kLead, 0, 12, 96);
  AddPart(events, kBass, 1, 0, 80);
  std::stable_sort(events.begin(), events.end(), [](const MidiEvent& a, const MidiEvent& b) {
    return std::tie(a.tick, a.order) < std::tie(b.tick, b.order);
  });

  std::vector<std::uint8_t> track;
  const std::uint8_t setup[] = {
      0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,        // 500000 us a quarter: 120 beats a minute
      0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,  // 4/4
      0x00, 0xC0, 11,                                  // channel 1: vibraphone
      0x00, 0xC1, 32,                                  // channel 2: acoustic bass
  };
  track.insert(track.end(), std::begin(setup), std::end(setup));
  std::uint32_t now = 0;
  for (const MidiEvent& event : events) {
    AppendVarLength(track, event.tick - now);
    track.insert(track.end(), event.bytes.begin(), event.bytes.end());
    now = event.tick;
  }
  // The end of the track is the end of the last bar, so the file lasts
  // exactly as long as the WAV form.
  constexpr auto kEndTick = static_cast<std::uint32_t>(kTuneMs / kEighthMs * kTicksPerEighth);
  AppendVarLength(track, kEndTick - now);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});

  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd'};
  AppendBig(file, 6, 4);
  AppendBig(file, 0, 2);  // format 0: one track
  AppendBig(file, 1, 2);
  AppendBig(file, kTicksPerQuarter, 2);
  file.insert(file.end(), {'M', 'T', 'r', 'k'});
  AppendBig(file, static_cast<std::uint32_t>(track.size()), 4);
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

std::vector<std::int16_t> SynthesiseChimes(AudioFormat format, int durationMs) {
  const int rate = format.sampleRate;
  std::vector<double> mix(
      static_cast<std::size_t>(rate) * static_cast<std::size_t>(std::max(durationMs, 0)) / 1000,
      0.0);
  // A bell's partials are not harmonic; three of them sound like one.
  const std::array<std::pair<double, double>, 3> partials = {{{1.0, 1.0}, {2.76, 0.4}, {5.4, 0.2}}};
  const std::array<int, 4> keys = {76, 79, 84, 79};
  for (int second = 0; second * 1000 < durationMs; ++second) {
    const double base = Frequency(keys[static_cast<std::size_t>(second) % keys.size()]);
    for (const auto& [ratio, level] : partials) {
      AddNote(mix, rate, second, base * ratio, Voice{{1.0, 0.0, 0.0}, 0.4 / ratio, 0.18 * level});
    }
  }
  FadeOut(mix, rate, 20);
  return ToSamples(mix, format.channels);
}

}  // namespace vistel::pack::demo
