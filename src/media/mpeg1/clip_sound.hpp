// The sound of an MPEG-1 clip, decoded from its packets: MPEG audio layers I
// and II as interleaved 16-bit stereo. It yields exactly the sample frames
// that the clip's timing counts (damage or a cut last frame is made up with
// silence, extra frames are left out), so the clip's sound ends where the
// Linux decoder ends it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "media/mpeg1/audio_decoder.hpp"
#include "media/mpeg1/system_stream.hpp"
#include "runtime/events.hpp"
#include "runtime/files.hpp"
#include "runtime/media.hpp"

namespace vistel {

class ClipSound final : public AudioSource {
 public:
  // `file` is the clip, opened for this sound alone (the output pulls on its
  // own thread); `frames` the sample frames to yield at `format`.
  ClipSound(std::unique_ptr<InputFile> file, AudioFormat format, std::int64_t frames);

  std::size_t Pull(std::span<std::int16_t> samples) override;
  // Moves to time t from the sound's start (decoding from the start, as a
  // clip's frames carry no index).
  Status Seek(Milliseconds t);

 private:
  // Decodes the next frame into pending_; false at the end of the stream.
  bool DecodeNextFrame();
  void Restart();

  std::mutex mutex_;  // Pull runs on the output's thread
  std::unique_ptr<InputFile> file_;
  AudioFormat format_;
  std::int64_t frames_;
  SystemStreamReader reader_;
  mpeg1::MpegAudioFrameSplitter splitter_;
  mpeg1::MpegAudioDecoder decoder_;
  std::vector<std::int16_t> pending_;
  std::size_t pendingAt_ = 0;
  std::int64_t position_ = 0;  // sample frames handed out
  bool streamEnded_ = false;
};

}  // namespace vistel
