#include "media_validation.hpp"

#ifdef VISTEL_PACK_DECODES
#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#endif

namespace vistel::pack {

#ifdef VISTEL_PACK_DECODES
namespace {

Status OpenSound(std::string_view path) {
  auto sound = OpenAudioFile(path);
  if (!sound) return Fail(sound.error());
  return {};
}

}  // namespace

MediumDecoders PackDecoders() {
  static FfmpegPictureDecoder pictures;
  static FfmpegClipDecoder clips;
  return {&pictures, &clips, &OpenSound};
}

std::string_view MediaCheckDepth() {
  return "media decoded as the player decodes them";
}
#else
MediumDecoders PackDecoders() {
  return {};
}

std::string_view MediaCheckDepth() {
  return "media probed by their headers only (this build of vistel-pack has no decoders)";
}
#endif

MediumVerdict ValidateMedium(FileSystem& files, std::string_view path, MediumUse use,
                             const ScreenSettings* screen, std::string_view trackFileName) {
  MediumVerdict verdict = CheckMediumFile(use, files, path, PackDecoders(), trackFileName);
  // Sizing codes outside 0..4 show the picture as 0 does.
  const bool ownSize = screen != nullptr && (screen->ImageSizing < 1 || screen->ImageSizing > 4);
  if (use == MediumUse::Image && ownSize && verdict.picture && verdict.problems.empty()) {
    // The player shows the stored pixels, turned or not.
    const IntSize shown = verdict.picture->size;
    if (shown.width > kSmallScreenWidth || shown.height > kSmallScreenHeight) {
      verdict.warnings.push_back(
          "is " + std::to_string(shown.width) + "x" + std::to_string(shown.height) +
          " pixels; at ImageSizing 0 the player shows it at that size, so a screen of " +
          std::to_string(kSmallScreenWidth) + "x" + std::to_string(kSmallScreenHeight) +
          " shows only its middle. ImageSizing 3 fits it to the screen");
    }
  }
  return verdict;
}

}  // namespace vistel::pack
