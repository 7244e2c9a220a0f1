// Writes the media seeds of the fuzz targets with the project's own encoders:
// small pictures in every format the picture decoder takes, MPEG-1 clips with
// and without sound, sound files, and MPEG-1 video elementary streams (from
// FFmpeg's encoder directly, for the B pictures, matrices and slices the
// clip encoder does not write). Run by make_corpus.py; the output is
// committed, so the seeds stay the same until someone makes them anew.
//
//   make_media_seeds CORPUS_FOLDER
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/ffmpeg_support.hpp"

using namespace vistel;

namespace {

// Gradients for the lossy and filtered paths, hard-edged blocks for the
// palette and run-length ones.
Image Gradient(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.At(x, y) = MakePixel(static_cast<unsigned>(x * 255 / std::max(width - 1, 1)),
                                 static_cast<unsigned>(y * 255 / std::max(height - 1, 1)),
                                 static_cast<unsigned>((x + y) * 8));
    }
  }
  return image;
}

Image Blocks(int width, int height) {
  constexpr Pixel kColours[] = {MakePixel(255, 0, 0), MakePixel(0, 160, 0), MakePixel(0, 0, 255),
                                MakePixel(255, 255, 255)};
  Image image(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.At(x, y) = kColours[(x / 4 + y / 4) % 4];
  }
  return image;
}

bool Report(const Status& status, const std::filesystem::path& path) {
  if (!status) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), status.error().description.c_str());
    return false;
  }
  return true;
}

std::vector<std::int16_t> Tone(AudioFormat format, int durationMs) {
  const int frames = format.sampleRate * durationMs / 1000;
  std::vector<std::int16_t> samples;
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / format.sampleRate;
    const auto v = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
    for (int c = 0; c < format.channels; ++c) samples.push_back(v);
  }
  return samples;
}

