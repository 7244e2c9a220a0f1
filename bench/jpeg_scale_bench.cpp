// A camera's photograph (12 and 24 megapixels) shown on a 1920x1080 screen:
// decoded at a scale that covers the screen and resampled row by row as the
// rows are decoded (the player now),
// against the whole decode of FFmpeg alone (one thread, no conversion to
// RGB), libjpeg-turbo's whole decode, and what the player did before
// (FFmpeg's whole decode, converted, then resampled). The goal: at least 3x
// faster than either whole decode. jpeg_scale.sh runs these on the files it
// generates (VISTEL_BENCH_JPEG_12MP, VISTEL_BENCH_JPEG_24MP) beside djpeg;
// without them the files are generated here.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/resample.hpp"
#include "media/ffmpeg/ffmpeg_support.hpp"
#include "media/ffmpeg/media_input.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "media/jpeg/jpeg_picture_decoder.hpp"
#include "media/synthetic_photo.hpp"

namespace {

using namespace vistel;

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

const std::string& PhotoPath(int megapixels) {
  static std::string paths[2];
  std::string& path = paths[megapixels == 12 ? 0 : 1];
  if (path.empty()) {
    const char* given =
        std::getenv(megapixels == 12 ? "VISTEL_BENCH_JPEG_12MP" : "VISTEL_BENCH_JPEG_24MP");
    if (given != nullptr) {
      path = given;
    } else {
      path = (std::filesystem::temp_directory_path() /
              ("vistel-jpeg-scale-bench-" + std::to_string(megapixels) + "mp"))
                 .string();
      const int width = megapixels == 12 ? 4000 : 6000;
      const int height = megapixels == 12 ? 3000 : 4000;
      if (!testing::WriteJpeg(testing::SyntheticPhoto(width, height), path,
                              testing::JpegStyle::Camera)) {
        std::abort();
      }
    }
  }
  return path;
}

void BM_Ours(benchmark::State& state) {
  const std::string& path = PhotoPath(static_cast<int>(state.range(0)));
  FfmpegPictureDecoder ffmpeg;
  JpegPictureDecoder decoder(ffmpeg);
  for (auto _ : state) {
    auto opened = decoder.OpenPicture(path, 0);
    if (!opened) {
      state.SkipWithError(opened.error().description.c_str());
      break;
    }
    auto shown = DecodeResampled(**opened, kScreenWidth, kScreenHeight, ResampleFilter::Smooth);
    if (!shown) {
      state.SkipWithError(shown.error().description.c_str());
      break;
    }
    benchmark::DoNotOptimize(shown->Pixels().data());
  }
}
BENCHMARK(BM_Ours)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);

// The picture decoded whole at the reduced scale for the screen.
Result<DecodedPixels> DecodeAtScale(JpegPictureDecoder& decoder, const std::string& path) {
  auto opened = decoder.OpenPicture(path, 0);
  if (!opened) return Fail(opened.error());
  return (*opened)->Decode({kScreenWidth, kScreenHeight});
}

