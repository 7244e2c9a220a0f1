#include "media/mci/mci_service.hpp"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <filesystem>
#include <limits>
#include <optional>

#include "media/ffmpeg/audio_file.hpp"
#include "media/midi/midi_decoder.hpp"

namespace vistel {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  return Lower(a) == Lower(b);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Splits a command into words at blanks; a quoted word keeps its quotes.
std::optional<std::vector<std::string>> SplitWords(std::string_view command) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < command.size()) {
    if (IsBlank(command[i])) {
      ++i;
      continue;
    }
    const std::size_t start = i;
    if (command[i] == '"') {
      const std::size_t close = command.find('"', i + 1);
      if (close == std::string_view::npos) return std::nullopt;
      i = close + 1;
    } else {
      while (i < command.size() && !IsBlank(command[i])) ++i;
    }
    words.emplace_back(command.substr(start, i - start));
  }
  return words;
}

std::string Unquoted(std::string_view word) {
  if (word.size() >= 2 && word.front() == '"' && word.back() == '"') {
    return std::string(word.substr(1, word.size() - 2));
  }
  return std::string(word);
}

std::optional<MciDeviceType> TypeByName(std::string_view name) {
  const std::string n = Lower(name);
  if (n == "waveaudio") return MciDeviceType::WaveAudio;
  if (n == "sequencer") return MciDeviceType::Sequencer;
  if (n == "mpegvideo") return MciDeviceType::MpegVideo;
  return std::nullopt;
}

// The device type the extension names; nothing for an extension that names
// none (FFmpeg then gets to try it as mpegvideo).
std::optional<MciDeviceType> TypeByExtension(const std::string& path) {
  const std::string ext = Lower(std::filesystem::path(path).extension().string());
  if (ext == ".wav") return MciDeviceType::WaveAudio;
  if (ext == ".mid" || ext == ".midi" || ext == ".rmi") return MciDeviceType::Sequencer;
  if (ext == ".mp3" || ext == ".mp2" || ext == ".mpa" || ext == ".mpg" || ext == ".mpeg" ||
      ext == ".m1v" || ext == ".mpe") {
    return MciDeviceType::MpegVideo;
  }
  return std::nullopt;
}

// A number in the device's time format: rc 0 and the value in ms.
std::uint32_t ParsePosition(const MciDevice& device, const std::string& word, Milliseconds& ms) {
  std::int64_t units = 0;
  const char* end = word.data() + word.size();
  auto [ptr, ec] = std::from_chars(word.data(), end, units);
  if (ec == std::errc::result_out_of_range) return mcierr::kBadInteger;
  if (ec != std::errc() || ptr != end) return mcierr::kBadInteger;
  // Past any length, and too large to convert without overflow.
  if (units < 0 || units > std::numeric_limits<std::int64_t>::max() / 1000) {
    return mcierr::kOutOfRange;
  }
  ms = device.FromUnits(units);
  if (ms > device.LengthMs()) return mcierr::kOutOfRange;
  return 0;
}

const char* ModeText(MciMode mode) {
  switch (mode) {
    case MciMode::Playing:
      return "playing";
    case MciMode::Paused:
      return "paused";
    case MciMode::Stopped:
      break;
  }
  return "stopped";
}

const char* TimeFormatText(MciTimeFormat format) {
  switch (format) {
    case MciTimeFormat::Frames:
      return "frames";
    case MciTimeFormat::Samples:
      return "samples";
    case MciTimeFormat::Ms:
      break;
  }
  return "milliseconds";
}

// Words after the device name, without the flags every command accepts.
std::vector<std::string> Arguments(const std::vector<std::string>& words) {
  std::vector<std::string> args;
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::string w = Lower(words[i]);
    if (w != "wait" && w != "notify") args.push_back(w);
  }
  return args;
}

std::uint32_t PlayCommand(MciDevice& device, AudioOutput& output,
                          const std::vector<std::string>& args) {
  Milliseconds from = -1;
  Milliseconds to = -1;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "from" && args[i] != "to") return mcierr::kUnrecognizedKeyword;
    if (i + 1 >= args.size()) return mcierr::kMissingParameter;
    Milliseconds& target = args[i] == "from" ? from : to;
    if (const auto rc = ParsePosition(device, args[i + 1], target); rc != 0) return rc;
    ++i;
  }
  if (from >= 0 && to >= 0 && from > to) return mcierr::kOutOfRange;
  device.Play(output, from, to);
  return 0;
}

std::uint32_t SeekCommand(MciDevice& device, const std::vector<std::string>& args) {
  if (args.empty()) return mcierr::kMissingParameter;
  if (args[0] != "to") return mcierr::kUnrecognizedKeyword;
  if (args.size() < 2) return mcierr::kMissingParameter;
  if (args.size() > 2) return mcierr::kUnrecognizedKeyword;
  Milliseconds target = 0;
  if (args[1] == "start") {
    target = 0;
  } else if (args[1] == "end") {
    target = device.LengthMs();
  } else if (const auto rc = ParsePosition(device, args[1], target); rc != 0) {
    return rc;
  }
  device.Stop(target);
  return 0;
}

std::uint32_t StatusCommand(MciDevice& device, const std::vector<std::string>& args,
                            std::string& reply) {
  if (args.empty()) return mcierr::kMissingParameter;
  const std::string item = args[0];
  if (args.size() == 2 && item == "time" && args[1] == "format") {
    reply = TimeFormatText(device.TimeFormat());
    return 0;
  }
  if (args.size() != 1) return mcierr::kUnrecognizedKeyword;
  if (item == "position") {
    reply = std::to_string(device.ToUnits(device.PositionMs()));
  } else if (item == "length") {
    reply = std::to_string(device.ToUnits(device.LengthMs()));
  } else if (item == "mode") {
    reply = ModeText(device.Mode());
  } else if (item == "ready" || item == "media") {
    reply = "true";
  } else {
    return mcierr::kUnrecognizedKeyword;
  }
  return 0;
}

