// The MPEG-1 video decoder that plays clips without FFmpeg, against FFmpeg's
// decoder on the same elementary stream: two seconds of 352x288 at 25
// pictures per second (I, P and B pictures, a group every 15), decoded
// alone and decoded then converted to Images as the clip decoders do. Both
// decode on one thread; FFmpeg's gets the stream already split into
// pictures, as its demuxer hands it over.
#include <benchmark/benchmark.h>

#include <vector>

#include "../tests/media/mpeg1_video_support.hpp"
#include "media/ffmpeg/frame_convert.hpp"
#include "media/mpeg1/video_decoder.hpp"

namespace {

using namespace vistel;

constexpr int kPictures = 50;

const std::vector<std::uint8_t>& Stream() {
  static const std::vector<std::uint8_t> stream = [] {
    testing::StreamSettings s;
    s.width = 352;
    s.height = 288;
    s.frames = kPictures;
    s.gopSize = 15;
    s.bFrames = 2;
    s.quantiser = 4;
    s.motion = testing::Motion::Pan;
    return testing::EncodeStream(s);
  }();
  return stream;
}

// The stream cut into pictures by FFmpeg's parser, each with the padding
// FFmpeg's decoder reads past a packet's end.
struct Packet {
  std::vector<std::uint8_t> bytes;
  int size;
};

const std::vector<Packet>& Packets() {
  static const std::vector<Packet> packets = [] {
    std::vector<Packet> out;
    const auto& stream = Stream();
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_MPEG1VIDEO);
    ffmpeg::CodecPtr context(avcodec_alloc_context3(nullptr));
    std::vector<std::uint8_t> padded(stream);
    padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const std::uint8_t* data = padded.data();
    int left = static_cast<int>(stream.size());
    for (bool last = false; !last;) {
      last = left == 0;
      std::uint8_t* packet = nullptr;
      int size = 0;
      const int used =
          av_parser_parse2(parser, context.get(), &packet, &size, last ? nullptr : data, left,
                           AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
      data += used;
      left -= used;
      if (size > 0) {
        Packet p{{packet, packet + size}, size};
        p.bytes.resize(p.bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        out.push_back(std::move(p));
      }
    }
    av_parser_close(parser);
    return out;
  }();
  return packets;
}

void Ours(benchmark::State& state, bool convert) {
  const auto& stream = Stream();
  Image image;
  for (auto _ : state) {
    Mpeg1VideoDecoder decoder;
    decoder.Push(stream);
    decoder.Finish();
    int pictures = 0;
    while (true) {
      auto next = decoder.NextPicture();
      if (!next || !*next) break;
      if (convert) Yuv420ToImage((*next)->planes, image);
      ++pictures;
    }
    if (pictures != kPictures) state.SkipWithError("wrong picture count");
    benchmark::DoNotOptimize(image.Pixels().data());
  }
  state.SetItemsProcessed(state.iterations() * kPictures);
}

void Ffmpeg(benchmark::State& state, bool convert) {
  const auto& packets = Packets();
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MPEG1VIDEO);
  ffmpeg::FramePtr frame = ffmpeg::NewFrame();
  ffmpeg::PacketPtr packet = ffmpeg::NewPacket();
  ffmpeg::ScalePtr scaler;
  Image image;
  for (auto _ : state) {
    ffmpeg::CodecPtr context(avcodec_alloc_context3(codec));
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0) state.SkipWithError("no decoder");
    int pictures = 0;
    auto receive = [&] {
      while (avcodec_receive_frame(context.get(), frame.get()) == 0) {
        if (convert) ffmpeg::ConvertFrame(*frame, scaler, image);
        av_frame_unref(frame.get());
        ++pictures;
      }
    };
    for (const auto& p : packets) {
      packet->data = const_cast<std::uint8_t*>(p.bytes.data());
      packet->size = p.size;
      avcodec_send_packet(context.get(), packet.get());
      receive();
    }
    avcodec_send_packet(context.get(), nullptr);
    receive();
    if (pictures != kPictures) state.SkipWithError("wrong picture count");
    benchmark::DoNotOptimize(image.Pixels().data());
  }
  state.SetItemsProcessed(state.iterations() * kPictures);
}

void BM_Mpeg1VideoOurs(benchmark::State& state) {
  Ours(state, false);
}
void BM_Mpeg1VideoFfmpeg(benchmark::State& state) {
  Ffmpeg(state, false);
}
void BM_Mpeg1VideoOursToImage(benchmark::State& state) {
  Ours(state, true);
}
void BM_Mpeg1VideoFfmpegToImage(benchmark::State& state) {
  Ffmpeg(state, true);
}

BENCHMARK(BM_Mpeg1VideoOurs)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpeg1VideoFfmpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpeg1VideoOursToImage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Mpeg1VideoFfmpegToImage)->Unit(benchmark::kMillisecond);

}  // namespace
