// Writing pictures, MPEG-1 clips and sound files with FFmpeg's encoders: the
// demo show builder makes its media with these, the headless host writes its
// snapshots, and the tests make real files to decode.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "base/error.hpp"
#include "base/image.hpp"
#include "runtime/media.hpp"

namespace vistel {

enum class PictureFormat { Jpeg, Png, Bmp, Gif, Tiff };

// Writes a picture file. JPEG is written at high quality (lossy); PNG, BMP
// and TIFF are lossless; GIF is lossless for pictures of at most 256
// colours and otherwise quantised to a fixed 256-colour palette.
Status EncodePicture(const Image& image, PictureFormat format, std::string_view path);

// A JPEG of chosen quality: quantiser 1 (best) to 31, and the colour at full
// resolution or, as cameras store photos, at half in both directions (about a
// third smaller). EncodePicture's JPEG is quantiser 2 at full resolution.
enum class JpegChroma { Full, Half };
struct JpegSettings {
  int quantiser = 2;
  JpegChroma chroma = JpegChroma::Full;
};
Status EncodeJpeg(const Image& image, const JpegSettings& settings, std::string_view path);

// A PNG with an alpha channel: alpha holds one byte per pixel (255 opaque).
Status EncodePngWithAlpha(const Image& image, std::span<const std::uint8_t> alpha,
                          std::string_view path);

// Snapshots of the headless host.
Status WritePng(const Image& image, std::string_view path);

// Reads a PNG (or any picture) back; transparent pixels over black.
Result<Image> ReadPng(std::string_view path);

// ---- Clips --------------------------------------------------------------

struct ClipSound {
  AudioFormat format;                     // 32000, 44100 or 48000 Hz; 1 or 2 channels
  std::span<const std::int16_t> samples;  // interleaved
};

struct Mpeg1ClipSettings {
  IntSize size;              // even width and height
  int framesPerSecond = 25;  // one of MPEG-1's rates: 24, 25, 30, 50, 60
  int frameCount = 0;
  int quantiser = 2;  // 1 (best) to 31
  // 24, 30 and 60 slowed by 1000/1001: 23.976, 29.97, 59.94 frames a second.
  bool ntsc = false;
  // Pictures between references (0 to 4), pictures in a group, and whether
  // each group is closed: its B-pictures refer to no picture before it.
  int bFrames = 0;
  int groupSize = 12;
  bool closedGroups = false;
};

// Draws frame `index` (from 0) into `frame`, which has the clip's size.
using FrameGenerator = std::function<void(int index, Image& frame)>;

// Writes an MPEG-1 system stream: mpeg1video, and mp2 sound when sound is given.
Status EncodeMpeg1Clip(const Mpeg1ClipSettings& settings, const FrameGenerator& generator,
                       const ClipSound* sound, std::string_view path);

// ---- Sound files --------------------------------------------------------

enum class AudioFileType { Wav, Mp3, Mp2 };

// Whether this FFmpeg build has the encoder for the type (MP3 needs LAME);
// false when FFmpeg cannot be loaded.
bool CanEncodeAudio(AudioFileType type);

// `bitRate` (bit/s) of MP3 and MP2; 0 takes 192 kbit/s (160 at MP2's half
// rates). The encoder refuses a rate that its format does not have.
Status EncodeAudioFile(std::span<const std::int16_t> samples, AudioFormat format,
                       AudioFileType type, std::string_view path, int bitRate = 0);

}  // namespace vistel
