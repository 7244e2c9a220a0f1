// The MCI command-string service on Linux (and the headless host): command
// texts as the music module sends them, answered the way winmm answers them.
//
// Devices are opened from files: waveaudio (.wav), sequencer (.mid, .midi,
// .rmi, rendered by FluidSynth) and mpegvideo (.mp3, .mp2, .mpg, .mpeg and
// whatever else FFmpeg decodes), or the type given with "type". A device is
// named by the exact text that opened it, quotes included, unless "alias"
// names it; names compare without regard to case, as winmm compares them.
//
// Supported: open, close (also "close all"), play [from N] [to N], stop
// (stays at its position), pause, resume, seek to start|end|N, status
// position|length|mode|ready|time format, set time format
// milliseconds|ms|frames (frames on mpegvideo only, 25 per second; samples
// on waveaudio). "notify" is accepted and ignored (no callback window);
// "wait" is accepted and returns at once: blocking would hang a host whose
// clock moves only when its loop runs, and the music module never waits.
//
// Replies: the reply text cut to replySize - 1 characters, with
// MCIERR_PARAM_OVERFLOW when it did not fit. A reply size of 0 asks for no
// reply (the command's own return code comes back), as a null buffer does.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "media/mci/mci_device.hpp"
#include "runtime/mci.hpp"
#include "runtime/media.hpp"

namespace vistel {

// winmm's return codes (MCIERR_BASE = 256).
namespace mcierr {
inline constexpr std::uint32_t kUnrecognizedKeyword = 259;
inline constexpr std::uint32_t kUnrecognizedCommand = 261;
inline constexpr std::uint32_t kInvalidDeviceName = 263;
inline constexpr std::uint32_t kDeviceOpen = 265;
inline constexpr std::uint32_t kMissingCommandString = 267;
inline constexpr std::uint32_t kParamOverflow = 268;
inline constexpr std::uint32_t kMissingStringArgument = 269;
inline constexpr std::uint32_t kBadInteger = 270;
inline constexpr std::uint32_t kMissingParameter = 273;
inline constexpr std::uint32_t kFileNotFound = 275;
inline constexpr std::uint32_t kExtensionNotFound = 281;
inline constexpr std::uint32_t kOutOfRange = 282;
inline constexpr std::uint32_t kMissingDeviceName = 292;
inline constexpr std::uint32_t kBadTimeFormat = 293;
inline constexpr std::uint32_t kNoClosingQuote = 294;
inline constexpr std::uint32_t kInvalidFile = 296;
inline constexpr std::uint32_t kSeqNoMidiPresent = 343;
}  // namespace mcierr

class LinuxMciService final : public MciService {
 public:
  // The output must outlive the service.
  explicit LinuxMciService(AudioOutput& output);
  ~LinuxMciService() override;
  LinuxMciService(const LinuxMciService&) = delete;
  LinuxMciService& operator=(const LinuxMciService&) = delete;

  MciReply SendString(std::string_view command, std::uint32_t replySize) override;

 private:
  std::uint32_t Execute(const std::vector<std::string>& words, std::string& reply);
  std::uint32_t Open(const std::vector<std::string>& words);
  std::uint32_t Close(std::string_view name);
  MciDevice* Find(std::string_view name);

  AudioOutput& output_;
  std::vector<std::unique_ptr<MciDevice>> devices_;
};

}  // namespace vistel
