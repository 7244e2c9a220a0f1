#include "media/ffmpeg/encoders.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "platform/posix/posix_files.hpp"

namespace vistel {
namespace {

using namespace ffmpeg;

Error WriteError(std::string_view path, std::string_view what) {
  return Error(ErrorCode::PathFileAccessError,
               "Cannot write " + std::string(path) + ": " + std::string(what));
}

Result<CodecPtr> NewEncoder(AVCodecID id, const char* name = nullptr) {
  if (auto ready = SetUpOnce(); !ready) return Fail(ready.error());
  const AVCodec* codec =
      name != nullptr ? avcodec_find_encoder_by_name(name) : avcodec_find_encoder(id);
  if (codec == nullptr) {
    return Fail(MediaError(std::string("No ") + (name != nullptr ? name : avcodec_get_name(id)) +
                           " encoder in this FFmpeg"));
  }
  CodecPtr context(avcodec_alloc_context3(codec));
  if (!context) throw std::bad_alloc();
  return context;
}

FramePtr NewVideoFrame(AVPixelFormat format, int width, int height) {
  FramePtr frame = NewFrame();
  frame->format = format;
  frame->width = width;
  frame->height = height;
  if (av_frame_get_buffer(frame.get(), 0) < 0) throw std::bad_alloc();
  return frame;
}

// ---- Single pictures ------------------------------------------------------

// Encodes one frame and writes the packet as the whole file: the JPEG, PNG,
// BMP and TIFF encoders each put out a complete file per picture.
Status EncodeStill(AVCodecContext& codec, const AVFrame& frame, std::string_view path) {
  if (int rc = avcodec_open2(&codec, codec.codec, nullptr); rc < 0) {
    return Fail(MediaError("Cannot open the picture encoder", rc));
  }
  PacketPtr packet = NewPacket();
  if (int rc = avcodec_send_frame(&codec, &frame); rc < 0) {
    return Fail(MediaError("Cannot encode the picture", rc));
  }
  avcodec_send_frame(&codec, nullptr);
  std::vector<std::uint8_t> bytes;
  while (avcodec_receive_packet(&codec, packet.get()) == 0) {
    bytes.insert(bytes.end(), packet->data, packet->data + packet->size);
    av_packet_unref(packet.get());
  }
  if (bytes.empty()) return Fail(MediaError("The picture encoder gave nothing"));
  // A whole new file, renamed over the name: a link there is replaced.
  if (auto written = posix::ReplaceWith(path, std::as_bytes(std::span(bytes))); !written) {
    return Fail(WriteError(path, written.error().description));
  }
  return {};
}

// Packed 24-bit copy of the image, in RGB or BGR byte order.
FramePtr PackedFrame(const Image& image, AVPixelFormat format) {
  FramePtr frame = NewVideoFrame(format, image.Width(), image.Height());
  const bool bgr = format == AV_PIX_FMT_BGR24;
  for (int y = 0; y < image.Height(); ++y) {
    std::uint8_t* out = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
    const Pixel* row = image.Row(y);
    for (int x = 0; x < image.Width(); ++x) {
      const Pixel p = row[x];
      out[0] = static_cast<std::uint8_t>(bgr ? PixelBlue(p) : PixelRed(p));
      out[1] = static_cast<std::uint8_t>(PixelGreen(p));
      out[2] = static_cast<std::uint8_t>(bgr ? PixelRed(p) : PixelBlue(p));
      out += 3;
    }
  }
  return frame;
}

// Converts the image with swscale (for the YUV formats of JPEG and MPEG-1).
bool ScaleInto(const Image& image, AVFrame& frame, ScalePtr& scaler) {
  SwsContext* context = sws_getCachedContext(
      scaler.release(), image.Width(), image.Height(), AV_PIX_FMT_0RGB32, frame.width, frame.height,
      static_cast<AVPixelFormat>(frame.format), SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP,
      nullptr, nullptr, nullptr);
  scaler.reset(context);
  if (context == nullptr || av_frame_make_writable(&frame) < 0) return false;
  const std::uint8_t* in[4] = {reinterpret_cast<const std::uint8_t*>(image.Pixels().data()),
                               nullptr, nullptr, nullptr};
  const int strides[4] = {image.Width() * 4, 0, 0, 0};
  return sws_scale(context, in, strides, 0, image.Height(), frame.data, frame.linesize) ==
         frame.height;
}

// An exact palette when the picture has at most 256 colours; otherwise the
// 3-3-2 cube, each pixel mapped to its nearest entry.
FramePtr PalettedFrame(const Image& image) {
  FramePtr frame = NewVideoFrame(AV_PIX_FMT_PAL8, image.Width(), image.Height());
  auto* palette = reinterpret_cast<std::uint32_t*>(frame->data[1]);
  std::unordered_map<Pixel, std::uint8_t> index;
  for (Pixel p : image.Pixels()) {
    if (index.size() > 256) break;
    index.try_emplace(p, static_cast<std::uint8_t>(index.size()));
  }
  const bool exact = index.size() <= 256;
  std::fill(palette, palette + 256, 0xFF000000U);
  if (exact) {
    for (auto [pixel, i] : index) palette[i] = 0xFF000000U | pixel;
  } else {
    for (unsigned i = 0; i < 256; ++i) {
      palette[i] =
          0xFF000000U | MakePixel((i >> 5) * 255 / 7, ((i >> 2) & 7) * 255 / 7, (i & 3) * 255 / 3);
    }
  }
  for (int y = 0; y < image.Height(); ++y) {
    std::uint8_t* out = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
    const Pixel* row = image.Row(y);
    for (int x = 0; x < image.Width(); ++x) {
      const Pixel p = row[x];
      out[x] = exact ? index[p]
                     : static_cast<std::uint8_t>(((PixelRed(p) * 7 + 127) / 255) << 5 |
                                                 ((PixelGreen(p) * 7 + 127) / 255) << 2 |
                                                 ((PixelBlue(p) * 3 + 127) / 255));
    }
  }
  return frame;
}

// ---- Muxed files ----------------------------------------------------------

// The muxers write through FFmpeg's I/O into a fresh file beside the target
// (created exclusively, never through a link), which replaces the target by
// rename once the trailer is written. FFmpeg's own file protocol would follow
// a link at the name.
class Muxer {
 public:
  Muxer() = default;
  Muxer(const Muxer&) = delete;
  Muxer& operator=(const Muxer&) = delete;
  ~Muxer() {
    // The I/O context is ours, not one FFmpeg opened: freed here, before the
    // output context, whose freer would close it as its own.
    if (output_ && output_->pb != nullptr) {
      av_freep(&output_->pb->buffer);
      avio_context_free(&output_->pb);
    }
    if (fresh_) {
      fresh_->descriptor = posix::Descriptor();
      ::unlink(fresh_->path.c_str());
    }
  }

