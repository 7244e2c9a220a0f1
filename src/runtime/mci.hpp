// The MCI command-string service (mciSendStringA): the music module speaks to
// it in command texts and reads replies as text of at most replySize - 1
// characters, exactly as on Windows, where winmm answers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vistel {

struct MciReply {
  std::uint32_t rc = 0;  // 0 on success, an MCIERR_* code otherwise
  // What is left in the reply area: the reply on success, the empty text
  // after a failure (winmm clears the area before it answers).
  std::string reply;
};

class MciService {
 public:
  virtual ~MciService() = default;
  virtual MciReply SendString(std::string_view command, std::uint32_t replySize) = 0;
};

}  // namespace vistel
