// Opening a medium with FFmpeg as the medium it claims to be, and nothing
// else. Internal to the FFmpeg media services.
//
// A medium comes out of a stranger's package, so FFmpeg is never let loose
// on it: the file is read through our own reader (no URL, no protocol, no
// second file), only the container formats of the medium's kind are
// accepted (no playlists, scripts or device inputs that would reach for
// other files), only the decoders of that kind open, and no picture decoder
// runs before ours, which refuses frames over the picture limits before it
// allocates them. PNG's compressed text and colour-profile chunks, which
// FFmpeg would inflate without limit, never reach it (media/probe/png_chunks.hpp).
//
// What each kind accepts:
//   Picture  JPEG, PNG (its first image), BMP, GIF (its first frame), TIFF.
//   Clip     MPEG program and elementary streams, AVI, ASF (WMV); sound-only
//            clips as MP3/MP2 or WAV. Pictures: MPEG-1/2/4 and the usual AVI
//            and Windows Media codecs, Motion JPEG, raw. Sound: as below.
//   Sound    WAV, MP3/MP2, and the sound of the clip containers above. PCM,
//            MS and IMA ADPCM, GSM, a-law and mu-law, MPEG audio layers 1-3,
//            Windows Media Audio 1 and 2, AC-3.
#pragma once

#include <string_view>

#include "base/error.hpp"
#include "media/ffmpeg/ffmpeg_support.hpp"

namespace vistel::ffmpeg {

enum class MediaKind { Picture, Clip, Sound };

// Opens a medium of the kind, its format found from its content (the
// extracted media have no extension to go by). Fails for a missing file
// (FileNotFound), for content of another kind, and for a clip whose picture
// is over the picture limits.
Result<InputPtr> OpenInput(std::string_view path, MediaKind kind);

// Opens a decoder for stream `index`, if the kind allows its codec. Pictures
// and frames over limits::kMaxPicturePixels or limits::kMaxPictureSide fail
// to decode before their memory is taken. threads: 0 lets FFmpeg pick.
Result<CodecPtr> OpenDecoder(const AVFormatContext& input, int index, MediaKind kind, int threads);

// The first video stream that is a picture of the medium's own (not an album
// cover attached to a sound); -1 when there is none.
int FindVideoStream(const AVFormatContext& input);

}  // namespace vistel::ffmpeg
