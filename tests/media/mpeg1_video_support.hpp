// MPEG-1 video elementary streams made with FFmpeg's encoder and decoded with
// FFmpeg's decoder and with ours, for the tests of src/media/mpeg1.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/mpeg1/video_decoder.hpp"
#include "mpeg1/crafted_video.hpp"

namespace vistel::testing {

// What moves in the generated pictures.
enum class Motion {
  Still,   // nothing: P and B pictures are mostly skipped macroblocks
  Pan,     // the whole picture slides, by fractions of a sample
  Fast,    // the whole picture jumps far each picture: long vectors
  Sprite,  // a still background with a textured square crossing it
  Noise,   // fresh detail each picture: many coefficients, many escapes
};

struct StreamSettings {
  int width = 176;
  int height = 144;
  int frames = 12;
  int gopSize = 12;   // pictures from one I picture to the next
  int bFrames = 0;    // B pictures between references
  int quantiser = 4;  // fixed, 1..31
  Motion motion = Motion::Pan;
  bool customMatrices = false;
  int packetSize = 0;  // > 0: a new slice whenever a slice reaches this many bytes
  bool closedGops = false;
};

// FFmpeg's libraries, which the helpers below call directly.
inline void RequireFfmpeg() {
  if (auto loaded = ffmpeg::LoadFfmpeg(); !loaded) {
    throw std::runtime_error(loaded.error().description);
  }
}

// Content of picture n: smooth gradients and sharp detail, moved by n.
inline void DrawPicture(const StreamSettings& s, int n, AVFrame& frame) {
  double dx = 0, dy = 0;
  switch (s.motion) {
    case Motion::Still:
    case Motion::Sprite:
    case Motion::Noise:
      break;
    case Motion::Pan:
      dx = 1.5 * n;
      dy = 0.75 * n;
      break;
    case Motion::Fast:
      dx = 19.5 * n;
      dy = -11.0 * n;
      break;
  }
  auto texture = [&](double x, double y) {
    const double v = 128 + 60 * std::sin(x * 0.11) * std::cos(y * 0.07) +
                     40 * std::sin((x + y) * 0.031) +
                     ((static_cast<int>(x / 8) + static_cast<int>(y / 8)) % 2 ? 20 : -20);
    return std::clamp(v, 16.0, 235.0);
  };
  std::uint32_t noise = 12345U + static_cast<std::uint32_t>(n) * 7919U;
  for (int y = 0; y < frame.height; ++y) {
    std::uint8_t* row = frame.data[0] + static_cast<std::ptrdiff_t>(y) * frame.linesize[0];
    for (int x = 0; x < frame.width; ++x) {
      double v = texture(x + dx + 1000, y + dy + 1000);
      if (s.motion == Motion::Sprite) {
        const int sx = 40 + 3 * n, sy = 36 + 2 * n;
        if (x >= sx && x < sx + 40 && y >= sy && y < sy + 32) v = 255 - texture(x - sx, y - sy);
      }
      if (s.motion == Motion::Noise) {
        noise = noise * 1103515245U + 12345U;
        v = std::clamp(v + static_cast<double>((noise >> 16) % 81) - 40, 0.0, 255.0);
      }
      row[x] = static_cast<std::uint8_t>(std::lround(v));
    }
  }
  const int cw = (frame.width + 1) / 2, ch = (frame.height + 1) / 2;
  for (int y = 0; y < ch; ++y) {
    std::uint8_t* cb = frame.data[1] + static_cast<std::ptrdiff_t>(y) * frame.linesize[1];
    std::uint8_t* cr = frame.data[2] + static_cast<std::ptrdiff_t>(y) * frame.linesize[2];
    for (int x = 0; x < cw; ++x) {
      const double u = 2 * x + dx, v = 2 * y + dy;
      cb[x] = static_cast<std::uint8_t>(std::lround(128 + 90 * std::sin(u * 0.05 + v * 0.02)));
      cr[x] = static_cast<std::uint8_t>(std::lround(128 + 90 * std::cos(v * 0.045 - u * 0.01)));
    }
  }
}

// The elementary stream of the settings' pictures, from FFmpeg's encoder.
inline std::vector<std::uint8_t> EncodeStream(const StreamSettings& s) {
  using namespace ffmpeg;
  RequireFfmpeg();
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  if (codec == nullptr) throw std::runtime_error("no MPEG-1 video encoder");
  CodecPtr context(avcodec_alloc_context3(codec));
  AVCodecContext& c = *context;
  c.width = s.width;
  c.height = s.height;
  c.pix_fmt = AV_PIX_FMT_YUV420P;
  c.time_base = {1, 25};
  c.framerate = {25, 1};
  c.gop_size = s.gopSize;
  c.max_b_frames = s.bFrames;
  c.flags |= AV_CODEC_FLAG_QSCALE;
  if (s.closedGops) c.flags |= static_cast<int>(AV_CODEC_FLAG_CLOSED_GOP);
  c.global_quality = FF_QP2LAMBDA * s.quantiser;
  c.thread_count = 1;
  if (s.customMatrices) {
    // Raster order; MPEG-1 scales the intra DC term by 8 whatever the matrix.
    auto* intra = static_cast<std::uint16_t*>(av_malloc(64 * sizeof(std::uint16_t)));
    auto* inter = static_cast<std::uint16_t*>(av_malloc(64 * sizeof(std::uint16_t)));
    for (int i = 0; i < 64; ++i) {
      intra[i] = static_cast<std::uint16_t>(i == 0 ? 8 : 10 + (i % 8) * 3 + (i / 8) * 5);
      inter[i] = static_cast<std::uint16_t>(12 + (i % 8) * 4 + (i / 8) * 2);
    }
    c.intra_matrix = intra;
    c.inter_matrix = inter;
  }
  AVDictionary* options = nullptr;
  if (s.packetSize > 0) av_dict_set_int(&options, "ps", s.packetSize, 0);
  // FFmpeg closes groups only without scene change detection.
  if (s.closedGops) av_dict_set_int(&options, "sc_threshold", 1000000000, 0);
  const int opened = avcodec_open2(&c, codec, &options);
  av_dict_free(&options);
  if (opened < 0) throw std::runtime_error("cannot open the encoder: " + ErrorText(opened));

  std::vector<std::uint8_t> stream;
  PacketPtr packet = NewPacket();
  auto drain = [&] {
    while (avcodec_receive_packet(&c, packet.get()) == 0) {
      stream.insert(stream.end(), packet->data, packet->data + packet->size);
      av_packet_unref(packet.get());
    }
  };
  for (int n = 0; n < s.frames; ++n) {
    FramePtr frame = NewFrame();
    frame->format = c.pix_fmt;
    frame->width = c.width;
    frame->height = c.height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) throw std::bad_alloc();
    DrawPicture(s, n, *frame);
    frame->pts = n;
    frame->quality = c.global_quality;
    if (avcodec_send_frame(&c, frame.get()) < 0) throw std::runtime_error("cannot encode");
    drain();
  }
  avcodec_send_frame(&c, nullptr);
  drain();
  return stream;
}

