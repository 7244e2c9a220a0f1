// The MCI command-string service of the hosts that do not use the system's
// own (Linux, and the headless host everywhere): command texts as the music
// module sends them, answered the way winmm answers them.
//
// Devices are opened from files: waveaudio (.wav), sequencer (.mid, .midi,
// .rmi) and mpegvideo (.mp3, .mp2, .mpg, .mpeg and whatever else the sound
// decoder reads), their sound from SoundFiles; or the type given with "type" or as
// "type!file". A device is named by its alias, or else by the file name as the
// open command gave it, without quotes: "path" and path name one device.
// Names compare without regard to case, as winmm compares them. Each open
// device has an id, the lowest free number from 1, which open replies.
//
// A command other than open and close that names a file no device is open
// for opens it on the fly (auto-open) when the file's extension names a device
// type, and closes it again when the command is done, or, after play, once
// the device has stopped. Such a device takes no "notify".
//
// Supported: open, close (also "close all"), play [from N] [to N], stop
// (stays at its position), pause, resume, seek to start|end|N, status
// position|length|mode|ready|media present|number of tracks|current
// track|time format (mpegvideo also volume), set time format
// milliseconds|ms|frames|samples (frames on mpegvideo only, 25 per second;
// samples on waveaudio), setaudio volume to N (mpegvideo, 0 to 1000).
// "notify" is accepted and ignored (no callback window); "wait" is accepted
// and returns at once: blocking would hang a host whose clock moves only when
// its loop runs, and the music module never waits.
//
// Replies: the reply text cut to replySize - 1 characters, with
// MCIERR_PARAM_OVERFLOW when it did not fit. A failed command leaves an empty
// reply, as winmm clears the reply area before it answers. A reply size of 0
// asks for no reply (the command's own return code comes back), as a null
// buffer does.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "media/mci/mci_command.hpp"
#include "media/mci/mci_device.hpp"
#include "media/sound/sound_files.hpp"
#include "runtime/mci.hpp"
#include "runtime/media.hpp"

namespace vistel {

class MciStringService final : public MciService {
 public:
  // The output and the sound files must outlive the service.
  MciStringService(AudioOutput& output, SoundFiles& sounds);
  ~MciStringService() override;
  MciStringService(const MciStringService&) = delete;
  MciStringService& operator=(const MciStringService&) = delete;

  MciReply SendString(std::string_view command, std::uint32_t replySize) override;

 private:
  struct OpenDevice {
    std::uint32_t id = 0;
    bool autoOpened = false;
    std::unique_ptr<MciDevice> device;
  };

  std::uint32_t Execute(std::string_view command, std::string& reply);
  std::uint32_t Open(const MciCommandText& text, std::string& reply);
  // Opens a file (or "type!file") as a new device; rc 0 and its place.
  std::uint32_t OpenElement(std::string_view element, const MciArguments& args, bool autoOpen,
                            std::size_t& index);
  std::uint32_t AutoOpen(const MciCommandText& text, const MciGrammar& grammar, std::size_t& index);
  std::uint32_t ForAll(const MciCommandText& text, const MciGrammar* grammar);
  void CloseStoppedAutoOpened();
  std::optional<std::size_t> Find(std::string_view name) const;
  std::uint32_t FreeId() const;

  AudioOutput& output_;
  SoundFiles& sounds_;
  std::vector<OpenDevice> devices_;
};

}  // namespace vistel
