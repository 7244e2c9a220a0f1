// Clips through FFmpeg: MPEG-1 system streams (what the packages carry),
// MPEG-2, AVI and ASF, and sound-only clips (media_input.hpp lists them). A
// clip whose pictures are over the picture limits is refused as one that
// cannot be opened.
//
// Design: the picture and the sound of a clip are read by two independent
// demuxers over the same file, one per stream. The video side decodes on the
// caller's thread as FrameAt asks; the sound (an AudioFileDecoder) is pulled
// by the audio output on its own thread. Neither waits for the other, and a
// seek of one never disturbs the other.
#pragma once

#include <memory>
#include <string_view>

#include "runtime/media.hpp"

namespace vistel {

class FfmpegClipDecoder final : public ClipDecoder {
 public:
  Result<std::unique_ptr<MediaClip>> OpenClip(std::string_view path) override;
};

}  // namespace vistel
