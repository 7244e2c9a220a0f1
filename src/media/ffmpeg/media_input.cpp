#include "media/ffmpeg/media_input.hpp"

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "base/input_limits.hpp"
#include "media/probe/png_chunks.hpp"

namespace vistel::ffmpeg {
namespace {

// Demuxers by kind. FFmpeg finds the format from the content; one that is
// not listed here is refused however well it matched. An animated PNG is
// read as a still picture by png_pipe: the APNG demuxer sizes a buffer by
// any chunk's length field, unchecked.
constexpr const char* kPictureFormats = "jpeg_pipe,png_pipe,bmp_pipe,gif,gif_pipe,tiff_pipe";
constexpr const char* kMovingFormats = "mpeg,mpegvideo,avi,asf,mp3,wav";

constexpr const char* kPictureCodecs = "mjpeg,png,bmp,gif,tiff";
constexpr const char* kSoundCodecs =
    "mp1,mp1float,mp2,mp2float,mp3,mp3float,pcm_u8,pcm_s8,pcm_s16le,pcm_s16be,pcm_s24le,"
    "pcm_s32le,pcm_f32le,pcm_f64le,pcm_alaw,pcm_mulaw,pcm_dvd,adpcm_ms,adpcm_ima_wav,gsm_ms,"
    "wmav1,wmav2,ac3,ac3_fixed";
constexpr const char* kClipPictureCodecs =
    "mpeg1video,mpeg2video,mpeg4,msmpeg4v1,msmpeg4v2,msmpeg4,wmv1,wmv2,wmv3,vc1,h263,cinepak,"
    "msvideo1,msrle,indeo3,indeo4,indeo5,mjpeg,rawvideo";

// Every nested open (a demuxer reaching for a second file or a URL) fails:
// no protocol is called this.
constexpr const char* kNoProtocol = "none";

constexpr int kReadBufferBytes = 64 * 1024;

std::string CodecsOf(MediaKind kind) {
  switch (kind) {
    case MediaKind::Picture:
      return kPictureCodecs;
    case MediaKind::Clip:
      return std::string(kClipPictureCodecs) + "," + kSoundCodecs;
    case MediaKind::Sound:
      break;
  }
  return kSoundCodecs;
}

// The one file a medium is read from, for FFmpeg's reads and seeks.
struct MediaFile {
  std::FILE* file = nullptr;
  std::int64_t size = 0;
  std::int64_t position = 0;
  std::vector<std::int64_t> hidden;  // PNG chunk types FFmpeg must not see

  ~MediaFile() {
    if (file != nullptr) std::fclose(file);
  }
};

int ReadMedia(void* opaque, std::uint8_t* buffer, int size) {
  auto& media = *static_cast<MediaFile*>(opaque);
  const std::size_t got = std::fread(buffer, 1, static_cast<std::size_t>(size), media.file);
  if (got == 0) return std::ferror(media.file) != 0 ? AVERROR(EIO) : AVERROR_EOF;
  HidePngChunks(media.hidden, media.position, {buffer, got});
  media.position += static_cast<std::int64_t>(got);
  return static_cast<int>(got);
}

std::int64_t SeekMedia(void* opaque, std::int64_t offset, int whence) {
  auto& media = *static_cast<MediaFile*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return media.size;
  std::int64_t target = offset;
  if (whence == SEEK_CUR) target += media.position;
  if (whence == SEEK_END) target += media.size;
  if (target < 0 || fseeko(media.file, target, SEEK_SET) != 0) return AVERROR(EINVAL);
  std::clearerr(media.file);
  media.position = target;
  return target;
}

void FreeMediaIo(AVIOContext* io) {
  if (io == nullptr) return;
  delete static_cast<MediaFile*>(io->opaque);
  av_freep(&io->buffer);
  avio_context_free(&io);
}

struct MediaIoFreer {
  void operator()(AVIOContext* io) const { FreeMediaIo(io); }
};
using MediaIoPtr = std::unique_ptr<AVIOContext, MediaIoFreer>;

Result<MediaIoPtr> OpenMediaIo(const std::string& path, MediaKind kind) {
  auto media = std::make_unique<MediaFile>();
  media->file = std::fopen(path.c_str(), "rb");
  if (media->file == nullptr) {
    const int error = errno;
    const ErrorCode code = error == ENOENT   ? ErrorCode::FileNotFound
                           : error == EACCES ? ErrorCode::PermissionDenied
                                             : ErrorCode::InvalidProcedureCall;
    return Fail(code, "Cannot open media file " + path + ": " + ErrorText(AVERROR(error)));
  }
  if (fseeko(media->file, 0, SEEK_END) == 0) media->size = ftello(media->file);
  if (kind == MediaKind::Picture) media->hidden = FindInflatingPngChunks(media->file);
  std::rewind(media->file);

  auto* buffer = static_cast<std::uint8_t*>(av_malloc(kReadBufferBytes));
  if (buffer == nullptr) throw std::bad_alloc();
  AVIOContext* io =
      avio_alloc_context(buffer, kReadBufferBytes, 0, media.get(), ReadMedia, nullptr, SeekMedia);
  if (io == nullptr) {
    av_free(buffer);
    throw std::bad_alloc();
  }
  media.release();
  return MediaIoPtr(io);
}

// Refuses a frame over the picture limits before its memory is taken; the
// pixel count is refused earlier still by max_pixels.
int LimitedGetBuffer(AVCodecContext* context, AVFrame* frame, int flags) {
  if (context->codec_type == AVMEDIA_TYPE_VIDEO &&
      (frame->width > limits::kMaxPictureSide || frame->height > limits::kMaxPictureSide)) {
    return AVERROR(ERANGE);
  }
  return avcodec_default_get_buffer2(context, frame, flags);
}

bool OverPictureLimits(int width, int height) {
  return width > limits::kMaxPictureSide || height > limits::kMaxPictureSide ||
         std::int64_t{width} * height > limits::kMaxPicturePixels;
}

std::string SizeText(int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height);
}

}  // namespace

