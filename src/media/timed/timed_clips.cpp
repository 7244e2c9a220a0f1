#include "media/timed/timed_clips.hpp"

#include <utility>

#include "media/probe/clip_probe.hpp"
#include "media/timed/timed_silence.hpp"

namespace vistel {
namespace {

class TimedClip final : public MediaClip {
 public:
  explicit TimedClip(ClipTiming timing)
      : timing_(std::move(timing)),
        sound_(timing_.soundFormat.sampleRate, timing_.hasAudio ? timing_.soundMs : 0,
               timing_.hasAudio ? timing_.soundFrames : 0) {}

  IntSize FrameSize() const override { return timing_.frameSize; }
  Milliseconds Duration() const override { return timing_.duration; }
  bool HasVideo() const override { return timing_.hasVideo; }
  bool HasAudio() const override { return timing_.hasAudio; }

  Result<bool> FrameAt(Milliseconds t, Image& frame) override {
    if (!timing_.hasVideo || t >= timing_.videoEndMs) return false;
    const IntSize size = timing_.frameSize;
    if (frame.Width() != size.width || frame.Height() != size.height) {
      frame = Image(size.width, size.height);
    }
    return true;
  }

  AudioSource* Sound() override { return timing_.hasAudio ? &sound_ : nullptr; }
  AudioFormat SoundFormat() const override { return sound_.Format(); }
  Status SeekSound(Milliseconds t) override { return sound_.SeekMs(t); }

 private:
  ClipTiming timing_;
  TimedSilence sound_;
};

}  // namespace

Result<std::unique_ptr<MediaClip>> TimedClips::OpenClip(std::string_view path) {
  auto file = files_.OpenRead(path);
  if (!file) return Fail(file.error());
  auto timing = ProbeClip(**file);
  if (!timing) return Fail(timing.error());
  return std::unique_ptr<MediaClip>(std::make_unique<TimedClip>(std::move(*timing)));
}

}  // namespace vistel
