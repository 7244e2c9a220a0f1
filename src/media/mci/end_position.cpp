#include "media/mci/end_position.hpp"

#include <algorithm>

#include "base/text.hpp"
#include "media/mci/mci_command.hpp"

namespace vistel {
namespace {

constexpr std::uint32_t kModeReplySize = 32;

// Whether the keywords after the device name hold `word`.
bool HasWord(std::string_view keywords, std::string_view word) {
  std::size_t at = 0;
  while (at < keywords.size()) {
    const std::size_t start = keywords.find_first_not_of(' ', at);
    if (start == std::string_view::npos) break;
    const std::size_t end = std::min(keywords.find(' ', start), keywords.size());
    if (EqualsIgnoringAsciiCase(keywords.substr(start, end - start), word)) return true;
    at = end;
  }
  return false;
}

std::string Quoted(const std::string& device) {
  return "\"" + device + "\"";
}

}  // namespace

bool EndPositionCorrection::EndedByItself(const std::string& device) {
  const auto found = toTheEnd_.find(AsciiLower(device));
  if (found == toTheEnd_.end() || !found->second) return false;
  return inner_.SendString("status " + Quoted(device) + " mode", kModeReplySize).reply == "stopped";
}

void EndPositionCorrection::Follow(std::string_view command) {
  MciCommandText text;
  if (SplitMciCommand(command, text) != 0 || text.device.empty()) return;
  const std::string name = AsciiLower(text.device);
  if (text.verb == "play") {
    toTheEnd_[name] = !HasWord(text.rest, "to");
  } else if (text.verb == "stop" || text.verb == "pause" || text.verb == "seek" ||
             text.verb == "open") {
    toTheEnd_[name] = false;
  } else if (text.verb == "close") {
    if (name == "all") {
      toTheEnd_.clear();
    } else {
      toTheEnd_.erase(name);
    }
  }
}

MciReply EndPositionCorrection::SendString(std::string_view command, std::uint32_t replySize) {
  MciCommandText text;
  if (SplitMciCommand(command, text) == 0 && text.verb == "status" &&
      HasWord(text.rest, "position") && EndedByItself(text.device)) {
    // The length in the device's time format, as the position would be.
    MciReply length = inner_.SendString("status " + Quoted(text.device) + " length", replySize);
    if (length.rc == 0) return length;
  }
  MciReply reply = inner_.SendString(command, replySize);
  if (reply.rc == 0) Follow(command);
  return reply;
}

}  // namespace vistel
