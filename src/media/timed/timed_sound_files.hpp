// The sound files of a host that plays no sound and has no decoders (the
// headless host on Windows): each file's timing is read from its headers and
// its sound is silence of exactly that timing, so the MCI service answers as
// it does with the decoders. MIDI at the synthesiser's rate and length;
// other sound files as the probe times them, refused where it cannot.
#pragma once

#include "media/sound/sound_files.hpp"
#include "runtime/files.hpp"

namespace vistel {

class TimedSoundFiles final : public SoundFiles {
 public:
  // The file system must outlive this.
  explicit TimedSoundFiles(FileSystem& files) : files_(files) {}

  bool IsFile(std::string_view path) override;
  bool PlaysMidi() override { return true; }
  Result<std::unique_ptr<AudioFileDecoder>> OpenMidi(std::string_view path) override;
  Result<std::unique_ptr<AudioFileDecoder>> OpenSound(std::string_view path) override;

 private:
  FileSystem& files_;
};

}  // namespace vistel
