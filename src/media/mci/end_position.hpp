// A correction in front of an MCI service that may stop a device played to
// its end with the position short of its length (the system's MPEG device
// counts in whole video frames and stops on the last one it showed). The
// music module knows that a track has ended only when the two agree in whole
// seconds, so such a track would never end. A device whose last play ran to
// the end of the medium and that has stopped by itself therefore reports its
// length as its position; a device stopped, paused, sought or played to a
// point by command reports its position as the service gives it.
#pragma once

#include <map>
#include <string>

#include "runtime/mci.hpp"

namespace vistel {

class EndPositionCorrection final : public MciService {
 public:
  // The service must outlive this.
  explicit EndPositionCorrection(MciService& inner) : inner_(inner) {}

  MciReply SendString(std::string_view command, std::uint32_t replySize) override;

 private:
  void Follow(std::string_view command);
  bool EndedByItself(const std::string& device);

  MciService& inner_;
  // The devices whose last play runs to the end, by name folded to lower
  // case (names compare without regard to case).
  std::map<std::string, bool> toTheEnd_;
};

}  // namespace vistel
