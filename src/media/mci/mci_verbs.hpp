// What each verb takes and does on one open device: play, stop, pause,
// resume, seek, status, set and (digital video only) setaudio, answered as
// winmm's waveaudio, sequencer and mpegvideo drivers answer them. Open and
// close belong to the service, which keeps the devices.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "media/mci/mci_command.hpp"
#include "media/mci/mci_device.hpp"
#include "runtime/media.hpp"

namespace vistel {

// The keywords of a verb on a device of the given type, or of the verbs every
// device has (no type). Nothing when the verb is not the type's.
const MciGrammar* FindMciGrammar(std::string_view verb, std::optional<MciDeviceType> type);

// Runs a verb other than open and close, whose arguments have been parsed
// with the device's grammar.
std::uint32_t RunMciVerb(std::string_view verb, const MciArguments& args, MciDevice& device,
                         AudioOutput& output, std::string& reply);

}  // namespace vistel
