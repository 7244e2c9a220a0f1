// The media the soak show needs beyond the demo's (soak.sh): the demo's tune
// as MP3, so that the music cycles through all three track kinds, and two
// demo pictures as GIF and TIFF, so that every picture decoder stays in use.
//
//   vistel_soak_media DIR   (DIR holds the media of "vistel-pack demo --media-dir DIR")
//
// Writes DIR/tune.mp3, DIR/scene.gif and DIR/shapes.tif.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/encoders.hpp"

namespace {

int Fail(const std::string& message) {
  std::fprintf(stderr, "vistel_soak_media: %s\n", message.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vistel;
  if (argc != 2) {
    std::fprintf(stderr, "usage: vistel_soak_media DIR\n");
    return 2;
  }
  const std::string dir = argv[1];

  if (!CanEncodeAudio(AudioFileType::Mp3)) return Fail("this FFmpeg has no MP3 encoder (LAME)");
  auto tune = OpenAudioFile(dir + "/tune.wav");
  if (!tune) return Fail(dir + "/tune.wav: " + tune.error().description);
  const AudioFormat format = (*tune)->Format();
  std::vector<std::int16_t> samples;
  std::vector<std::int16_t> chunk(8192);
  // The demo's tune lasts seconds; the cap only guards against a file that
  // is not the demo's.
  constexpr std::size_t kMostSamples = std::size_t{60} * 48000 * 2;
  while (samples.size() < kMostSamples) {
    const std::size_t got = (*tune)->Pull(chunk);
    samples.insert(samples.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got));
    if (got < chunk.size()) break;
  }
  if (samples.empty()) return Fail(dir + "/tune.wav: no sound");
  if (auto s = EncodeAudioFile(samples, format, AudioFileType::Mp3, dir + "/tune.mp3"); !s) {
    return Fail(s.error().description);
  }

  const struct {
    const char* from;
    const char* to;
    PictureFormat format;
  } pictures[] = {{"small-scene.jpg", "scene.gif", PictureFormat::Gif},
                  {"shapes.bmp", "shapes.tif", PictureFormat::Tiff}};
  for (const auto& picture : pictures) {
    auto image = ReadPng(dir + "/" + picture.from);
    if (!image) return Fail(dir + "/" + picture.from + ": " + image.error().description);
    if (auto s = EncodePicture(*image, picture.format, dir + "/" + picture.to); !s) {
      return Fail(s.error().description);
    }
  }
  return 0;
}
