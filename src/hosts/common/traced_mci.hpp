// An MciService that passes every command to another and writes the "mci"
// trace event for it: {"ev":"mci","command":"status song position","rc":0,
// "reply":"1500"}. Command and reply are ANSI texts, written as UTF-8.
#pragma once

#include "runtime/mci.hpp"
#include "runtime/trace.hpp"

namespace vistel {

class TracedMciService final : public MciService {
 public:
  // Both are borrowed and must outlive this object.
  TracedMciService(MciService& inner, Trace& trace) : inner_(inner), trace_(trace) {}

  MciReply SendString(std::string_view command, std::uint32_t replySize) override;

 private:
  MciService& inner_;
  Trace& trace_;
};

}  // namespace vistel
