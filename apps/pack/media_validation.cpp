#include "media_validation.hpp"

#ifdef VISTEL_PACK_DECODES
#include "media/ffmpeg/audio_file.hpp"
#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#endif

namespace vistel::pack {

#ifdef VISTEL_PACK_DECODES
namespace {

Result<Milliseconds> SoundLength(std::string_view path) {
  auto sound = OpenAudioFile(path);
  if (!sound) return Fail(sound.error());
  return (*sound)->LengthMs();
}

}  // namespace

MediumDecoders PackDecoders() {
  static FfmpegPictureDecoder pictures;
  static FfmpegClipDecoder clips;
  return {&pictures, &clips, &SoundLength};
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

std::string MediumValidator::Key(std::string_view bytes, MediumUse use,
                                 std::string_view trackFileName) {
  return std::to_string(static_cast<int>(use)) + "|" + std::string(trackFileName) + "|" +
         std::string(bytes);
}

const MediumVerdict* MediumValidator::Known(const std::string& key) const {
  const auto it = verdicts_.find(key);
  return it == verdicts_.end() ? nullptr : &it->second;
}

const MediumVerdict& MediumValidator::Check(const std::string& key, FileSystem& files,
                                            std::string_view path, MediumUse use,
                                            std::string_view trackFileName,
                                            std::string_view pathInMessages) {
  if (const MediumVerdict* known = Known(key)) return *known;
  MediumVerdict verdict = CheckMediumFile(use, files, path, PackDecoders(), trackFileName);
  if (!pathInMessages.empty() && !path.empty()) {
    for (auto* texts : {&verdict.problems, &verdict.warnings}) {
      for (std::string& text : *texts) {
        for (auto at = text.find(path); at != std::string::npos; at = text.find(path, at)) {
          text.replace(at, path.size(), pathInMessages);
          at += pathInMessages.size();
        }
      }
    }
  }
  return verdicts_[key] = std::move(verdict);
}

std::vector<std::string> ScreenWarnings(const MediumVerdict& verdict, MediumUse use,
                                        const ScreenSettings& screen) {
  std::vector<std::string> warnings;
  // Sizing codes outside 1..4 show the picture as 0 does.
  const bool ownSize = screen.ImageSizing < 1 || screen.ImageSizing > 4;
  if (use != MediumUse::Image || !ownSize || !verdict.picture || !verdict.problems.empty()) {
    return warnings;
  }
  // The player shows the stored pixels, turned or not.
  const IntSize shown = verdict.picture->size;
  if (shown.width > kSmallScreenWidth || shown.height > kSmallScreenHeight) {
    warnings.push_back("is " + std::to_string(shown.width) + "x" + std::to_string(shown.height) +
                       " pixels; at ImageSizing 0 the player shows it at that size, so a screen "
                       "of " +
                       std::to_string(kSmallScreenWidth) + "x" +
                       std::to_string(kSmallScreenHeight) +
                       " shows only its middle. ImageSizing 3 fits it to the screen");
  }
  return warnings;
}

}  // namespace vistel::pack
