// The Windows media services: pictures through GDI+, caption text through
// GDI, clips through the player's own MPEG-1 decoders, and music through
// winmm's MCI on the desktop, or through the player's own MCI service on
// the headless host, where each sound file is timed from its headers and
// plays as silence (the same answers as the decoders give on Linux, so both
// hosts trace the same show alike).
#include "hosts/common/media_services.hpp"

#include "imaging/png_encoder.hpp"
#include "media/mci/end_position.hpp"
#include "media/mci/mci_service.hpp"
#include "media/mpeg1/clip_decoder.hpp"
#include "media/timed/timed_sound_files.hpp"
#include "media/windows/gdi_fonts.hpp"
#include "media/windows/gdiplus_pictures.hpp"
#include "media/windows/winmm_mci.hpp"
#include "platform/native_files.hpp"

namespace vistel {
namespace {

// The player's own MCI service over timed silence.
class TimedMci final : public MciService {
 public:
  TimedMci(AudioOutput& audio, FileSystem& files) : sounds_(files), service_(audio, sounds_) {}
  MciReply SendString(std::string_view command, std::uint32_t replySize) override {
    return service_.SendString(command, replySize);
  }

 private:
  TimedSoundFiles sounds_;
  MciStringService service_;
};

// winmm, with the position of a track that stopped short of its end corrected.
class SystemMci final : public MciService {
 public:
  MciReply SendString(std::string_view command, std::uint32_t replySize) override {
    return corrected_.SendString(command, replySize);
  }

 private:
  WinmmMciService winmm_;
  EndPositionCorrection corrected_{winmm_};
};

std::unique_ptr<MciService> MakeMci(AudioOutput& audio, FileSystem& files, MediaChoice choice) {
  if (choice == MediaChoice::System) return std::make_unique<SystemMci>();
  return std::make_unique<TimedMci>(audio, files);
}

class WindowsMediaServices final : public MediaServices {
 public:
  WindowsMediaServices(AudioOutput& audio, FileSystem& files, MediaChoice choice)
      : mci_(MakeMci(audio, files, choice)), clips_(files) {}

  MciService& Mci() override { return *mci_; }
  PictureDecoder& Pictures() override { return pictures_; }
  ClipDecoder& Clips() override { return clips_; }
  FontService& Fonts() override { return fonts_; }

 private:
  std::unique_ptr<MciService> mci_;
  GdiplusPictureDecoder pictures_;
  Mpeg1ClipDecoder clips_;
  GdiFontService fonts_;
};

}  // namespace

std::unique_ptr<MediaServices> MakeMediaServices(AudioOutput& audio, FileSystem& files,
                                                 MediaChoice choice) {
  return std::make_unique<WindowsMediaServices>(audio, files, choice);
}

Status WriteSnapshot(const Image& image, std::string_view path) {
  const std::vector<std::byte> png = EncodeStoredPng(image);
  const auto files = MakeNativeFileSystem();
  return WriteWholeFile(*files, path, [&](OutputFile& file) { return file.Write(png); });
}

}  // namespace vistel
