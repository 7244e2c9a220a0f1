// Real time for the desktop hosts: milliseconds of a steady clock since the
// host started.
#pragma once

#include <chrono>

#include "runtime/events.hpp"

namespace vistel {

class SteadyClock final : public Clock {
 public:
  SteadyClock() : start_(std::chrono::steady_clock::now()) {}
  Milliseconds NowMs() const override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start_)
        .count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace vistel
