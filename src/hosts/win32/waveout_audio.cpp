#include "hosts/win32/waveout_audio.hpp"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <iostream>
#include <thread>
#include <vector>

namespace vistel {
namespace {

// Four buffers of 50 ms: a fifth of a second ahead of the ear, enough that
// a busy machine does not starve the device.
constexpr int kBuffers = 4;
constexpr int kBufferMs = 50;

class WaveOutStream final : public AudioStream {
 public:
  WaveOutStream(AudioFormat format, AudioSource& source)
      : format_{std::clamp(format.sampleRate, 8000, 192000), std::clamp(format.channels, 1, 2)},
        source_(source),
        event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}

  ~WaveOutStream() override {
    stop_.store(true);
    if (event_ != nullptr) SetEvent(event_);
    if (feeder_.joinable()) feeder_.join();
    if (device_ != nullptr) {
      waveOutReset(device_);  // hands every queued buffer back
      for (Buffer& buffer : buffers_) {
        if (buffer.prepared) waveOutUnprepareHeader(device_, &buffer.header, sizeof(WAVEHDR));
      }
      waveOutClose(device_);
    }
    if (event_ != nullptr) CloseHandle(event_);
  }
  WaveOutStream(const WaveOutStream&) = delete;
  WaveOutStream& operator=(const WaveOutStream&) = delete;

  // False when no device takes the format.
  bool Open() {
    if (event_ == nullptr) return false;
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<WORD>(format_.channels);
    wave.nSamplesPerSec = static_cast<DWORD>(format_.sampleRate);
    wave.wBitsPerSample = 16;
    wave.nBlockAlign = static_cast<WORD>(format_.channels * 2);
    wave.nAvgBytesPerSec = wave.nSamplesPerSec * wave.nBlockAlign;
    if (waveOutOpen(&device_, WAVE_MAPPER, &wave, reinterpret_cast<DWORD_PTR>(event_), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
      device_ = nullptr;
      return false;
    }
    const auto samples =
        static_cast<std::size_t>(format_.sampleRate * kBufferMs / 1000 * format_.channels);
    for (Buffer& buffer : buffers_) {
      buffer.samples.assign(samples, 0);
      buffer.header.lpData = reinterpret_cast<LPSTR>(buffer.samples.data());
      buffer.header.dwBufferLength = static_cast<DWORD>(samples * sizeof(std::int16_t));
      if (waveOutPrepareHeader(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        return false;
      }
      buffer.prepared = true;
      buffer.header.dwFlags |= WHDR_DONE;  // free to fill
    }
    feeder_ = std::thread([this] { Feed(); });
    return true;
  }

  void SetPaused(bool paused) override {
    if (paused) {
      waveOutPause(device_);
    } else {
      waveOutRestart(device_);
    }
  }
  std::int64_t FramesPlayed() const override { return framesPlayed_.load(); }

 private:
  struct Buffer {
    WAVEHDR header{};
    std::vector<std::int16_t> samples;
    bool prepared = false;
  };

  // The feeder: refills each buffer the device has finished with, until the
  // source runs dry or the stream goes.
  void Feed() {
    bool exhausted = false;
    while (!stop_.load()) {
      for (Buffer& buffer : buffers_) {
        if ((buffer.header.dwFlags & WHDR_DONE) == 0 || exhausted || stop_.load()) continue;
        const std::size_t got = source_.Pull(buffer.samples);
        if (got < buffer.samples.size()) exhausted = true;
        if (got == 0) continue;
        framesPlayed_ += static_cast<std::int64_t>(got) / format_.channels;
        buffer.header.dwBufferLength = static_cast<DWORD>(got * sizeof(std::int16_t));
        buffer.header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
        if (waveOutWrite(device_, &buffer.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
          buffer.header.dwFlags |= WHDR_DONE;
          exhausted = true;  // a device that refuses buffers plays no more
        }
      }
      WaitForSingleObject(event_, kBufferMs);
    }
  }

  AudioFormat format_;
  AudioSource& source_;
  HANDLE event_;
  HWAVEOUT device_ = nullptr;
  std::array<Buffer, kBuffers> buffers_;
  std::thread feeder_;
  std::atomic<bool> stop_{false};
  std::atomic<std::int64_t> framesPlayed_{0};
};

}  // namespace

std::unique_ptr<AudioStream> WaveOutAudioOutput::Start(AudioFormat format, AudioSource& source) {
  auto stream = std::make_unique<WaveOutStream>(format, source);
  if (stream->Open()) return stream;
  if (!warned_) std::cerr << "vistel-player: no sound device; playing the clips' sound silently\n";
  warned_ = true;
  return silent_.Start(format, source);
}

}  // namespace vistel