  Status Open(const char* format, std::string_view path) {
    if (auto ready = SetUpOnce(); !ready) return ready;
    path_ = std::string(path);
    AVFormatContext* raw = nullptr;
    if (int rc = avformat_alloc_output_context2(&raw, nullptr, format, path_.c_str()); rc < 0) {
      return Fail(MediaError(std::string("No ") + format + " writer", rc));
    }
    output_.reset(raw);
    return {};
  }

  Result<AVStream*> AddStream(AVCodecContext& codec) {
    if ((output_->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
      codec.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // A failed open clears codec.codec.
    const std::string name = codec.codec->name;
    if (int rc = avcodec_open2(&codec, codec.codec, nullptr); rc < 0) {
      return Fail(MediaError("Cannot open the " + name + " encoder", rc));
    }
    AVStream* stream = avformat_new_stream(output_.get(), nullptr);
    if (stream == nullptr) throw std::bad_alloc();
    stream->time_base = codec.time_base;
    if (int rc = avcodec_parameters_from_context(stream->codecpar, &codec); rc < 0) {
      return Fail(MediaError("Cannot describe the stream", rc));
    }
    return stream;
  }

  Status Start() {
    if ((output_->oformat->flags & AVFMT_NOFILE) == 0) {
      auto fresh = posix::CreateFreshBeside(path_);
      if (!fresh) return Fail(WriteError(path_, fresh.error().description));
      fresh_ = std::move(*fresh);
      auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
      if (buffer == nullptr) throw std::bad_alloc();
      output_->pb = avio_alloc_context(buffer, static_cast<int>(kIoBufferBytes), 1, &*fresh_,
                                       nullptr, &Muxer::WritePacket, &Muxer::Seek);
      if (output_->pb == nullptr) {
        av_free(buffer);
        throw std::bad_alloc();
      }
      output_->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    if (int rc = avformat_write_header(output_.get(), nullptr); rc < 0) {
      return Fail(WriteError(path_, ErrorText(rc)));
    }
    return {};
  }

  // Sends a frame (null: the end) and writes every packet that comes out.
  Status Send(AVCodecContext& codec, AVStream& stream, const AVFrame* frame) {
    if (int rc = avcodec_send_frame(&codec, frame); rc < 0) {
      return Fail(MediaError("Cannot encode", rc));
    }
    while (true) {
      const int rc = avcodec_receive_packet(&codec, packet_.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return {};
      if (rc < 0) return Fail(MediaError("Cannot encode", rc));
      av_packet_rescale_ts(packet_.get(), codec.time_base, stream.time_base);
      packet_->stream_index = stream.index;
      if (int w = av_interleaved_write_frame(output_.get(), packet_.get()); w < 0) {
        return Fail(WriteError(path_, ErrorText(w)));
      }
    }
  }

  Status Finish() {
    if (int rc = av_write_trailer(output_.get()); rc < 0) {
      return Fail(WriteError(path_, ErrorText(rc)));
    }
    if (output_->pb != nullptr) {
      avio_flush(output_->pb);
      if (output_->pb->error < 0) return Fail(WriteError(path_, ErrorText(output_->pb->error)));
    }
    if (fresh_) {
      if (auto closed = fresh_->descriptor.Close(); !closed) {
        return Fail(WriteError(path_, closed.error().description));
      }
      if (auto renamed = posix::RenameOver(fresh_->path, path_); !renamed) {
        return Fail(WriteError(path_, renamed.error().description));
      }
      fresh_.reset();
    }
    return {};
  }

 private:
  static constexpr std::size_t kIoBufferBytes = std::size_t{1} << 16;

#if LIBAVFORMAT_VERSION_MAJOR >= 61
  using PacketData = const std::uint8_t*;
#else
  using PacketData = std::uint8_t*;
#endif
  static int WritePacket(void* opaque, PacketData data, int size) {
    const auto& fresh = *static_cast<posix::FreshFile*>(opaque);
    const auto bytes = std::as_bytes(std::span(data, static_cast<std::size_t>(size)));
    return posix::WriteAll(fresh.descriptor.Get(), bytes) ? size : AVERROR(EIO);
  }

  // The WAV muxer goes back to fill in its sizes.
  static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
    const int fd = static_cast<posix::FreshFile*>(opaque)->descriptor.Get();
    if ((whence & AVSEEK_SIZE) != 0) {
      struct stat st {};
      return ::fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : AVERROR(errno);
    }
    const off_t at = ::lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
    return at < 0 ? AVERROR(errno) : static_cast<std::int64_t>(at);
  }

  std::string path_;
  OutputPtr output_;
  PacketPtr packet_ = NewPacket();
  std::optional<posix::FreshFile> fresh_;
};

// Feeds interleaved S16 sound to an audio encoder in frames of its size,
// converting to the encoder's sample format.
class SoundFeeder {
 public:
  SoundFeeder(AVCodecContext& codec, std::span<const std::int16_t> samples, int channels)
      : codec_(codec), samples_(samples), channels_(channels) {}

  Status Prepare() {
    AVChannelLayout in;
    av_channel_layout_default(&in, channels_);
    SwrContext* raw = nullptr;
    if (swr_alloc_set_opts2(&raw, &codec_.ch_layout, codec_.sample_fmt, codec_.sample_rate, &in,
                            AV_SAMPLE_FMT_S16, codec_.sample_rate, 0, nullptr) < 0 ||
        swr_init(raw) < 0) {
      swr_free(&raw);
      return Fail(MediaError("Cannot convert the sound for the encoder"));
    }
    resampler_.reset(raw);
    frameSize_ = codec_.frame_size > 0 ? codec_.frame_size : 1024;
    return {};
  }

  bool Done() const { return next_ * static_cast<std::size_t>(channels_) >= samples_.size(); }
  // Time of the next frame in seconds.
  double NextTime() const { return static_cast<double>(next_) / codec_.sample_rate; }

  // The next frame, padded with silence at the end.
  FramePtr Next() {
    const std::size_t total = samples_.size() / static_cast<std::size_t>(channels_);
    const int count = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(frameSize_),
                                                             total - std::min(total, next_)));
    // The last frame is short where the encoder allows it (PCM, LAME), else
    // padded with silence.
    const bool shortLast = (codec_.codec->capabilities & (AV_CODEC_CAP_VARIABLE_FRAME_SIZE |
                                                          AV_CODEC_CAP_SMALL_LAST_FRAME)) != 0;
    FramePtr frame = NewFrame();
    frame->format = codec_.sample_fmt;
    frame->sample_rate = codec_.sample_rate;
    frame->nb_samples = shortLast ? count : frameSize_;
    av_channel_layout_copy(&frame->ch_layout, &codec_.ch_layout);
    if (av_frame_get_buffer(frame.get(), 0) < 0) throw std::bad_alloc();
    av_samples_set_silence(frame->extended_data, 0, frame->nb_samples, channels_,
                           codec_.sample_fmt);
    const std::uint8_t* in[1] = {reinterpret_cast<const std::uint8_t*>(
        samples_.data() + next_ * static_cast<std::size_t>(channels_))};
    swr_convert(resampler_.get(), frame->extended_data, count, in, count);
    frame->pts = static_cast<std::int64_t>(next_);
    next_ += static_cast<std::size_t>(frameSize_);
    return frame;
  }

 private:
  AVCodecContext& codec_;
  std::span<const std::int16_t> samples_;
  int channels_;
  int frameSize_ = 1024;
  std::size_t next_ = 0;
  ResamplePtr resampler_;
};

Result<CodecPtr> SoundEncoder(AVCodecID id, const char* name, AudioFormat format, int bitRate) {
  if (format.channels < 1 || format.channels > 2) {
    return Fail(MediaError("Sound must have 1 or 2 channels"));
  }
  auto codec = NewEncoder(id, name);
  if (!codec) return codec;
  AVCodecContext& c = **codec;
  c.sample_rate = format.sampleRate;
  c.sample_fmt = c.codec->sample_fmts != nullptr ? c.codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
  av_channel_layout_default(&c.ch_layout, format.channels);
  c.time_base = {1, format.sampleRate};
  if (bitRate > 0) c.bit_rate = bitRate;
  return codec;
}

}  // namespace

Status EncodeJpeg(const Image& image, const JpegSettings& settings, std::string_view path) {
  if (image.IsEmpty()) return Fail(WriteError(path, "the picture is empty"));
  auto codec = NewEncoder(AV_CODEC_ID_MJPEG);
  if (!codec) return Fail(codec.error());
  AVCodecContext& c = **codec;
  c.width = image.Width();
  c.height = image.Height();
  // Full-range YUV, the colour at full or half resolution.
  c.pix_fmt = settings.chroma == JpegChroma::Full ? AV_PIX_FMT_YUVJ444P : AV_PIX_FMT_YUVJ420P;
  c.time_base = {1, 25};
  c.flags |= AV_CODEC_FLAG_QSCALE;
  c.global_quality = FF_QP2LAMBDA * std::clamp(settings.quantiser, 1, 31);
  FramePtr frame = NewVideoFrame(c.pix_fmt, c.width, c.height);
  frame->quality = c.global_quality;
  frame->color_range = AVCOL_RANGE_JPEG;
  ScalePtr scaler;
  if (!ScaleInto(image, *frame, scaler)) return Fail(MediaError("Cannot convert the picture"));
  return EncodeStill(c, *frame, path);
}

Status EncodePicture(const Image& image, PictureFormat format, std::string_view path) {
  if (image.IsEmpty()) return Fail(WriteError(path, "the picture is empty"));
  switch (format) {
    case PictureFormat::Jpeg:
      return EncodeJpeg(image, JpegSettings{}, path);
    case PictureFormat::Gif: {
      auto codec = NewEncoder(AV_CODEC_ID_GIF);
      if (!codec) return Fail(codec.error());
      AVCodecContext& c = **codec;
      c.width = image.Width();
      c.height = image.Height();
      c.pix_fmt = AV_PIX_FMT_PAL8;
      c.time_base = {1, 25};
      Muxer muxer;
      if (auto s = muxer.Open("gif", path); !s) return s;
      auto stream = muxer.AddStream(c);
      if (!stream) return Fail(stream.error());
      if (auto s = muxer.Start(); !s) return s;
      FramePtr frame = PalettedFrame(image);
      frame->pts = 0;
      if (auto s = muxer.Send(c, **stream, frame.get()); !s) return s;
      if (auto s = muxer.Send(c, **stream, nullptr); !s) return s;
      return muxer.Finish();
    }
    case PictureFormat::Png:
    case PictureFormat::Bmp:
    case PictureFormat::Tiff: {
      const AVCodecID id = format == PictureFormat::Png   ? AV_CODEC_ID_PNG
                           : format == PictureFormat::Bmp ? AV_CODEC_ID_BMP
                                                          : AV_CODEC_ID_TIFF;
      auto codec = NewEncoder(id);
      if (!codec) return Fail(codec.error());
      AVCodecContext& c = **codec;
      c.width = image.Width();
      c.height = image.Height();
      c.pix_fmt = format == PictureFormat::Bmp ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_RGB24;
      c.time_base = {1, 25};
      FramePtr frame = PackedFrame(image, c.pix_fmt);
      return EncodeStill(c, *frame, path);
    }
  }
  return Fail(WriteError(path, "unknown picture format"));
}

Status EncodePngWithAlpha(const Image& image, std::span<const std::uint8_t> alpha,
                          std::string_view path) {
  if (image.IsEmpty()) return Fail(WriteError(path, "the picture is empty"));
  if (alpha.size() != image.Pixels().size()) {
    return Fail(WriteError(path, "the alpha plane does not match the picture's size"));
  }
  auto codec = NewEncoder(AV_CODEC_ID_PNG);
  if (!codec) return Fail(codec.error());
  AVCodecContext& c = **codec;
  c.width = image.Width();
  c.height = image.Height();
  c.pix_fmt = AV_PIX_FMT_RGBA;
  c.time_base = {1, 25};
  FramePtr frame = NewVideoFrame(c.pix_fmt, c.width, c.height);
  for (int y = 0; y < image.Height(); ++y) {
    std::uint8_t* out = frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0];
    for (int x = 0; x < image.Width(); ++x) {
      const Pixel p = image.At(x, y);
      out[0] = static_cast<std::uint8_t>(PixelRed(p));
      out[1] = static_cast<std::uint8_t>(PixelGreen(p));
      out[2] = static_cast<std::uint8_t>(PixelBlue(p));
      out[3] = alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width()) +
                     static_cast<std::size_t>(x)];
      out += 4;
    }
  }
  return EncodeStill(c, *frame, path);
}

