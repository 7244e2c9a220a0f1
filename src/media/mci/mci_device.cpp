#include "media/mci/mci_device.hpp"

#include <algorithm>

#include "base/input_limits.hpp"

namespace vistel {
namespace {

constexpr std::int64_t kMsPerVideoFrame = 40;  // 25 frames per second

}  // namespace

std::size_t LimitedSource::Pull(std::span<std::int16_t> samples) {
  const auto channels = static_cast<std::size_t>(channels_);
  const auto wanted = std::min<std::size_t>(
      samples.size() / channels, static_cast<std::size_t>(std::max<std::int64_t>(framesLeft_, 0)));
  const std::size_t got = wanted == 0 ? 0 : inner_.Pull(samples.first(wanted * channels));
  if (const int volume = volume_.load(); volume != MciDevice::kFullVolume) {
    for (std::int16_t& sample : samples.first(got)) {
      sample = static_cast<std::int16_t>(sample * volume / MciDevice::kFullVolume);
    }
  }
  const auto frames = static_cast<std::int64_t>(got / channels);
  framesLeft_ -= frames;
  pulled_.fetch_add(frames);
  if (got < samples.size()) exhausted_.store(true);
  return got;
}

MciDevice::MciDevice(std::string name, MciDeviceType type,
                     std::unique_ptr<AudioFileDecoder> decoder)
    : name_(std::move(name)),
      type_(type),
      decoder_(std::move(decoder)),
      format_(decoder_->Format()),
      // Every decoder keeps to this; held here too, since the device's
      // replies and its frame arithmetic depend on it.
      lengthMs_(std::clamp<Milliseconds>(decoder_->LengthMs(), 0, limits::kMaxMediaMs)) {}

MciDevice::~MciDevice() {
  stream_.reset();  // stop pulling before the source and decoder go
}

bool MciDevice::Supports(MciTimeFormat format) const {
  switch (format) {
    case MciTimeFormat::Ms:
      return true;
    case MciTimeFormat::Frames:
      return type_ == MciDeviceType::MpegVideo;
    case MciTimeFormat::Samples:
      return type_ == MciDeviceType::WaveAudio;
  }
  return false;
}

std::int64_t MciDevice::ToUnits(Milliseconds ms) const {
  switch (timeFormat_) {
    case MciTimeFormat::Frames:
      return ms / kMsPerVideoFrame;
    case MciTimeFormat::Samples:
      return ms * format_.sampleRate / 1000;
    case MciTimeFormat::Ms:
      break;
  }
  return ms;
}

Milliseconds MciDevice::FromUnits(std::int64_t units) const {
  switch (timeFormat_) {
    case MciTimeFormat::Frames:
      return units * kMsPerVideoFrame;
    case MciTimeFormat::Samples:
      return units * 1000 / format_.sampleRate;
    case MciTimeFormat::Ms:
      break;
  }
  return units;
}

// To the nearest millisecond: 1199 ms of frames at 44100 Hz is 52875.9
// frames, which must still read 1199.
Milliseconds MciDevice::PlayedMs() const {
  return (stream_->FramesPlayed() * 1000 + format_.sampleRate / 2) / format_.sampleRate;
}

void MciDevice::Refresh() {
  if (!stream_) return;
  const std::int64_t played = stream_->FramesPlayed();
  const bool ranOut = source_->Exhausted() && played >= source_->FramesPulled();
  if (ranOut || originMs_ + PlayedMs() >= playEndMs_) {
    // A sound that ran out before its stated length still ends at its end.
    const Milliseconds end = ranOut && playEndMs_ >= lengthMs_ ? lengthMs_ : playEndMs_;
    stream_.reset();
    source_.reset();
    paused_ = false;
    originMs_ = end;
  }
}

Milliseconds MciDevice::PositionMs() {
  Refresh();
  if (!stream_) return originMs_;
  return std::min(originMs_ + PlayedMs(), playEndMs_);
}

MciMode MciDevice::Mode() {
  Refresh();
  if (!stream_) return MciMode::Stopped;
  return paused_ ? MciMode::Paused : MciMode::Playing;
}

void MciDevice::Play(AudioOutput& output, Milliseconds fromMs, Milliseconds toMs) {
  Refresh();
  const Milliseconds end = toMs >= 0 ? std::min(toMs, lengthMs_) : lengthMs_;
  if (fromMs < 0 && stream_) {
    // Playing on (or paused): continue from here, to the new end if given.
    playEndMs_ = toMs >= 0 ? end : playEndMs_;
    Resume();
    return;
  }
  const Milliseconds start = fromMs >= 0 ? fromMs : originMs_;
  Stop(start);
  if (start >= end) return;
  if (decoder_->PositionMs() != start && !decoder_->SeekMs(start)) return;
  const std::int64_t frames = (end - start) * format_.sampleRate / 1000;
  source_ = std::make_unique<LimitedSource>(*decoder_, format_.channels, frames, volume_);
  playEndMs_ = end;
  stream_ = output.Start(format_, *source_);
}

void MciDevice::Pause() {
  Refresh();
  if (stream_ && !paused_) {
    stream_->SetPaused(true);
    paused_ = true;
  }
}

void MciDevice::Resume() {
  Refresh();
  if (stream_ && paused_) {
    stream_->SetPaused(false);
    paused_ = false;
  }
}

void MciDevice::Stop(Milliseconds positionMs) {
  const Milliseconds here = PositionMs();
  stream_.reset();
  source_.reset();
  paused_ = false;
  originMs_ = positionMs >= 0 ? positionMs : here;
}

}  // namespace vistel
