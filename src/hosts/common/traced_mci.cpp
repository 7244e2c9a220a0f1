#include "hosts/common/traced_mci.hpp"

#include <cstdint>
#include <string>

#include "base/text.hpp"

namespace vistel {

MciReply TracedMciService::SendString(std::string_view command, std::uint32_t replySize) {
  MciReply reply = inner_.SendString(command, replySize);
  if (trace_.Enabled()) {
    trace_.Write("mci", {{"command", Windows1252ToUtf8(command)},
                         {"rc", static_cast<std::int64_t>(reply.rc)},
                         {"reply", Windows1252ToUtf8(reply.reply)}});
  }
  return reply;
}

}  // namespace vistel