Status WritePng(const Image& image, std::string_view path) {
  return EncodePicture(image, PictureFormat::Png, path);
}

Result<Image> ReadPng(std::string_view path) {
  return FfmpegPictureDecoder().DecodePicture(path, 0);
}

Status EncodeMpeg1Clip(const Mpeg1ClipSettings& settings, const FrameGenerator& generator,
                       const ClipSound* sound, std::string_view path) {
  const IntSize size = settings.size;
  if (size.width <= 0 || size.height <= 0 || size.width % 2 != 0 || size.height % 2 != 0 ||
      size.width > 4095 || size.height > 4095) {
    return Fail(WriteError(path, "MPEG-1 needs an even frame size up to 4095x4095"));
  }
  auto video = NewEncoder(AV_CODEC_ID_MPEG1VIDEO);
  if (!video) return Fail(video.error());
  AVCodecContext& v = **video;
  v.width = size.width;
  v.height = size.height;
  v.pix_fmt = AV_PIX_FMT_YUV420P;
  const bool ntsc =
      settings.ntsc && (settings.framesPerSecond == 24 || settings.framesPerSecond == 30 ||
                        settings.framesPerSecond == 60);
  const AVRational rate = ntsc ? AVRational{settings.framesPerSecond * 1000, 1001}
                               : AVRational{settings.framesPerSecond, 1};
  v.time_base = av_inv_q(rate);
  v.framerate = rate;
  v.gop_size = std::max(settings.groupSize, 1);
  v.max_b_frames = std::clamp(settings.bFrames, 0, 4);
  if (settings.closedGroups) {  // the flag is the sign bit
    v.flags = static_cast<int>(static_cast<unsigned>(v.flags) | AV_CODEC_FLAG_CLOSED_GOP);
    // The encoder closes groups only where it places them itself.
    av_opt_set_int(v.priv_data, "sc_threshold", 1000000000, 0);
  }
  v.flags |= AV_CODEC_FLAG_QSCALE;
  v.global_quality = FF_QP2LAMBDA * std::clamp(settings.quantiser, 1, 31);
  v.bit_rate = 0;

  Muxer muxer;
  if (auto s = muxer.Open("mpeg", path); !s) return s;
  auto videoStream = muxer.AddStream(v);
  if (!videoStream) return Fail(videoStream.error());

  CodecPtr audio;
  AVStream* audioStream = nullptr;
  if (sound != nullptr) {
    auto opened =
        SoundEncoder(AV_CODEC_ID_MP2, nullptr, sound->format, 64000 * sound->format.channels * 2);
    if (!opened) return Fail(opened.error());
    audio = std::move(*opened);
    auto added = muxer.AddStream(*audio);
    if (!added) return Fail(added.error());
    audioStream = *added;
  }
  if (auto s = muxer.Start(); !s) return s;

  std::unique_ptr<SoundFeeder> feeder;
  if (audio) {
    feeder = std::make_unique<SoundFeeder>(*audio, sound->samples, sound->format.channels);
    if (auto s = feeder->Prepare(); !s) return s;
  }
  Image picture(size.width, size.height);
  FramePtr frame = NewVideoFrame(AV_PIX_FMT_YUV420P, size.width, size.height);
  ScalePtr scaler;
  int index = 0;
  // Video and sound go to the muxer in time order, so it never has to hold
  // more than a few packets to interleave them.
  while (index < settings.frameCount || (feeder && !feeder->Done())) {
    const double videoTime = static_cast<double>(index) * rate.den / rate.num;
    const bool soundFirst = feeder && !feeder->Done() &&
                            (index >= settings.frameCount || feeder->NextTime() < videoTime);
    if (soundFirst) {
      FramePtr samples = feeder->Next();
      if (auto s = muxer.Send(*audio, *audioStream, samples.get()); !s) return s;
      continue;
    }
    generator(index, picture);
    if (picture.Extent() != size) return Fail(WriteError(path, "a frame changed size"));
    if (!ScaleInto(picture, *frame, scaler)) return Fail(MediaError("Cannot convert a frame"));
    frame->pts = index;
    if (auto s = muxer.Send(v, **videoStream, frame.get()); !s) return s;
    ++index;
  }
  if (auto s = muxer.Send(v, **videoStream, nullptr); !s) return s;
  if (audio) {
    if (auto s = muxer.Send(*audio, *audioStream, nullptr); !s) return s;
  }
  return muxer.Finish();
}

