// Owners and error texts for the FFmpeg objects the decoders and encoders
// share. Internal to the FFmpeg media services: nothing outside this folder
// includes it, so the rest of the engine never sees an FFmpeg header.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <memory>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "media/ffmpeg/ffmpeg_library.hpp"

namespace vistel::ffmpeg {

struct InputCloser {
  void operator()(AVFormatContext* c) const;  // frees our own reader too
};
struct OutputFreer {
  void operator()(AVFormatContext* c) const;  // closes the file too
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct ResampleFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputFreer>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleFreer>;
using ResamplePtr = std::unique_ptr<SwrContext, ResampleFreer>;

// FFmpeg's own text for an error number.
std::string ErrorText(int averror);

// An error for a failed FFmpeg call: "what: FFmpeg's reason".
Error MediaError(std::string_view what, int averror);
Error MediaError(std::string_view what);

// Loads FFmpeg (LoadFfmpeg) and sets it up once per process: no single
// allocation over limits::kMaxMediaAllocationBytes, and a quiet console log
// (errors come back as results; a corrupt file must not spray the terminal).
// VISTEL_FFMPEG_LOG=1 keeps FFmpeg's warnings for debugging. Fails when
// FFmpeg cannot be loaded; nothing of FFmpeg may be called then.
Status SetUpOnce();

FramePtr NewFrame();
PacketPtr NewPacket();

// The end time (stream time base) of the stream's last packet, read from the
// file's last seconds: MPEG system streams stamp only some packets, so the
// length FFmpeg infers from their stamps falls short by up to a second.
// AV_NOPTS_VALUE when no packet is stamped. Leaves the demuxer at the start.
std::int64_t ScanStreamEnd(AVFormatContext& input, int stream);

// Puts the demuxer back at the start of the file.
void Rewind(AVFormatContext& input, int stream);

}  // namespace vistel::ffmpeg
