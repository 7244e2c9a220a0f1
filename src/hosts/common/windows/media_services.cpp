// The Windows media services as far as they are built: pictures through
// GDI+, caption text through GDI. Clips and music are not played in this
// build yet; each says so as a failure the show reports and passes over.
#include "hosts/common/media_services.hpp"

#include "imaging/png_encoder.hpp"
#include "media/windows/gdi_fonts.hpp"
#include "media/windows/gdiplus_pictures.hpp"
#include "platform/native_files.hpp"

namespace vistel {
namespace {

// winmm's MCIERR_DEVICE_NOT_INSTALLED: what it answers when no device serves.
constexpr std::uint32_t kDeviceNotInstalled = 306;

class NoMci final : public MciService {
 public:
  MciReply SendString(std::string_view /*command*/, std::uint32_t /*replySize*/) override {
    return {kDeviceNotInstalled, ""};
  }
};

class NoClips final : public ClipDecoder {
 public:
  Result<std::unique_ptr<MediaClip>> OpenClip(std::string_view /*path*/) override {
    return Fail(ErrorCode::InvalidPropertyValue, "this Windows build plays no clips yet");
  }
};

class WindowsMediaServices final : public MediaServices {
 public:
  MciService& Mci() override { return mci_; }
  PictureDecoder& Pictures() override { return pictures_; }
  ClipDecoder& Clips() override { return clips_; }
  FontService& Fonts() override { return fonts_; }

 private:
  NoMci mci_;
  GdiplusPictureDecoder pictures_;
  NoClips clips_;
  GdiFontService fonts_;
};

}  // namespace

std::unique_ptr<MediaServices> MakeMediaServices(AudioOutput& /*audio*/) {
  return std::make_unique<WindowsMediaServices>();
}

Status WriteSnapshot(const Image& image, std::string_view path) {
  const std::vector<std::byte> png = EncodeStoredPng(image);
  const auto files = MakeNativeFileSystem();
  return WriteWholeFile(*files, path, [&](OutputFile& file) { return file.Write(png); });
}

}  // namespace vistel