bool CanEncodeAudio(AudioFileType type) {
  if (!SetUpOnce()) return false;
  switch (type) {
    case AudioFileType::Wav:
      return avcodec_find_encoder(AV_CODEC_ID_PCM_S16LE) != nullptr;
    case AudioFileType::Mp3:
      return avcodec_find_encoder(AV_CODEC_ID_MP3) != nullptr;
    case AudioFileType::Mp2:
      return avcodec_find_encoder(AV_CODEC_ID_MP2) != nullptr;
  }
  return false;
}

Status EncodeAudioFile(std::span<const std::int16_t> samples, AudioFormat format,
                       AudioFileType type, std::string_view path, int bitRate) {
  const AVCodecID id = type == AudioFileType::Wav   ? AV_CODEC_ID_PCM_S16LE
                       : type == AudioFileType::Mp3 ? AV_CODEC_ID_MP3
                                                    : AV_CODEC_ID_MP2;
  const char* container = type == AudioFileType::Wav   ? "wav"
                          : type == AudioFileType::Mp3 ? "mp3"
                                                       : "mp2";
  // MPEG-2's half rates (16 to 24 kHz) allow MP2 at most 160 kbit/s.
  const int defaultRate = type == AudioFileType::Wav                                ? 0
                          : type == AudioFileType::Mp2 && format.sampleRate < 32000 ? 160000
                                                                                    : 192000;
  auto codec = SoundEncoder(id, nullptr, format,
                            type == AudioFileType::Wav || bitRate <= 0 ? defaultRate : bitRate);
  if (!codec) return Fail(codec.error());
  Muxer muxer;
  if (auto s = muxer.Open(container, path); !s) return s;
  auto stream = muxer.AddStream(**codec);
  if (!stream) return Fail(stream.error());
  if (auto s = muxer.Start(); !s) return s;
  SoundFeeder feeder(**codec, samples, format.channels);
  if (auto s = feeder.Prepare(); !s) return s;
  while (!feeder.Done()) {
    FramePtr frame = feeder.Next();
    if (auto s = muxer.Send(**codec, **stream, frame.get()); !s) return s;
  }
  if (auto s = muxer.Send(**codec, **stream, nullptr); !s) return s;
  return muxer.Finish();
}

}  // namespace vistel
