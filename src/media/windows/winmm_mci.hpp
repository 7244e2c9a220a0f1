// Music through the system's own MCI (winmm's mciSendStringW): the command
// texts of the music module go to Windows as they are, in UTF-16, and the
// replies come back as Windows gives them.
#pragma once

#include "runtime/mci.hpp"

namespace vistel {

class WinmmMciService final : public MciService {
 public:
  MciReply SendString(std::string_view command, std::uint32_t replySize) override;
};

}  // namespace vistel
