// Writing the demo's media files: the drawn pictures through the picture
// encoders, the clip through the MPEG-1 encoder, the tune as WAV and MIDI.
#include <filesystem>
#include <span>

#include "demo_pictures.hpp"
#include "demo_show.hpp"
#include "demo_sound.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "platform/native_files.hpp"

namespace vistel::pack::demo {
namespace {

// Large pictures are shrunk to the screen, small ones enlarged.
constexpr IntSize kLargePicture{1600, 1200};
constexpr IntSize kSmallPicture{320, 240};
constexpr int kBadgePixels = 360;

constexpr IntSize kClipSize{320, 240};
constexpr int kClipFramesPerSecond = 25;
constexpr int kClipMs = 4000;

// MPEG-1 audio takes 32, 44.1 or 48 kHz; the tune needs no more than 22.05.
constexpr AudioFormat kClipSoundFormat{32000, 1};
constexpr AudioFormat kTuneFormat{22050, 1};

// A whole new file renamed over the name, so a link planted in --media-dir is
// replaced rather than written through.
Status WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  const auto files = MakeNativeFileSystem();
  auto written = WriteWholeFile(*files, path, [&bytes](OutputFile& file) {
    return file.Write(std::as_bytes(std::span(bytes)));
  });
  if (!written) {
    return Fail(ErrorCode::PathFileAccessError,
                "Cannot write " + path + ": " + written.error().description);
  }
  return {};
}

Status WriteClip(const std::string& path) {
  Mpeg1ClipSettings settings;
  settings.size = kClipSize;
  settings.framesPerSecond = kClipFramesPerSecond;
  settings.frameCount = kClipMs * kClipFramesPerSecond / 1000;
  settings.quantiser = 3;
  const int frames = settings.frameCount;
  const FrameGenerator draw = [frames](int index, Image& frame) {
    DrawClipFrame(index, frames, frame);
  };
  // Sound is part of the demo, but a clip without it still shows the video
  // screen: an FFmpeg without the MP2 encoder gets a silent clip.
  if (!CanEncodeAudio(AudioFileType::Mp2)) return EncodeMpeg1Clip(settings, draw, nullptr, path);
  const std::vector<std::int16_t> chimes = SynthesiseChimes(kClipSoundFormat, kClipMs);
  const ClipSound sound{kClipSoundFormat, chimes};
  return EncodeMpeg1Clip(settings, draw, &sound, path);
}

}  // namespace

std::vector<std::string> DemoMedia::Files() const {
  return {landscape, backdrop, checker, shapes, badge, smallScene, clip, tuneWav, tuneMidi};
}

DemoMedia DemoMediaIn(const std::string& folder) {
  const std::filesystem::path base(folder);
  auto in = [&](const char* name) { return (base / name).string(); };
  return {in("landscape.jpg"), in("backdrop.jpg"), in("checker.png"),
          in("shapes.bmp"),    in("badge.png"),    in("small-scene.jpg"),
          in("clip.mpg"),      in("tune.wav"),     in("tune.mid")};
}

Status WriteDemoMedia(const DemoMedia& media) {
  if (auto s = EncodePicture(DrawLandscape(kLargePicture), PictureFormat::Jpeg, media.landscape);
      !s) {
    return s;
  }
  if (auto s = EncodePicture(DrawBackdrop(kLargePicture), PictureFormat::Jpeg, media.backdrop);
      !s) {
    return s;
  }
  if (auto s = EncodePicture(DrawChecker(kSmallPicture, 20), PictureFormat::Png, media.checker);
      !s) {
    return s;
  }
  if (auto s = EncodePicture(DrawShapes(kSmallPicture), PictureFormat::Bmp, media.shapes); !s) {
    return s;
  }
  const PictureWithAlpha badge = DrawBadge(kBadgePixels);
  if (auto s = EncodePngWithAlpha(badge.image, badge.alpha, media.badge); !s) return s;
  if (auto s = EncodePicture(DrawLandscape(kSmallPicture), PictureFormat::Jpeg, media.smallScene);
      !s) {
    return s;
  }
  if (auto s = WriteClip(media.clip); !s) return s;
  const std::vector<std::int16_t> tune = SynthesiseTune(kTuneFormat);
  if (auto s = EncodeAudioFile(tune, kTuneFormat, AudioFileType::Wav, media.tuneWav); !s) {
    return s;
  }
  return WriteBytes(media.tuneMidi, ComposeTuneMidi());
}

}  // namespace vistel::pack::demo