// An MPEG-1 video elementary stream of a square moving over a gradient,
// behind the one byte that sets the fuzz target's chunk size.
bool WriteVideoStream(const std::filesystem::path& path, int width, int height, int frames,
                      int bFrames, bool matricesAndSlices) {
  using namespace ffmpeg;
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG1VIDEO);
  CodecPtr context(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
  if (!context) return false;
  AVCodecContext& c = *context;
  c.width = width;
  c.height = height;
  c.pix_fmt = AV_PIX_FMT_YUV420P;
  c.time_base = {1, 25};
  c.gop_size = frames;
  c.max_b_frames = bFrames;
  c.flags |= AV_CODEC_FLAG_QSCALE;
  c.global_quality = FF_QP2LAMBDA * 6;
  AVDictionary* options = nullptr;
  if (matricesAndSlices) {
    auto* intra = static_cast<std::uint16_t*>(av_malloc(64 * sizeof(std::uint16_t)));
    auto* inter = static_cast<std::uint16_t*>(av_malloc(64 * sizeof(std::uint16_t)));
    for (int i = 0; i < 64; ++i) {
      intra[i] = static_cast<std::uint16_t>(i == 0 ? 8 : 12 + i);
      inter[i] = static_cast<std::uint16_t>(20 + i / 2);
    }
    c.intra_matrix = intra;
    c.inter_matrix = inter;
    av_dict_set_int(&options, "ps", 1, 0);  // a slice per macroblock
  }
  const int opened = avcodec_open2(&c, codec, &options);
  av_dict_free(&options);
  if (opened < 0) return false;
  std::vector<std::uint8_t> bytes = {3};
  PacketPtr packet = NewPacket();
  auto drain = [&] {
    while (avcodec_receive_packet(&c, packet.get()) == 0) {
      bytes.insert(bytes.end(), packet->data, packet->data + packet->size);
      av_packet_unref(packet.get());
    }
  };
  Image picture(width, height);
  ScalePtr scaler;
  for (int n = 0; n < frames; ++n) {
    picture = Gradient(width, height);
    for (int y = 4; y < 12; ++y) {
      for (int x = 2 + 3 * n; x < 10 + 3 * n && x < width; ++x)
        picture.At(x, y) = MakePixel(250, 250, 40);
    }
    FramePtr frame = NewFrame();
    frame->format = c.pix_fmt;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
    SwsContext* sws =
        sws_getCachedContext(scaler.release(), width, height, AV_PIX_FMT_0RGB32, width, height,
                             c.pix_fmt, SWS_BICUBIC, nullptr, nullptr, nullptr);
    scaler.reset(sws);
    const std::uint8_t* in[4] = {reinterpret_cast<const std::uint8_t*>(picture.Pixels().data()),
                                 nullptr, nullptr, nullptr};
    const int strides[4] = {width * 4, 0, 0, 0};
    if (sws == nullptr ||
        sws_scale(sws, in, strides, 0, height, frame->data, frame->linesize) != height) {
      return false;
    }
    frame->pts = n;
    frame->quality = c.global_quality;
    if (avcodec_send_frame(&c, frame.get()) < 0) return false;
    drain();
  }
  avcodec_send_frame(&c, nullptr);
  drain();
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_media_seeds CORPUS_FOLDER\n");
    return 2;
  }
  // The MPEG-1 streams below call FFmpeg's encoder directly.
  if (auto loaded = ffmpeg::LoadFfmpeg(); !loaded) {
    std::fprintf(stderr, "make_media_seeds: %s\n", loaded.error().description.c_str());
    return 1;
  }
  const std::filesystem::path root(argv[1]);
  bool ok = true;

  struct Format {
    PictureFormat format;
    const char* name;
  };
  for (const Format& f : {Format{PictureFormat::Jpeg, "jpeg"}, Format{PictureFormat::Png, "png"},
                          Format{PictureFormat::Bmp, "bmp"}, Format{PictureFormat::Gif, "gif"},
                          Format{PictureFormat::Tiff, "tiff"}}) {
    const auto folder = root / "picture" / f.name;
    std::filesystem::create_directories(folder);
    ok &= Report(EncodePicture(Gradient(16, 16), f.format, (folder / "gradient").string()),
                 folder / "gradient");
    ok &= Report(EncodePicture(Blocks(13, 7), f.format, (folder / "blocks_odd").string()),
                 folder / "blocks_odd");
  }
  {
    const auto path = root / "picture" / "png" / "alpha";
    std::vector<std::uint8_t> alpha(12 * 12);
    for (std::size_t i = 0; i < alpha.size(); ++i) alpha[i] = static_cast<std::uint8_t>(i * 7);
    ok &= Report(EncodePngWithAlpha(Gradient(12, 12), alpha, path.string()), path);
  }

  const auto clips = root / "clip";
  std::filesystem::create_directories(clips);
  const Mpeg1ClipSettings settings{{32, 16}, 25, 3, 8};
  const auto frames = [](int index, Image& frame) {
    frame = Gradient(frame.Width(), frame.Height());
    frame.At(index * 4, 4) = MakePixel(255, 255, 255);
  };
  ok &= Report(EncodeMpeg1Clip(settings, frames, nullptr, (clips / "silent.mpg").string()),
               clips / "silent.mpg");
  const AudioFormat clipFormat{32000, 1};
  const auto clipTone = Tone(clipFormat, 120);
  const ClipSound sound{clipFormat, clipTone};
  ok &= Report(EncodeMpeg1Clip(settings, frames, &sound, (clips / "with_sound.mpg").string()),
               clips / "with_sound.mpg");
  Mpeg1ClipSettings reordered{{32, 16}, 24, 7, 8};
  reordered.ntsc = true;
  reordered.bFrames = 2;
  reordered.groupSize = 4;
  ok &= Report(EncodeMpeg1Clip(reordered, frames, nullptr, (clips / "b_pictures.mpg").string()),
               clips / "b_pictures.mpg");

  const auto video = root / "mpeg1_video";
  std::filesystem::create_directories(video);
  for (const auto& [name, ok1] :
       {std::pair{"ipb", WriteVideoStream(video / "ipb", 48, 32, 9, 2, false)},
        std::pair{"matrices_slices",
                  WriteVideoStream(video / "matrices_slices", 32, 32, 5, 1, true)}}) {
    if (!ok1) std::fprintf(stderr, "%s: cannot write the video stream\n", name);
    ok &= ok1;
  }

  const auto audio = root / "audio";
  std::filesystem::create_directories(audio);
  struct Sound {
    AudioFileType type;
    AudioFormat format;
    const char* name;
  };
  for (const Sound& s : {Sound{AudioFileType::Wav, {8000, 1}, "mono.wav"},
                         Sound{AudioFileType::Wav, {22050, 2}, "stereo.wav"},
                         Sound{AudioFileType::Mp2, {32000, 1}, "tone.mp2"},
                         Sound{AudioFileType::Mp3, {32000, 1}, "tone.mp3"}}) {
    if (!CanEncodeAudio(s.type)) {
      std::fprintf(stderr, "no encoder for %s: skipped\n", s.name);
      continue;
    }
    const auto samples = Tone(s.format, s.type == AudioFileType::Wav ? 20 : 100);
    ok &= Report(EncodeAudioFile(samples, s.format, s.type, (audio / s.name).string()),
                 audio / s.name);
  }
  return ok ? 0 : 1;
}
