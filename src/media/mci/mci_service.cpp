#include "media/mci/mci_service.hpp"

#include <algorithm>
#include <optional>

#include "base/text.hpp"
#include "media/mci/mci_verbs.hpp"

namespace vistel {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  return EqualsIgnoringAsciiCase(a, b);
}

std::optional<MciDeviceType> TypeByName(std::string_view name) {
  const std::string n = AsciiLower(name);
  if (n == "waveaudio") return MciDeviceType::WaveAudio;
  if (n == "sequencer") return MciDeviceType::Sequencer;
  if (n == "mpegvideo") return MciDeviceType::MpegVideo;
  return std::nullopt;
}

// The device type the extension names; nothing for an extension that names
// none (the decoder then gets to try an existing file as mpegvideo).
std::optional<MciDeviceType> TypeByExtension(std::string_view path) {
  const std::size_t name = path.find_last_of("/\\");
  const std::string_view file = name == std::string_view::npos ? path : path.substr(name + 1);
  const std::size_t dot = file.rfind('.');
  // A name that is all extension (".wav") has none, as a path's stem goes first.
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  const std::string ext = AsciiLower(file.substr(dot));
  if (ext == ".wav") return MciDeviceType::WaveAudio;
  if (ext == ".mid" || ext == ".midi" || ext == ".rmi") return MciDeviceType::Sequencer;
  if (ext == ".mp3" || ext == ".mp2" || ext == ".mpa" || ext == ".mpg" || ext == ".mpeg" ||
      ext == ".m1v" || ext == ".mpe") {
    return MciDeviceType::MpegVideo;
  }
  return std::nullopt;
}

// "type!file" names the type before the "!"; any other text is a file name
// (an unknown type stays part of it, as winmm passes it on to the driver).
struct Element {
  std::string path;
  std::optional<MciDeviceType> type;
  bool valid = true;  // false for a "!" with no file after it
};

Element SplitElement(std::string_view element) {
  Element out{std::string(element), std::nullopt};
  const std::size_t bang = element.find('!');
  if (bang == std::string_view::npos) return out;
  if (bang + 1 == element.size()) {
    out.valid = false;
  } else if (const auto type = TypeByName(element.substr(0, bang))) {
    out.type = type;
    out.path = std::string(element.substr(bang + 1));
  }
  return out;
}

}  // namespace

MciStringService::MciStringService(AudioOutput& output, SoundFiles& sounds)
    : output_(output), sounds_(sounds) {}

MciStringService::~MciStringService() = default;

MciReply MciStringService::SendString(std::string_view command, std::uint32_t replySize) {
  MciReply result;
  std::string reply;
  result.rc = Execute(command, reply);
  if (replySize == 0 || result.rc != 0) return result;
  if (reply.size() > replySize - 1) {
    result.rc = mcierr::kParamOverflow;
    return result;
  }
  result.reply = std::move(reply);
  return result;
}

std::optional<std::size_t> MciStringService::Find(std::string_view name) const {
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (SameName(devices_[i].device->Name(), name)) return i;
  }
  return std::nullopt;
}

std::uint32_t MciStringService::FreeId() const {
  std::uint32_t id = 1;
  while (std::any_of(devices_.begin(), devices_.end(),
                     [id](const OpenDevice& d) { return d.id == id; })) {
    ++id;
  }
  return id;
}

void MciStringService::CloseStoppedAutoOpened() {
  std::erase_if(devices_,
                [](OpenDevice& d) { return d.autoOpened && d.device->Mode() == MciMode::Stopped; });
}

std::uint32_t MciStringService::Execute(std::string_view command, std::string& reply) {
  MciCommandText text;
  if (const auto rc = SplitMciCommand(command, text); rc != 0) return rc;
  // A device opened on the fly for a play is closed once it has played.
  CloseStoppedAutoOpened();
  if (text.verb == "open") return Open(text, reply);
  const MciGrammar* core = FindMciGrammar(text.verb, std::nullopt);
  if (SameName(text.device, "all")) return ForAll(text, core);

  const std::optional<std::size_t> found = Find(text.device);
  std::size_t index = found.value_or(0);
  if (!found) {
    if (core == nullptr) return mcierr::kUnrecognizedCommand;
    if (text.verb == "close") return mcierr::kInvalidDeviceName;
    if (const auto rc = AutoOpen(text, *core, index); rc != 0) return rc;
  }
  OpenDevice& open = devices_[index];
  const MciGrammar* grammar = FindMciGrammar(text.verb, open.device->Type());
  MciArguments args;
  std::uint32_t rc = grammar == nullptr ? mcierr::kUnrecognizedCommand
                                        : ParseMciArguments(text.rest, *grammar, args);
  if (rc == 0 && text.verb == "close") {
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
    return 0;
  }
  if (rc == 0) {
    rc = open.autoOpened && args.notify ? mcierr::kNotifyOnAutoOpen
                                        : RunMciVerb(text.verb, args, *open.device, output_, reply);
  }
  // Closed again when it failed or does not play; an error of a later command
  // leaves a device opened by an earlier one playing.
  if ((!found && rc != 0) || (open.autoOpened && open.device->Mode() == MciMode::Stopped)) {
    devices_.erase(devices_.begin() + static_cast<std::ptrdiff_t>(index));
  }
  return rc;
}

