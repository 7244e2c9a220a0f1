// The Linux media services: libjpeg-turbo and FFmpeg pictures, FFmpeg clips,
// fontconfig fonts, and the MCI service on FFmpeg and FluidSynth.
#include "hosts/common/media_services.hpp"

#include "media/ffmpeg/clip_decoder.hpp"
#include "media/ffmpeg/encoders.hpp"
#include "media/ffmpeg/picture_decoder.hpp"
#include "media/fonts/fontconfig_font_service.hpp"
#include "media/jpeg/jpeg_picture_decoder.hpp"
#include "media/mci/mci_service.hpp"
#include "media/midi/decoded_sound_files.hpp"

namespace vistel {
namespace {

class LinuxMediaServices final : public MediaServices {
 public:
  explicit LinuxMediaServices(AudioOutput& audio) : mci_(audio, sounds_) {}

  MciService& Mci() override { return mci_; }
  PictureDecoder& Pictures() override { return pictures_; }
  ClipDecoder& Clips() override { return clips_; }
  FontService& Fonts() override { return fonts_; }

 private:
  DecodedSoundFiles sounds_;
  MciStringService mci_;
  FfmpegPictureDecoder ffmpegPictures_;
  JpegPictureDecoder pictures_{ffmpegPictures_};
  FfmpegClipDecoder clips_;
  FontconfigFontService fonts_;
};

}  // namespace

// Linux has no MCI of its own: the player's serves, with the decoders.
std::unique_ptr<MediaServices> MakeMediaServices(AudioOutput& audio, FileSystem& /*files*/,
                                                 MediaChoice /*choice*/) {
  return std::make_unique<LinuxMediaServices>(audio);
}

Status WriteSnapshot(const Image& image, std::string_view path) {
  return WritePng(image, path);
}

}  // namespace vistel