void InputCloser::operator()(AVFormatContext* c) const {
  AVIOContext* io = (c->flags & AVFMT_FLAG_CUSTOM_IO) != 0 ? c->pb : nullptr;
  avformat_close_input(&c);
  FreeMediaIo(io);
}

Result<InputPtr> OpenInput(std::string_view path, MediaKind kind) {
  if (auto ready = SetUpOnce(); !ready) return Fail(ready.error());
  const std::string name(path);
  auto io = OpenMediaIo(name, kind);
  if (!io) return Fail(io.error());

  AVFormatContext* raw = avformat_alloc_context();
  if (raw == nullptr) throw std::bad_alloc();
  raw->pb = io->get();
  raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "format_whitelist",
              kind == MediaKind::Picture ? kPictureFormats : kMovingFormats, 0);
  av_dict_set(&options, "protocol_whitelist", kNoProtocol, 0);
  // The stream probe below may open sound decoders only: a picture is
  // decoded by OpenDecoder's decoder alone, under the picture limits.
  av_dict_set(&options, "codec_whitelist", kSoundCodecs, 0);
  const int rc = avformat_open_input(&raw, nullptr, nullptr, &options);
  av_dict_free(&options);
  if (rc < 0) {  // FFmpeg has freed the context, but not our reader
    return Fail(
        ErrorCode::InvalidProcedureCall,
        "Cannot open media file " + name + ": " +
            (rc == AVERROR(EINVAL) ? std::string("not a medium of this kind") : ErrorText(rc)));
  }
  io->release();
  InputPtr input(raw);
  // A picture's decoder finds what its header leaves out; probing would
  // decode the picture once more.
  if (kind == MediaKind::Picture && input->nb_streams > 0) return input;
  if (int probed = avformat_find_stream_info(input.get(), nullptr); probed < 0) {
    return Fail(MediaError("Cannot read the streams of " + name, probed));
  }
  if (kind == MediaKind::Clip) {
    if (const int video = FindVideoStream(*input); video >= 0) {
      const AVCodecParameters* p = input->streams[video]->codecpar;
      if (OverPictureLimits(p->width, p->height)) {
        return Fail(ErrorCode::InvalidProcedureCall,
                    "Cannot open the clip " + name + ": its pictures are " +
                        SizeText(p->width, p->height) + " pixels, more than a show may hold");
      }
    }
  }
  return input;
}

Result<CodecPtr> OpenDecoder(const AVFormatContext& input, int index, MediaKind kind, int threads) {
  const AVCodecParameters* parameters = input.streams[index]->codecpar;
  const AVCodec* codec = avcodec_find_decoder(parameters->codec_id);
  if (codec == nullptr) {
    return Fail(
        MediaError(std::string("No decoder for ") + avcodec_get_name(parameters->codec_id)));
  }
  if (codec->type == AVMEDIA_TYPE_VIDEO &&
      OverPictureLimits(parameters->width, parameters->height)) {
    return Fail(MediaError(SizeText(parameters->width, parameters->height) +
                           " pixels is more than a show's pictures may hold"));
  }
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context) throw std::bad_alloc();
  if (int rc = avcodec_parameters_to_context(context.get(), parameters); rc < 0) {
    return Fail(MediaError("Cannot set up the decoder", rc));
  }
  context->pkt_timebase = input.streams[index]->time_base;
  context->thread_count = threads;
  context->max_pixels = limits::kMaxPicturePixels;
  context->get_buffer2 = LimitedGetBuffer;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "codec_whitelist", CodecsOf(kind).c_str(), 0);
  const int rc = avcodec_open2(context.get(), codec, &options);
  av_dict_free(&options);
  if (rc < 0) {
    return Fail(MediaError(std::string("Cannot open the ") + codec->name + " decoder", rc));
  }
  return context;
}

int FindVideoStream(const AVFormatContext& input) {
  const int best = av_find_best_stream(const_cast<AVFormatContext*>(&input), AVMEDIA_TYPE_VIDEO, -1,
                                       -1, nullptr, 0);
  if (best >= 0 && (input.streams[best]->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
    return best;
  }
  for (unsigned i = 0; i < input.nb_streams; ++i) {
    const AVStream* s = input.streams[i];
    if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
        (s->disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

}  // namespace vistel::ffmpeg
