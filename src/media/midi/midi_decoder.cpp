#include "media/midi/midi_decoder.hpp"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <vector>

#include "base/input_limits.hpp"
#include "media/midi/fluidsynth_library.hpp"
#include "media/sound/midi_timing.hpp"

namespace vistel {
namespace {

constexpr int kSampleRate = MidiTiming::kRenderRate;
constexpr int kChannels = 2;
constexpr int kPrimeFrames = 64;  // the synthesiser's block

// FluidSynth starts libinstpatch when a synthesiser is created and closes it
// when the last one is deleted; every start after a close registers the
// library's types anew and leaks about 2.7 KB. A show that repeats a MIDI
// track creates and deletes a synthesiser on every pass (7 MB a day), so one
// small synthesiser lives as long as the process and the library is started
// only once (it costs under 1 MB, and only once a MIDI file is played).
struct FluidSynthKeeper {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
};

void PrepareFluidSynth() {
  static std::once_flag once;
  static FluidSynthKeeper keeper;  // never deleted, see above
  std::call_once(once, [] {
    // Its warnings and chatter would go to stderr; failures are reported by results.
    for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
      fluid_set_log_function(level, nullptr, nullptr);
    }
    keeper.settings = new_fluid_settings();
    if (keeper.settings == nullptr) return;
    fluid_settings_setint(keeper.settings, "synth.polyphony", 1);
    fluid_settings_setint(keeper.settings, "synth.reverb.active", 0);
    fluid_settings_setint(keeper.settings, "synth.chorus.active", 0);
    keeper.synth = new_fluid_synth(keeper.settings);
  });
}

std::int64_t MsToFrames(double ms) {
  return static_cast<std::int64_t>(std::llround(ms * kSampleRate / 1000.0));
}

class FluidMidiDecoder final : public AudioFileDecoder {
 public:
  FluidMidiDecoder(std::vector<char> bytes, MidiTiming timing)
      : bytes_(std::move(bytes)), timing_(timing), lengthFrames_(timing.RenderedFrames()) {}

  ~FluidMidiDecoder() override {
    if (player_ != nullptr) delete_fluid_player(player_);
    if (synth_ != nullptr) delete_fluid_synth(synth_);
    if (settings_ != nullptr) delete_fluid_settings(settings_);
  }

  FluidMidiDecoder(const FluidMidiDecoder&) = delete;
  FluidMidiDecoder& operator=(const FluidMidiDecoder&) = delete;

  Status Init(const std::string& soundfont) {
    settings_ = new_fluid_settings();
    if (settings_ == nullptr) return Fail(ErrorCode::OutOfMemory, "cannot create MIDI settings");
    fluid_settings_setnum(settings_, "synth.sample-rate", kSampleRate);
    // The player must follow the samples rendered, not the wall clock.
    fluid_settings_setstr(settings_, "player.timing-source", "sample");
    fluid_settings_setint(settings_, "synth.lock-memory", 0);
    synth_ = new_fluid_synth(settings_);
    if (synth_ == nullptr)
      return Fail(ErrorCode::OutOfMemory, "cannot create the MIDI synthesiser");
    if (fluid_synth_sfload(synth_, soundfont.c_str(), 1) == FLUID_FAILED) {
      return Fail(ErrorCode::FileNotFound, "cannot load the soundfont " + soundfont);
    }
    return StartPlayerAt(0);
  }

  AudioFormat Format() const override { return {kSampleRate, kChannels}; }
  Milliseconds LengthMs() const override { return timing_.RenderedLengthMs(); }

  std::size_t Pull(std::span<std::int16_t> samples) override {
    std::lock_guard lock(mutex_);
    const auto wantedFrames = static_cast<std::int64_t>(samples.size() / kChannels);
    const std::int64_t frames =
        std::clamp<std::int64_t>(lengthFrames_ - positionFrames_, 0, wantedFrames);
    if (frames == 0) return 0;
    fluid_synth_write_s16(synth_, static_cast<int>(frames), samples.data(), 0, kChannels,
                          samples.data(), 1, kChannels);
    positionFrames_ += frames;
    return static_cast<std::size_t>(frames * kChannels);
  }

  Status SeekMs(Milliseconds position) override {
    std::lock_guard lock(mutex_);
    const auto target = std::max<Milliseconds>(position, 0);
    positionFrames_ = std::min(MsToFrames(static_cast<double>(target)), lengthFrames_);
    // A fresh player from the file's start: controller and program changes
    // before the target still apply, notes do not sound.
    fluid_synth_system_reset(synth_);
    if (player_ != nullptr) {
      fluid_player_stop(player_);
      delete_fluid_player(player_);
      player_ = nullptr;
    }
    return StartPlayerAt(timing_.MsToTicks(static_cast<double>(target)));
  }

