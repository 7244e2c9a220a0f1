#include "media/mpeg1/clip_sound.hpp"

#include <algorithm>

namespace vistel {
namespace {

constexpr std::int64_t kChannels = 2;

}  // namespace

ClipSound::ClipSound(std::unique_ptr<InputFile> file, AudioFormat format, std::int64_t frames)
    : file_(std::move(file)),
      format_{std::max(format.sampleRate, 1), 2},
      frames_(std::max<std::int64_t>(frames, 0)),
      reader_(*file_, SystemStreamKind::Audio) {}

void ClipSound::Restart() {
  reader_.Rewind();
  splitter_.Reset();
  decoder_.Reset();
  pending_.clear();
  pendingAt_ = 0;
  position_ = 0;
  streamEnded_ = false;
}

bool ClipSound::DecodeNextFrame() {
  pending_.resize(mpeg1::MpegAudioDecoder::kMaxFrameSamples);
  pendingAt_ = 0;
  while (!streamEnded_) {
    if (auto frame = splitter_.Next()) {
      auto decoded = decoder_.Decode(*frame, pending_);
      if (!decoded) continue;  // a damaged frame is passed over; silence makes up for it
      pending_.resize(static_cast<std::size_t>(decoded->samples * decoded->outputChannels));
      return true;
    }
    const auto payload = reader_.NextPayload();
    if (payload.empty()) {
      splitter_.Finish();
      if (auto last = splitter_.Next()) {
        if (auto decoded = decoder_.Decode(*last, pending_)) {
          pending_.resize(static_cast<std::size_t>(decoded->samples * decoded->outputChannels));
          return true;
        }
      }
      streamEnded_ = true;
      break;
    }
    splitter_.Push({reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size()});
  }
  pending_.clear();
  return false;
}

std::size_t ClipSound::Pull(std::span<std::int16_t> samples) {
  std::lock_guard lock(mutex_);
  const std::int64_t wanted = std::min<std::int64_t>(
      static_cast<std::int64_t>(samples.size()) / kChannels, frames_ - position_);
  std::size_t written = 0;
  const auto total = static_cast<std::size_t>(std::max<std::int64_t>(wanted, 0) * kChannels);
  while (written < total) {
    if (pendingAt_ >= pending_.size() && !DecodeNextFrame()) {
      // The stream ran short of its timing: silence to its length.
      std::fill(samples.begin() + static_cast<std::ptrdiff_t>(written),
                samples.begin() + static_cast<std::ptrdiff_t>(total), std::int16_t{0});
      written = total;
      break;
    }
    const std::size_t take = std::min(total - written, pending_.size() - pendingAt_);
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingAt_), take,
                samples.begin() + static_cast<std::ptrdiff_t>(written));
    pendingAt_ += take;
    written += take;
  }
  position_ += static_cast<std::int64_t>(written) / kChannels;
  return written;
}

Status ClipSound::Seek(Milliseconds t) {
  std::lock_guard lock(mutex_);
  const std::int64_t target = std::clamp<std::int64_t>(
      std::max<Milliseconds>(t, 0) * format_.sampleRate / 1000, 0, frames_);
  if (target < position_) Restart();
  // Forward by decoding: a frame's samples depend on the filterbank's past.
  while (position_ < target) {
    if (pendingAt_ >= pending_.size() && !DecodeNextFrame()) {
      position_ = target;  // the rest is silence
      break;
    }
    const auto take = static_cast<std::size_t>(std::min<std::int64_t>(
        target - position_, static_cast<std::int64_t>(pending_.size() - pendingAt_) / kChannels));
    pendingAt_ += take * kChannels;
    position_ += static_cast<std::int64_t>(take);
  }
  if (!reader_.ReadError()) return reader_.ReadError();
  return {};
}

}  // namespace vistel
