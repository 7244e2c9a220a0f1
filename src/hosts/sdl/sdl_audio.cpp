#include "hosts/sdl/sdl_audio.hpp"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iostream>

namespace vistel {
namespace {

class SdlAudioStream final : public AudioStream {
 public:
  SdlAudioStream(AudioFormat format, AudioSource& source)
      : channels_(std::max(format.channels, 1)), source_(source) {}
  ~SdlAudioStream() override {
    // Closing waits for a running callback, so the source is not pulled
    // after the stream is gone.
    if (device_ != 0) SDL_CloseAudioDevice(device_);
  }
  SdlAudioStream(const SdlAudioStream&) = delete;
  SdlAudioStream& operator=(const SdlAudioStream&) = delete;

  bool Open(AudioFormat format) {
    SDL_AudioSpec wanted{};
    wanted.freq = format.sampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels_);
    wanted.samples = 2048;
    wanted.callback = &SdlAudioStream::Callback;
    wanted.userdata = this;
    SDL_AudioSpec obtained{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) return false;
    SDL_PauseAudioDevice(device_, 0);
    return true;
  }

  void SetPaused(bool paused) override { SDL_PauseAudioDevice(device_, paused ? 1 : 0); }
  std::int64_t FramesPlayed() const override { return framesPlayed_.load(); }

 private:
  static void SDLCALL Callback(void* self, Uint8* stream, int length) {
    static_cast<SdlAudioStream*>(self)->Fill(stream, length);
  }

  void Fill(Uint8* stream, int length) {
    const auto bytes = static_cast<std::size_t>(std::max(length, 0));
    const std::size_t wanted = bytes / sizeof(std::int16_t);
    std::size_t got = 0;
    if (!exhausted_) {
      got = source_.Pull(std::span<std::int16_t>(reinterpret_cast<std::int16_t*>(stream), wanted));
      if (got < wanted) exhausted_ = true;
    }
    std::memset(stream + got * sizeof(std::int16_t), 0, bytes - got * sizeof(std::int16_t));
    framesPlayed_ += static_cast<std::int64_t>(got / static_cast<std::size_t>(channels_));
  }

  int channels_;
  AudioSource& source_;
  SDL_AudioDeviceID device_ = 0;
  bool exhausted_ = false;  // the audio thread's own
  std::atomic<std::int64_t> framesPlayed_{0};
};

}  // namespace

SdlAudioOutput::~SdlAudioOutput() {
  if (subsystem_ == Subsystem::Ready) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::unique_ptr<AudioStream> SdlAudioOutput::Start(AudioFormat format, AudioSource& source) {
  if (subsystem_ == Subsystem::Untried) {
    subsystem_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 ? Subsystem::Ready : Subsystem::Unavailable;
    if (subsystem_ == Subsystem::Unavailable) {
      std::cerr << "vistel-player: no sound (" << SDL_GetError() << "); playing silently\n";
    }
  }
  if (subsystem_ == Subsystem::Ready) {
    auto stream = std::make_unique<SdlAudioStream>(format, source);
    if (stream->Open(format)) {
      anyOpened_ = true;
      return stream;
    }
    if (!warned_)
      std::cerr << "vistel-player: no sound device (" << SDL_GetError() << "); playing silently\n";
    warned_ = true;
    if (!anyOpened_) {
      // Without any device, SDL's hot-plug thread only rescans every few
      // seconds, and SDL_Quit waits for a rescan: the subsystem goes now, so
      // a hack ends at once on SIGTERM.
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      subsystem_ = Subsystem::Unavailable;
    }
  }
  return silent_.Start(format, source);
}

}  // namespace vistel
