#include "media/ffmpeg/ffmpeg_support.hpp"

#include <cstdlib>
#include <mutex>

namespace vistel::ffmpeg {

void OutputFreer::operator()(AVFormatContext* c) const {
  if (c->pb != nullptr && (c->oformat->flags & AVFMT_NOFILE) == 0) avio_closep(&c->pb);
  avformat_free_context(c);
}

std::string ErrorText(int averror) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (av_strerror(averror, text, sizeof text) < 0) return "FFmpeg error " + std::to_string(averror);
  return text;
}

Error MediaError(std::string_view what, int averror) {
  return Error(ErrorCode::InvalidProcedureCall, std::string(what) + ": " + ErrorText(averror));
}

Error MediaError(std::string_view what) {
  return Error(ErrorCode::InvalidProcedureCall, std::string(what));
}

void QuietenLogOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    const char* keep = std::getenv("VISTEL_FFMPEG_LOG");
    av_log_set_level(keep != nullptr && *keep == '1' ? AV_LOG_WARNING : AV_LOG_QUIET);
  });
}

FramePtr NewFrame() {
  FramePtr frame(av_frame_alloc());
  if (!frame) throw std::bad_alloc();
  return frame;
}

PacketPtr NewPacket() {
  PacketPtr packet(av_packet_alloc());
  if (!packet) throw std::bad_alloc();
  return packet;
}

Result<InputPtr> OpenInput(std::string_view path, StreamInfo info) {
  QuietenLogOnce();
  const std::string name(path);
  AVFormatContext* raw = nullptr;
  if (int rc = avformat_open_input(&raw, name.c_str(), nullptr, nullptr); rc < 0) {
    const ErrorCode code = rc == AVERROR(ENOENT)   ? ErrorCode::FileNotFound
                           : rc == AVERROR(EACCES) ? ErrorCode::PermissionDenied
                                                   : ErrorCode::InvalidProcedureCall;
    return Fail(code, "Cannot open media file " + name + ": " + ErrorText(rc));
  }
  InputPtr input(raw);
  // Probing a picture would decode it once more just to learn its pixel format.
  if (info == StreamInfo::FromHeader && input->nb_streams > 0) return input;
  if (int rc = avformat_find_stream_info(input.get(), nullptr); rc < 0) {
    return Fail(MediaError("Cannot read the streams of " + name, rc));
  }
  return input;
}

Result<CodecPtr> OpenDecoder(const AVFormatContext& input, int index, int threads) {
  const AVCodecParameters* parameters = input.streams[index]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (codec == nullptr) {
    return Fail(
        MediaError(std::string("No decoder for ") + avcodec_get_name(parameters->codec_id)));
  }
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context) throw std::bad_alloc();
  if (int rc = avcodec_parameters_to_context(context.get(), parameters); rc < 0) {
    return Fail(MediaError("Cannot set up the decoder", rc));
  }
  context->pkt_timebase = input.streams[index]->time_base;
  context->thread_count = threads;
  if (int rc = avcodec_open2(context.get(), codec, nullptr); rc < 0) {
    return Fail(MediaError(std::string("Cannot open the ") + codec->name + " decoder", rc));
  }
  return context;
}

void Rewind(AVFormatContext& input, int stream) {
  const AVStream* s = input.streams[stream];
  const std::int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
  if (av_seek_frame(&input, stream, start, AVSEEK_FLAG_BACKWARD) < 0) {
    avio_seek(input.pb, 0, SEEK_SET);
    avformat_flush(&input);
  }
}

std::int64_t ScanStreamEnd(AVFormatContext& input, int stream) {
  const AVStream* s = input.streams[stream];
  const std::int64_t start = s->start_time == AV_NOPTS_VALUE ? 0 : s->start_time;
  std::int64_t guess = start;
  if (s->duration != AV_NOPTS_VALUE) {
    guess += s->duration;
  } else if (input.duration != AV_NOPTS_VALUE) {
    guess += av_rescale_q(input.duration, AV_TIME_BASE_Q, s->time_base);
  }
  const std::int64_t from = guess - av_rescale_q(3, AVRational{1, 1}, s->time_base);
  if (from <= start || av_seek_frame(&input, stream, from, AVSEEK_FLAG_BACKWARD) < 0) {
    Rewind(input, stream);
  }
  std::int64_t end = AV_NOPTS_VALUE;
  PacketPtr packet = NewPacket();
  while (av_read_frame(&input, packet.get()) >= 0) {
    if (packet->stream_index == stream) {
      for (std::int64_t ts : {packet->pts, packet->dts}) {
        if (ts != AV_NOPTS_VALUE && (end == AV_NOPTS_VALUE || ts + packet->duration > end)) {
          end = ts + packet->duration;
        }
      }
    }
    av_packet_unref(packet.get());
  }
  Rewind(input, stream);
  return end;
}

}  // namespace vistel::ffmpeg