  Milliseconds PositionMs() const override {
    std::lock_guard lock(mutex_);
    return positionFrames_ * 1000 / kSampleRate;
  }

 private:
  Status StartPlayerAt(std::int64_t tick) {
    player_ = new_fluid_player(synth_);
    if (player_ == nullptr ||
        fluid_player_add_mem(player_, bytes_.data(), bytes_.size()) == FLUID_FAILED ||
        fluid_player_play(player_) == FLUID_FAILED) {
      return Fail(ErrorCode::InvalidProcedureCall, "the MIDI player cannot start");
    }
    if (tick > 0) {
      // The player reads the file on its first callback and refuses a seek
      // before: one block rendered and dropped loads it, then the seek holds
      // and whatever that block started is silenced.
      std::array<std::int16_t, 2 * kPrimeFrames> scratch{};
      fluid_synth_write_s16(synth_, kPrimeFrames, scratch.data(), 0, kChannels, scratch.data(), 1,
                            kChannels);
      if (fluid_player_seek(player_, static_cast<int>(tick)) == FLUID_FAILED) {
        return Fail(ErrorCode::InvalidProcedureCall, "the MIDI player cannot seek");
      }
      fluid_synth_all_sounds_off(synth_, -1);
    }
    return {};
  }

  mutable std::mutex mutex_;
  std::vector<char> bytes_;
  MidiTiming timing_;
  std::int64_t lengthFrames_;
  std::int64_t positionFrames_ = 0;
  fluid_settings_t* settings_ = nullptr;
  fluid_synth_t* synth_ = nullptr;
  fluid_player_t* player_ = nullptr;
};

}  // namespace

std::optional<std::string> FindGeneralMidiSoundfont() {
  static constexpr std::array kCandidates = {
      "/usr/share/sounds/sf2/TimGM6mb.sf2",
      "/usr/share/sounds/sf2/default-GM.sf2",
      "/usr/share/sounds/sf2/FluidR3_GM.sf2",
  };
  std::error_code ec;
  for (const char* path : kCandidates) {
    if (std::filesystem::is_regular_file(path, ec)) return std::string(path);
  }
  return std::nullopt;
}

Result<std::unique_ptr<AudioFileDecoder>> OpenMidiFile(std::string_view path) {
  auto soundfont = FindGeneralMidiSoundfont();
  if (!soundfont) {
    return Fail(ErrorCode::FileNotFound,
                "no General MIDI soundfont is installed (the timgm6mb-soundfont package)");
  }
  return OpenMidiFile(path, *soundfont);
}

Result<std::unique_ptr<AudioFileDecoder>> OpenMidiFile(std::string_view path,
                                                       std::string_view soundfontPath) {
  std::ifstream in{std::filesystem::path(path), std::ios::binary};
  if (!in) return Fail(ErrorCode::FileNotFound, "cannot open " + std::string(path));
  // Read whole, to one byte past the limit (or past its size, should it grow).
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), sizeError);
  std::vector<char> bytes(std::min<std::uintmax_t>(sizeError ? limits::kMaxMidiFileBytes : size,
                                                   limits::kMaxMidiFileBytes) +
                          1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  if (bytes.size() > limits::kMaxMidiFileBytes) {
    return Fail(ErrorCode::InvalidProcedureCall,
                "not a readable MIDI file: larger than " +
                    std::to_string(limits::kMaxMidiFileBytes >> 20) + " MiB");
  }
  auto timing = MidiTiming::Parse(std::span<const std::uint8_t>(
      reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  if (!timing) return Fail(timing.error());
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::path(soundfontPath), ec)) {
    return Fail(ErrorCode::FileNotFound,
                "the soundfont " + std::string(soundfontPath) + " is missing");
  }
  if (auto loaded = LoadFluidSynth(); !loaded) return Fail(loaded.error());
  PrepareFluidSynth();
  auto decoder = std::make_unique<FluidMidiDecoder>(std::move(bytes), *timing);
  if (auto status = decoder->Init(std::string(soundfontPath)); !status) {
    return Fail(status.error());
  }
  return std::unique_ptr<AudioFileDecoder>(std::move(decoder));
}

}  // namespace vistel
