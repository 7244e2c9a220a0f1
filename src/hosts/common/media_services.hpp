// The decoding side of a host: pictures, clips, fonts, and the MCI service
// that plays music. One implementation per platform (FFmpeg, fontconfig and
// the MCI service built on them on Linux; GDI+, GDI and winmm or the timed
// MCI service on Windows), chosen by the build.
#pragma once

#include <memory>
#include <string_view>

#include "base/error.hpp"
#include "base/image.hpp"
#include "runtime/files.hpp"
#include "runtime/mci.hpp"
#include "runtime/media.hpp"

namespace vistel {

class MediaServices {
 public:
  virtual ~MediaServices() = default;
  // Untraced; SharedServices puts the trace in front.
  virtual MciService& Mci() = 0;
  virtual PictureDecoder& Pictures() = 0;
  virtual ClipDecoder& Clips() = 0;
  virtual FontService& Fonts() = 0;
};

// Whose music service a host uses: the player's own (on Windows, where it
// decodes no sound files, it keeps the files' time, as the headless host
// needs), or the system's own where it has one (winmm's MCI on the Windows
// desktop). Linux has only the player's own, with its decoders.
enum class MediaChoice { Own, System };

// The platform's media services. `audio` and `files` must outlive them.
std::unique_ptr<MediaServices> MakeMediaServices(AudioOutput& audio, FileSystem& files,
                                                 MediaChoice choice);

// Writes a picture of the screen as a PNG file (the headless snapshots),
// replacing the file at `path` whole; a link there is replaced, not followed.
Status WriteSnapshot(const Image& image, std::string_view path);

}  // namespace vistel