std::uint32_t MciStringService::ForAll(const MciCommandText& text, const MciGrammar* grammar) {
  if (grammar == nullptr) return mcierr::kUnrecognizedCommand;
  MciArguments args;
  if (const auto rc = ParseMciArguments(text.rest, *grammar, args); rc != 0) return rc;
  if (text.verb != "close") return mcierr::kCannotUseAll;
  devices_.clear();
  return 0;
}

std::uint32_t MciStringService::AutoOpen(const MciCommandText& text, const MciGrammar& grammar,
                                         std::size_t& index) {
  // Asked before the file is opened: a device opened on the fly cannot notify.
  MciArguments args;
  if (ParseMciArguments(text.rest, grammar, args) == 0 && args.notify) {
    return mcierr::kNotifyOnAutoOpen;
  }
  // Only a file whose extension names a device type opens this way; any
  // other name is simply not an open device.
  const Element element = SplitElement(text.device);
  if (!element.valid || (!element.type && !TypeByExtension(element.path))) {
    return mcierr::kInvalidDeviceName;
  }
  return OpenElement(text.device, MciArguments{}, /*autoOpen=*/true, index);
}

std::uint32_t MciStringService::Open(const MciCommandText& text, std::string& reply) {
  if (SameName(text.device, "all")) return mcierr::kCannotUseAll;
  MciArguments args;
  if (const auto rc = ParseMciArguments(text.rest, *FindMciGrammar("open", std::nullopt), args);
      rc != 0) {
    return rc;
  }
  // A new, empty device is for recording, which this service does not do.
  if (SameName(text.device, "new")) {
    return args.alias ? mcierr::kUnsupportedFunction : mcierr::kNewRequiresAlias;
  }
  std::size_t index = 0;
  if (const auto rc = OpenElement(text.device, args, /*autoOpen=*/false, index); rc != 0) {
    return rc;
  }
  reply = std::to_string(devices_[index].id);
  return 0;
}

std::uint32_t MciStringService::OpenElement(std::string_view element, const MciArguments& args,
                                            bool autoOpen, std::size_t& index) {
  const Element parts = SplitElement(element);
  if (!parts.valid) return mcierr::kInvalidDeviceName;
  std::optional<MciDeviceType> type = parts.type;
  if (args.type) {
    type = TypeByName(*args.type);
    if (!type) return mcierr::kInvalidDeviceName;
  }
  if (args.alias) {
    if (Find(*args.alias)) return mcierr::kDuplicateAlias;
  } else if (Find(parts.path)) {
    return mcierr::kDeviceOpen;
  }

  const std::string& path = parts.path;
  const std::optional<MciDeviceType> byExtension = TypeByExtension(path);
  const bool typeKnown = type.has_value() || byExtension.has_value();
  if (!type) type = byExtension.value_or(MciDeviceType::MpegVideo);
  // "buffer" is a keyword of waveaudio alone.
  if (args.buffer && *type != MciDeviceType::WaveAudio) return mcierr::kUnrecognizedKeyword;
  if (!sounds_.IsFile(path)) {
    // Without a type there is no driver to look for the file.
    return typeKnown ? mcierr::kFileNotFound : mcierr::kExtensionNotFound;
  }

  Result<std::unique_ptr<AudioFileDecoder>> decoder = Fail(ErrorCode::InvalidProcedureCall);
  if (*type == MciDeviceType::Sequencer) {
    if (!sounds_.PlaysMidi()) return mcierr::kSeqNoMidiPresent;
    decoder = sounds_.OpenMidi(path);
  } else {
    decoder = sounds_.OpenSound(path);
  }
  if (!decoder) return typeKnown ? mcierr::kInvalidFile : mcierr::kExtensionNotFound;
  const std::string name = args.alias ? *args.alias : path;
  devices_.push_back(OpenDevice{FreeId(), autoOpen,
                                std::make_unique<MciDevice>(name, *type, std::move(*decoder))});
  index = devices_.size() - 1;
  return 0;
}

}  // namespace vistel
