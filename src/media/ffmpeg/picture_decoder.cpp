#include "media/ffmpeg/picture_decoder.hpp"

#include <string>

#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/ffmpeg/frame_convert.hpp"

namespace vistel {

using namespace ffmpeg;

namespace {

// 256 MiB of decoded pixels, the imaging control's own bitmap limit.
constexpr std::int64_t kMaxPicturePixels = 64LL * 1024 * 1024;

Error PictureError(std::string_view path, std::string_view what) {
  return Error(ErrorCode::InvalidProcedureCall,
               "Cannot read the picture " + std::string(path) + ": " + std::string(what));
}

// The first frame of the picture's video stream, decoded.
Result<FramePtr> DecodeFirstFrame(AVFormatContext& input, int stream, AVCodecContext& codec,
                                  std::string_view path) {
  FramePtr frame = NewFrame();
  PacketPtr packet = NewPacket();
  bool flushed = false;
  int lastError = 0;
  while (true) {
    const int rc = avcodec_receive_frame(&codec, frame.get());
    if (rc == 0) return frame;
    if (rc == AVERROR_EOF || (rc != AVERROR(EAGAIN) && flushed)) break;
    if (rc != AVERROR(EAGAIN)) {
      lastError = rc;
      break;
    }
    if (flushed) break;
    if (av_read_frame(&input, packet.get()) < 0) {
      avcodec_send_packet(&codec, nullptr);
      flushed = true;
      continue;
    }
    if (packet->stream_index == stream) {
      if (int sent = avcodec_send_packet(&codec, packet.get());
          sent < 0 && sent != AVERROR(EAGAIN)) {
        lastError = sent;
      }
    }
    av_packet_unref(packet.get());
  }
  return Fail(PictureError(path, lastError != 0 ? ErrorText(lastError) : "no picture in the file"));
}

}  // namespace

Result<Image> FfmpegPictureDecoder::DecodePicture(std::string_view path, Pixel backColor) {
  // The demuxer is chosen by probing the content (png_pipe, jpeg_pipe,
  // bmp_pipe, gif, tiff_pipe, ...); a name without extension is no obstacle.
  auto input = OpenInput(path, StreamInfo::FromHeader);
  if (!input) {
    if (input.error().code == ErrorCode::FileNotFound) return Fail(input.error());
    return Fail(PictureError(path, input.error().description));
  }
  const int stream = av_find_best_stream(input->get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (stream < 0) return Fail(PictureError(path, "not a picture"));
  auto codec = OpenDecoder(**input, stream, 1);
  if (!codec) return Fail(PictureError(path, codec.error().description));
  // A header may claim any size: refuse before allocating what no show uses.
  (*codec)->max_pixels = kMaxPicturePixels;
  auto frame = DecodeFirstFrame(**input, stream, **codec, path);
  if (!frame) return Fail(frame.error());
  Image image;
  if (!ConvertFrameOver(**frame, backColor, image)) {
    return Fail(PictureError(path, "unsupported pixel format"));
  }
  return image;
}

}  // namespace vistel
