#include "media/ffmpeg/picture_decoder.hpp"

#include <string>

#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/ffmpeg/frame_convert.hpp"
#include "media/ffmpeg/media_input.hpp"

namespace vistel {

using namespace ffmpeg;

namespace {

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
  auto input = OpenInput(path, MediaKind::Picture);
  if (!input) {
    if (input.error().code == ErrorCode::FileNotFound) return Fail(input.error());
    return Fail(PictureError(path, input.error().description));
  }
  const int stream = FindVideoStream(**input);
  if (stream < 0) return Fail(PictureError(path, "not a picture"));
  // The decoder refuses a picture over the limits before it allocates it.
  auto codec = OpenDecoder(**input, stream, MediaKind::Picture, 1);
  if (!codec) return Fail(PictureError(path, codec.error().description));
  auto frame = DecodeFirstFrame(**input, stream, **codec, path);
  if (!frame) return Fail(frame.error());
  Image image;
  if (!ConvertFrameOver(**frame, backColor, image)) {
    return Fail(PictureError(path, "unsupported pixel format"));
  }
  return image;
}

}  // namespace vistel
