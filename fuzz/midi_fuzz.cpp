// Fuzzes MIDI files on both readers of their bytes: the tempo map that gives
// the length and the seek targets, and FluidSynth's player behind the
// decoder, pulled for a few blocks and sought into the middle as the music
// service does. The synthesiser gets a soundfont of one tiny instrument
// made here, so that an input costs milliseconds rather than the loading
// of a General MIDI font.
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "media/midi/midi_decoder.hpp"
#include "media/sound/midi_timing.hpp"
#include "scratch_file.hpp"

using namespace vistel;

namespace {

class Riff {
 public:
  void Tag(std::string_view tag) { bytes_.insert(bytes_.end(), tag.begin(), tag.end()); }
  void U8(unsigned v) { bytes_.push_back(static_cast<std::uint8_t>(v)); }
  void U16(unsigned v) {
    U8(v & 0xFFU);
    U8(v >> 8U);
  }
  void U32(std::uint32_t v) {
    U16(v & 0xFFFFU);
    U16(v >> 16U);
  }
  void Name(std::string_view name, std::size_t width) {
    Tag(name);
    bytes_.resize(bytes_.size() + width - name.size(), 0);
  }
  // Opens a chunk whose size is filled in by End.
  std::size_t Begin(std::string_view tag) {
    Tag(tag);
    const std::size_t at = bytes_.size();
    U32(0);
    return at;
  }
  void End(std::size_t at) {
    const auto size = static_cast<std::uint32_t>(bytes_.size() - at - 4);
    for (int i = 0; i < 4; ++i)
      bytes_[at + static_cast<std::size_t>(i)] = (size >> (8 * i)) & 0xFFU;
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

// A SoundFont 2 file with one preset (bank 0, program 0), one instrument and
// one looped sample of a square wave.
std::vector<std::uint8_t> TinySoundfont() {
  constexpr unsigned kSampleFrames = 64;
  Riff f;
  const auto riff = f.Begin("RIFF");
  f.Tag("sfbk");
  const auto info = f.Begin("LIST");
  f.Tag("INFO");
  const auto ifil = f.Begin("ifil");
  f.U16(2);
  f.U16(1);
  f.End(ifil);
  const auto isng = f.Begin("isng");
  f.Name("EMU8000", 8);
  f.End(isng);
  const auto inam = f.Begin("INAM");
  f.Name("fuzz", 6);
  f.End(inam);
  f.End(info);

  const auto sdta = f.Begin("LIST");
  f.Tag("sdta");
  const auto smpl = f.Begin("smpl");
  for (unsigned i = 0; i < kSampleFrames; ++i) f.U16((i / 8) % 2 == 0 ? 0x2000U : 0xE000U);
  for (unsigned i = 0; i < 46; ++i) f.U16(0);  // the guard the format asks for
  f.End(smpl);
  f.End(sdta);

  const auto pdta = f.Begin("LIST");
  f.Tag("pdta");
  auto chunk = [&f](std::string_view tag, auto&& body) {
    const auto at = f.Begin(tag);
    body();
    f.End(at);
  };
  // Headers end with a terminal record; each zone list with a terminal bag.
  chunk("phdr", [&] {
    for (auto [name, bag] : {std::pair{"square", 0U}, std::pair{"EOP", 1U}}) {
      f.Name(name, 20);
      f.U16(0);    // preset
      f.U16(0);    // bank
      f.U16(bag);  // first zone
      f.U32(0);    // library, genre, morphology
      f.U32(0);
      f.U32(0);
    }
  });
  auto oneZone = [&](unsigned generators) {
    return [&f, generators] {
      f.U16(0), f.U16(0);           // zone 0: generators from 0, modulators from 0
      f.U16(generators), f.U16(0);  // terminal
    };
  };
  auto noModulators = [&] {
    for (int i = 0; i < 5; ++i) f.U16(0);
  };
  chunk("pbag", oneZone(1));
  chunk("pmod", noModulators);
  chunk("pgen", [&] {
    f.U16(41), f.U16(0);  // instrument 0
    f.U16(0), f.U16(0);
  });
  chunk("inst", [&] {
    f.Name("square", 20);
    f.U16(0);
    f.Name("EOI", 20);
    f.U16(1);
  });
  chunk("ibag", oneZone(2));
  chunk("imod", noModulators);
  chunk("igen", [&] {
    f.U16(54), f.U16(1);  // sample modes: loop
    f.U16(53), f.U16(0);  // sample 0
    f.U16(0), f.U16(0);
  });
  chunk("shdr", [&] {
    f.Name("square", 20);
    f.U32(0);                  // start
    f.U32(kSampleFrames);      // end
    f.U32(8);                  // loop start
    f.U32(kSampleFrames - 8);  // loop end
    f.U32(44100);
    f.U8(60);  // original pitch
    f.U8(0);   // pitch correction
    f.U16(0);  // link
    f.U16(1);  // mono
    f.Name("EOS", 46);
  });
  f.End(pdta);
  f.End(riff);
  return f.Bytes();
}

constexpr std::size_t kBlockFrames = 1024;
constexpr int kBlocks = 4;

void PullSome(AudioFileDecoder& sound) {
  std::array<std::int16_t, 2 * kBlockFrames> samples{};
  for (int i = 0; i < kBlocks; ++i) {
    const std::size_t got = sound.Pull(samples);
    fuzz::Require(got <= samples.size() && got % 2 == 0);
    if (got < samples.size()) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz::ScratchFile font;
  static const std::string& fontPath = font.Hold(TinySoundfont());
  static fuzz::ScratchFile file;

  const auto timing = MidiTiming::Parse(std::span(data, size));
  if (timing) {
    const double length = timing->LengthMs();
    fuzz::Require(std::isfinite(length) && length >= 0);
    fuzz::Require(timing->MsToTicks(length) <= timing->LengthTicks());
    fuzz::Require(timing->MsToTicks(length / 2) <= timing->LengthTicks());
  }

  // The decoder refuses exactly what the tempo map refuses: the soundfont
  // and the synthesiser never fail.
  auto opened = OpenMidiFile(file.Hold(std::span(data, size)), fontPath);
  fuzz::Require(opened.has_value() == timing.has_value());
  if (!opened) return 0;
  AudioFileDecoder& sound = **opened;
  PullSome(sound);
  (void)sound.SeekMs(sound.LengthMs() / 2);
  PullSome(sound);
  fuzz::Require(sound.PositionMs() <= sound.LengthMs() + 1);
  return 0;
}