// A decoded picture, planes without padding.
struct YuvPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> y, cb, cr;
  int concealed = 0;

  int ChromaWidth() const { return (width + 1) / 2; }
  int ChromaHeight() const { return (height + 1) / 2; }
  Yuv420View View() const {
    return {width, height, y.data(), cb.data(), cr.data(), width, ChromaWidth()};
  }
};

inline void CopyPlane(const std::uint8_t* from, std::ptrdiff_t stride, int width, int height,
                      std::vector<std::uint8_t>& to) {
  to.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    std::memcpy(to.data() + static_cast<std::ptrdiff_t>(y) * width, from + y * stride,
                static_cast<std::size_t>(width));
  }
}

inline YuvPicture CopyView(const Yuv420View& v) {
  YuvPicture p;
  p.width = v.width;
  p.height = v.height;
  CopyPlane(v.y, v.yStride, v.width, v.height, p.y);
  CopyPlane(v.cb, v.chromaStride, v.ChromaWidth(), v.ChromaHeight(), p.cb);
  CopyPlane(v.cr, v.chromaStride, v.ChromaWidth(), v.ChromaHeight(), p.cr);
  return p;
}

inline Yuv420View ViewOf(const AVFrame& f) {
  return {f.width, f.height, f.data[0], f.data[1], f.data[2], f.linesize[0], f.linesize[1]};
}

// FFmpeg's decoder over the stream, split into pictures by its parser as
// its demuxer does. `each` sees every decoded frame.
template <class Each>
void DecodeWithFfmpeg(std::span<const std::uint8_t> stream, Each each) {
  using namespace ffmpeg;
  RequireFfmpeg();
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO);
  CodecPtr context(avcodec_alloc_context3(codec));
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) throw std::runtime_error("no decoder");
  AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_MPEG1VIDEO);
  PacketPtr packet = NewPacket();
  FramePtr frame = NewFrame();
  auto receive = [&] {
    while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
      each(*frame);
      av_frame_unref(frame.get());
    }
  };
  // The parser wants padding after its input.
  std::vector<std::uint8_t> padded(stream.begin(), stream.end());
  padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
  const std::uint8_t* data = padded.data();
  int left = static_cast<int>(stream.size());
  // Every byte, then an empty call that gives out the last picture.
  for (bool last = false; !last;) {
    last = left == 0;
    std::uint8_t* out = nullptr;
    int outSize = 0;
    const int used = av_parser_parse2(parser, context.get(), &out, &outSize, last ? nullptr : data,
                                      left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    data += used;
    left -= used;
    if (outSize > 0) {
      packet->data = out;
      packet->size = outSize;
      avcodec_send_packet(context.get(), packet.get());
      receive();
    }
  }
  avcodec_send_packet(context.get(), nullptr);
  receive();
  av_parser_close(parser);
}