std::uint32_t SetCommand(MciDevice& device, const std::vector<std::string>& args) {
  if (args.size() < 2 || args[0] != "time" || args[1] != "format") {
    return args.empty() ? mcierr::kMissingParameter : mcierr::kUnrecognizedKeyword;
  }
  if (args.size() != 3) return args.size() < 3 ? mcierr::kMissingParameter : mcierr::kBadTimeFormat;
  MciTimeFormat format = MciTimeFormat::Ms;
  if (args[2] == "milliseconds" || args[2] == "ms") {
    format = MciTimeFormat::Ms;
  } else if (args[2] == "frames") {
    format = MciTimeFormat::Frames;
  } else if (args[2] == "samples") {
    format = MciTimeFormat::Samples;
  } else {
    return mcierr::kBadTimeFormat;
  }
  if (!device.Supports(format)) return mcierr::kBadTimeFormat;
  device.SetTimeFormat(format);
  return 0;
}

}  // namespace

LinuxMciService::LinuxMciService(AudioOutput& output) : output_(output) {}

LinuxMciService::~LinuxMciService() = default;

MciReply LinuxMciService::SendString(std::string_view command, std::uint32_t replySize) {
  MciReply result;
  std::string reply;
  const auto words = SplitWords(command);
  result.rc = words ? Execute(*words, reply) : mcierr::kNoClosingQuote;
  if (replySize == 0) return result;
  if (reply.size() > replySize - 1) {
    reply.resize(replySize - 1);
    if (result.rc == 0) result.rc = mcierr::kParamOverflow;
  }
  result.reply = std::move(reply);
  return result;
}

MciDevice* LinuxMciService::Find(std::string_view name) {
  for (auto& device : devices_) {
    if (SameName(device->Name(), name)) return device.get();
  }
  return nullptr;
}

std::uint32_t LinuxMciService::Execute(const std::vector<std::string>& words, std::string& reply) {
  if (words.empty()) return mcierr::kMissingCommandString;
  const std::string verb = Lower(words[0]);
  const bool known = verb == "open" || verb == "close" || verb == "play" || verb == "stop" ||
                     verb == "pause" || verb == "resume" || verb == "seek" || verb == "status" ||
                     verb == "set";
  if (!known) return mcierr::kUnrecognizedCommand;
  if (words.size() < 2) return mcierr::kMissingDeviceName;
  if (verb == "open") return Open(words);
  if (verb == "close") {
    if (!Arguments(words).empty()) return mcierr::kUnrecognizedKeyword;
    return Close(words[1]);
  }

  MciDevice* device = Find(words[1]);
  if (device == nullptr) return mcierr::kInvalidDeviceName;
  const auto args = Arguments(words);
  if (verb == "play") return PlayCommand(*device, output_, args);
  if (verb == "seek") return SeekCommand(*device, args);
  if (verb == "status") return StatusCommand(*device, args, reply);
  if (verb == "set") return SetCommand(*device, args);
  if (!args.empty()) return mcierr::kUnrecognizedKeyword;
  if (verb == "stop") {
    device->Stop();
  } else if (verb == "pause") {
    device->Pause();
  } else {
    device->Resume();
  }
  return 0;
}

std::uint32_t LinuxMciService::Open(const std::vector<std::string>& words) {
  const std::string& element = words[1];
  std::string name = element;
  std::optional<MciDeviceType> type;
  for (std::size_t i = 2; i < words.size(); ++i) {
    const std::string w = Lower(words[i]);
    if (w == "wait" || w == "notify" || w == "shareable") continue;
    if (w != "type" && w != "alias") return mcierr::kUnrecognizedKeyword;
    if (i + 1 >= words.size()) return mcierr::kMissingStringArgument;
    if (w == "alias") {
      name = words[++i];
    } else {
      type = TypeByName(words[++i]);
      if (!type) return mcierr::kInvalidDeviceName;
    }
  }
  if (Find(name) != nullptr) return mcierr::kDeviceOpen;

  const std::string path = Unquoted(element);
  std::error_code ec;
  if (path.empty() || !std::filesystem::is_regular_file(std::filesystem::path(path), ec)) {
    return mcierr::kFileNotFound;
  }
  const bool typeKnown = type.has_value() || TypeByExtension(path).has_value();
  if (!type) type = TypeByExtension(path).value_or(MciDeviceType::MpegVideo);

  Result<std::unique_ptr<AudioFileDecoder>> decoder = Fail(ErrorCode::InvalidProcedureCall);
  if (*type == MciDeviceType::Sequencer) {
    if (!FindGeneralMidiSoundfont()) return mcierr::kSeqNoMidiPresent;
    decoder = OpenMidiFile(path);
  } else {
    decoder = OpenAudioFile(path);
  }
  if (!decoder) return typeKnown ? mcierr::kInvalidFile : mcierr::kExtensionNotFound;
  devices_.push_back(std::make_unique<MciDevice>(name, *type, std::move(*decoder)));
  return 0;
}

std::uint32_t LinuxMciService::Close(std::string_view name) {
  if (SameName(name, "all")) {
    devices_.clear();
    return 0;
  }
  auto it = std::find_if(devices_.begin(), devices_.end(),
                         [&](const auto& d) { return SameName(d->Name(), name); });
  if (it == devices_.end()) return mcierr::kInvalidDeviceName;
  devices_.erase(it);
  return 0;
}

}  // namespace vistel
