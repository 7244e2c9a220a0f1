// A minute of 44.1 kHz stereo MPEG audio layer II at 224 kbit/s (a Video
// CD's sound), decoded to 16-bit stereo: by the project's own decoder (what
// the Windows player uses), by FFmpeg's decoder on the same frames, and by
// FFmpeg's whole path as the Linux player reads a sound (OpenAudioFile:
// demuxer, decoder and resampler).
#include <benchmark/benchmark.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/ffmpeg_library.hpp"
#include "media/mpeg1/audio_decoder.hpp"

namespace {

using namespace vistel;

constexpr int kRate = 44100;
constexpr int kSeconds = 60;

// Chords that move, with a little noise: every subband has something.
const std::string& SoundPath() {
  static const std::string path = [] {
    const std::string file =
        (std::filesystem::temp_directory_path() / "vistel-mpeg-audio-bench.mp2").string();
    std::vector<std::int16_t> samples(static_cast<std::size_t>(kRate) * kSeconds * 2);
    unsigned noise = 1;
    for (std::size_t i = 0; i < samples.size() / 2; ++i) {
      const double t = static_cast<double>(i) / kRate;
      const double root = 110.0 * std::pow(2.0, std::floor(t / 2) / 12.0);
      double v = 0;
      for (double harmonic : {1.0, 1.25, 1.5, 2.0, 3.0, 5.0}) {
        v += std::sin(2 * std::numbers::pi * root * harmonic * t) / harmonic;
      }
      noise = noise * 1103515245U + 12345U;
      const double n = static_cast<double>((noise >> 16U) & 0x7FFFU) / 32768.0 - 0.5;
      samples[2 * i] = static_cast<std::int16_t>(std::lround(8000 * v + 1500 * n));
      samples[2 * i + 1] = static_cast<std::int16_t>(std::lround(7000 * v - 1500 * n));
    }
    if (!EncodeAudioFile(samples, {kRate, 2}, AudioFileType::Mp2, file, 224000)) std::abort();
    return file;
  }();
  return path;
}

std::vector<std::uint8_t> SoundBytes() {
  std::ifstream in(SoundPath(), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::vector<std::uint8_t>> SoundFrames() {
  mpeg1::MpegAudioFrameSplitter splitter;
  splitter.Push(SoundBytes());
  splitter.Finish();
  std::vector<std::vector<std::uint8_t>> frames;
  while (auto f = splitter.Next()) frames.emplace_back(f->begin(), f->end());
  return frames;
}

void Report(benchmark::State& state, std::int64_t samples) {
  state.counters["x realtime"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kSeconds, benchmark::Counter::kIsRate);
  state.counters["samples"] = static_cast<double>(samples);
}

// The bytes through the splitter and the decoder.
void BM_MpegAudioMinuteOurs(benchmark::State& state) {
  const auto bytes = SoundBytes();
  std::vector<std::int16_t> out(mpeg1::MpegAudioDecoder::kMaxFrameSamples);
  std::int64_t samples = 0;
  for (auto _ : state) {
    mpeg1::MpegAudioFrameSplitter splitter;
    mpeg1::MpegAudioDecoder decoder;
    splitter.Push(bytes);
    splitter.Finish();
    samples = 0;
    while (auto frame = splitter.Next()) {
      auto info = decoder.Decode(*frame, out);
      if (!info) state.SkipWithError(info.error().description.c_str());
      if (info) samples += info->samples * info->outputChannels;
      benchmark::DoNotOptimize(out.data());
    }
  }
  Report(state, samples);
}
BENCHMARK(BM_MpegAudioMinuteOurs)->Unit(benchmark::kMillisecond);

// FFmpeg's MP2 decoder alone, on the same frames as packets.
void BM_MpegAudioMinuteFfmpegDecoder(benchmark::State& state) {
  auto frames = SoundFrames();
  if (auto loaded = ffmpeg::LoadFfmpeg(); !loaded) {
    state.SkipWithError(loaded.error().description.c_str());
    return;
  }
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MP2);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  std::int64_t samples = 0;
  for (auto _ : state) {
    AVCodecContext* context = avcodec_alloc_context3(codec);
    if (avcodec_open2(context, codec, nullptr) < 0) state.SkipWithError("cannot open mp2");
    samples = 0;
    for (auto& f : frames) {
      packet->data = f.data();
      packet->size = static_cast<int>(f.size());
      if (avcodec_send_packet(context, packet) < 0) continue;
      while (avcodec_receive_frame(context, frame) == 0) {
        samples += static_cast<std::int64_t>(frame->nb_samples) * frame->ch_layout.nb_channels;
        benchmark::DoNotOptimize(frame->data[0]);
        av_frame_unref(frame);
      }
    }
    avcodec_free_context(&context);
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  Report(state, samples);
}
BENCHMARK(BM_MpegAudioMinuteFfmpegDecoder)->Unit(benchmark::kMillisecond);

// The Linux player's path: the file opened and pulled through.
void BM_MpegAudioMinuteOpenAudioFile(benchmark::State& state) {
  const std::string& path = SoundPath();
  std::vector<std::int16_t> chunk(4096);
  std::int64_t samples = 0;
  for (auto _ : state) {
    auto file = OpenAudioFile(path);
    if (!file) state.SkipWithError(file.error().description.c_str());
    if (!file) break;
    samples = 0;
    while (std::size_t n = (*file)->Pull(chunk)) samples += static_cast<std::int64_t>(n);
  }
  Report(state, samples);
}
BENCHMARK(BM_MpegAudioMinuteOpenAudioFile)->Unit(benchmark::kMillisecond);

}  // namespace