// The video packets of a system stream file as its demuxer reads them,
// without joining them into pictures: the payloads of the packs.
inline std::vector<std::vector<std::uint8_t>> VideoPayloads(const std::string& path) {
  using namespace ffmpeg;
  RequireFfmpeg();
  AVFormatContext* raw = avformat_alloc_context();
  raw->flags |= AVFMT_FLAG_NOPARSE;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    throw std::runtime_error("cannot open " + path);
  }
  std::vector<std::vector<std::uint8_t>> payloads;
  PacketPtr packet = NewPacket();
  while (av_read_frame(raw, packet.get()) >= 0) {
    const AVStream* stream = raw->streams[packet->stream_index];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
      payloads.emplace_back(packet->data, packet->data + packet->size);
    }
    av_packet_unref(packet.get());
  }
  avformat_close_input(&raw);
  return payloads;
}

inline std::vector<YuvPicture> FfmpegPictures(std::span<const std::uint8_t> stream) {
  std::vector<YuvPicture> pictures;
  DecodeWithFfmpeg(stream, [&](const AVFrame& f) { pictures.push_back(CopyView(ViewOf(f))); });
  return pictures;
}

// Our decoder over the stream, pushed in chunks of `chunk` bytes.
struct OurDecode {
  std::vector<YuvPicture> pictures;
  std::vector<std::string> errors;
  std::int64_t damaged = 0;
};

inline OurDecode OurPictures(std::span<const std::uint8_t> stream, std::size_t chunk = 4096,
                             Mpeg1VideoDecoder::Options options = {}) {
  OurDecode result;
  Mpeg1VideoDecoder decoder(options);
  auto pull = [&] {
    while (true) {
      auto next = decoder.NextPicture();
      if (!next) {
        result.errors.push_back(next.error().description);
        continue;
      }
      if (!*next) break;
      YuvPicture p = CopyView((*next)->planes);
      p.concealed = (*next)->concealedMacroblocks;
      result.pictures.push_back(std::move(p));
    }
  };
  for (std::size_t at = 0; at < stream.size(); at += chunk) {
    decoder.Push(stream.subspan(at, std::min(chunk, stream.size() - at)));
    pull();
  }
  decoder.Finish();
  pull();
  result.damaged = decoder.DamagedUnits();
  return result;
}

// How far two pictures are apart, over all three planes.
struct Difference {
  int maxAbs = 0;
  double psnr = 99;  // dB; 99 for identical pictures
};

inline Difference Compare(const YuvPicture& a, const YuvPicture& b) {
  Difference d;
  double squares = 0;
  std::size_t count = 0;
  for (auto plane : {&YuvPicture::y, &YuvPicture::cb, &YuvPicture::cr}) {
    const auto& pa = a.*plane;
    const auto& pb = b.*plane;
    for (std::size_t i = 0; i < std::min(pa.size(), pb.size()); ++i) {
      const int e = std::abs(pa[i] - pb[i]);
      d.maxAbs = std::max(d.maxAbs, e);
      squares += e * e;
    }
    count += pa.size();
  }
  if (squares > 0) d.psnr = 10 * std::log10(255.0 * 255.0 * static_cast<double>(count) / squares);
  return d;
}

}  // namespace vistel::testing

namespace vistel::testing {

struct StartCode {
  std::size_t offset;
  std::uint8_t code;
};

inline std::vector<StartCode> StartCodes(std::span<const std::uint8_t> s) {
  std::vector<StartCode> codes;
  for (std::size_t i = 0; i + 3 < s.size(); ++i) {
    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) codes.push_back({i, s[i + 3]});
  }
  return codes;
}

// The picture_coding_type of the picture header at `offset`.
inline int PictureType(std::span<const std::uint8_t> s, std::size_t offset) {
  return (s[offset + 5] >> 3) & 7;
}

// The offset of the n-th (from 1) start code `code`; the stream's size if none.
inline std::size_t NthStartCode(std::span<const std::uint8_t> s, std::uint8_t code, int n) {
  for (const StartCode& c : StartCodes(s)) {
    if (c.code == code && --n == 0) return c.offset;
  }
  return s.size();
}

}  // namespace vistel::testing