// BM_Ours in two steps, the decode whole at its scale and then resampled,
// and each step alone.
void BM_OursTwoSteps(benchmark::State& state) {
  const std::string& path = PhotoPath(static_cast<int>(state.range(0)));
  FfmpegPictureDecoder ffmpeg;
  JpegPictureDecoder decoder(ffmpeg);
  for (auto _ : state) {
    auto pixels = DecodeAtScale(decoder, path);
    if (!pixels) {
      state.SkipWithError(pixels.error().description.c_str());
      break;
    }
    auto shown = ResampleImage(pixels->image, pixels->extent, kScreenWidth, kScreenHeight,
                               ResampleFilter::Smooth);
    benchmark::DoNotOptimize(shown);
  }
}
BENCHMARK(BM_OursTwoSteps)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_OursDecodeOnly(benchmark::State& state) {
  const std::string& path = PhotoPath(static_cast<int>(state.range(0)));
  FfmpegPictureDecoder ffmpeg;
  JpegPictureDecoder decoder(ffmpeg);
  for (auto _ : state) {
    auto pixels = DecodeAtScale(decoder, path);
    if (!pixels) {
      state.SkipWithError(pixels.error().description.c_str());
      break;
    }
    benchmark::DoNotOptimize(pixels->image.Pixels().data());
  }
}
BENCHMARK(BM_OursDecodeOnly)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_OursResampleOnly(benchmark::State& state) {
  const std::string& path = PhotoPath(static_cast<int>(state.range(0)));
  FfmpegPictureDecoder ffmpeg;
  JpegPictureDecoder decoder(ffmpeg);
  auto opened = decoder.OpenPicture(path, 0);
  auto pixels = opened ? (*opened)->Decode({kScreenWidth, kScreenHeight})
                       : Result<DecodedPixels>(Fail(opened.error()));
  if (!pixels) {
    state.SkipWithError(pixels.error().description.c_str());
    return;
  }
  for (auto _ : state) {
    auto shown = ResampleImage(pixels->image, pixels->extent, kScreenWidth, kScreenHeight,
                               ResampleFilter::Smooth);
    benchmark::DoNotOptimize(shown);
  }
}
BENCHMARK(BM_OursResampleOnly)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);

void BM_Before(benchmark::State& state) {
  const std::string& path = PhotoPath(static_cast<int>(state.range(0)));
  FfmpegPictureDecoder decoder;
  for (auto _ : state) {
    auto image = decoder.DecodePicture(path, 0);
    if (!image) {
      state.SkipWithError(image.error().description.c_str());
      break;
    }
    auto shown = ResampleImage(*image, kScreenWidth, kScreenHeight, ResampleFilter::Smooth);
    benchmark::DoNotOptimize(shown);
  }
}
BENCHMARK(BM_Before)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);

// FFmpeg's decode alone: the file opened, its one frame decoded to YUV.
void BM_FfmpegWholeDecode(benchmark::State& state) {
  using namespace vistel::ffmpeg;
  const std::string& path = PhotoPath(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    auto input = OpenInput(path, MediaKind::Picture);
    if (!input) {
      state.SkipWithError(input.error().description.c_str());
      break;
    }
    const int stream = FindVideoStream(**input);
    auto codec = OpenDecoder(**input, stream, MediaKind::Picture, 1);
    if (!codec) {
      state.SkipWithError(codec.error().description.c_str());
      break;
    }
    PacketPtr packet = NewPacket();
    FramePtr frame = NewFrame();
    while (av_read_frame(input->get(), packet.get()) >= 0) {
      const bool ours = packet->stream_index == stream;
      if (ours) avcodec_send_packet(codec->get(), packet.get());
      av_packet_unref(packet.get());
      if (ours) break;
    }
    avcodec_send_packet(codec->get(), nullptr);
    if (avcodec_receive_frame(codec->get(), frame.get()) != 0) {
      state.SkipWithError("no frame");
      break;
    }
    benchmark::DoNotOptimize(frame->data[0]);
  }
}
BENCHMARK(BM_FfmpegWholeDecode)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);

// libjpeg-turbo's whole decode, from memory to 32-bit pixels (the file read
// once per iteration, as the player reads it).
void BM_LibjpegWholeDecode(benchmark::State& state) {
  const std::string& path = PhotoPath(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::vector<unsigned char> bytes(std::filesystem::file_size(path));
    const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr err{};
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(got));
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&cinfo);
    std::vector<unsigned char> pixels(std::size_t{cinfo.output_width} * cinfo.output_height * 4);
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels.data() + std::size_t{cinfo.output_scanline} * cinfo.output_width * 4;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    benchmark::DoNotOptimize(pixels.data());
  }
}
BENCHMARK(BM_LibjpegWholeDecode)->Arg(12)->Arg(24)->Unit(benchmark::kMillisecond);

}  // namespace
