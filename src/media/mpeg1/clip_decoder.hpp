// MPEG-1 clips decoded by the player itself, where FFmpeg is not there (the
// Windows hosts): the clip keeps the timing the Linux decoder gives it
// (ProbeClip: which picture shows when, the clip's length, the sound's
// frames), and its pictures and sound come from the player's own MPEG-1
// video and MPEG audio decoders. A clip the probe cannot time exactly is
// refused with the probe's reason.
//
// Like the Linux decoder, the picture and the sound read the file through
// separate handles: the video decodes on the caller's thread as FrameAt
// asks, the sound is pulled by the audio output on its own.
#pragma once

#include "runtime/files.hpp"
#include "runtime/media.hpp"

namespace vistel {

class Mpeg1ClipDecoder final : public ClipDecoder {
 public:
  // The file system must outlive this and the clips it opens.
  explicit Mpeg1ClipDecoder(FileSystem& files) : files_(files) {}
  Result<std::unique_ptr<MediaClip>> OpenClip(std::string_view path) override;

 private:
  FileSystem& files_;
};

}  // namespace vistel
