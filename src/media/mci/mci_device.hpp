// One open MCI device: a decoded sound played through an AudioOutput, with
// the position clock, the play range and the mode winmm reports.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "media/sound/sound_decoder.hpp"
#include "runtime/media.hpp"

namespace vistel {

enum class MciDeviceType { WaveAudio, Sequencer, MpegVideo };
enum class MciTimeFormat { Ms, Frames, Samples };
enum class MciMode { Playing, Paused, Stopped };

// Feeds the output at most a given number of frames from the decoder, at the
// device's volume, and remembers how many it gave and whether the sound ran
// out, so that the end of play is known even when the decoder's length was
// only an estimate.
class LimitedSource final : public AudioSource {
 public:
  // The volume (per mille) is read on the output's thread while the device
  // may change it.
  LimitedSource(AudioSource& inner, int channels, std::int64_t frameLimit,
                const std::atomic<int>& volume)
      : inner_(inner), channels_(channels), framesLeft_(frameLimit), volume_(volume) {}
  std::size_t Pull(std::span<std::int16_t> samples) override;
  std::int64_t FramesPulled() const { return pulled_.load(); }
  bool Exhausted() const { return exhausted_.load(); }

 private:
  AudioSource& inner_;
  int channels_;
  std::int64_t framesLeft_;
  const std::atomic<int>& volume_;
  std::atomic<std::int64_t> pulled_{0};
  std::atomic<bool> exhausted_{false};
};

class MciDevice {
 public:
  MciDevice(std::string name, MciDeviceType type, std::unique_ptr<AudioFileDecoder> decoder);
  ~MciDevice();

  const std::string& Name() const { return name_; }
  MciDeviceType Type() const { return type_; }
  Milliseconds LengthMs() const { return lengthMs_; }
  MciTimeFormat TimeFormat() const { return timeFormat_; }
  void SetTimeFormat(MciTimeFormat format) { timeFormat_ = format; }
  bool Supports(MciTimeFormat format) const;
  // The audio volume, 0 to kFullVolume.
  static constexpr int kFullVolume = 1000;
  int Volume() const { return volume_.load(); }
  void SetVolume(int volume) { volume_.store(volume); }

  // Conversions between the device's time format and milliseconds.
  std::int64_t ToUnits(Milliseconds ms) const;
  Milliseconds FromUnits(std::int64_t units) const;

  // Both bring the state up to date first: a sound that has ended is stopped
  // at its end.
  Milliseconds PositionMs();
  MciMode Mode();

  // Plays [fromMs, toMs); from the current position when fromMs < 0, and
  // resumes a paused device. A start at or past the end stays stopped there.
  void Play(AudioOutput& output, Milliseconds fromMs, Milliseconds toMs);
  void Pause();
  void Resume();
  // Stops where it is (or moves there when positionMs >= 0).
  void Stop(Milliseconds positionMs = -1);

 private:
  void Refresh();
  Milliseconds PlayedMs() const;

  std::string name_;
  MciDeviceType type_;
  std::unique_ptr<AudioFileDecoder> decoder_;
  AudioFormat format_;
  Milliseconds lengthMs_;
  MciTimeFormat timeFormat_ = MciTimeFormat::Ms;
  Milliseconds originMs_ = 0;   // position when stopped; where the stream started
  Milliseconds playEndMs_ = 0;  // where the stream ends
  std::atomic<int> volume_{kFullVolume};
  // In this order so that the stream goes first, then its source, then the decoder.
  std::unique_ptr<LimitedSource> source_;
  std::unique_ptr<AudioStream> stream_;
  bool paused_ = false;
};

}  // namespace vistel
