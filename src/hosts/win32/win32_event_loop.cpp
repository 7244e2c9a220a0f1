#include "hosts/win32/win32_event_loop.hpp"

#include <algorithm>

#include "hosts/win32/windows_api.hpp"

namespace vistel {
namespace {

// A bound on every sleep, so that the end of --run-for is noticed promptly.
constexpr Milliseconds kMaxWaitMs = 500;

}  // namespace

Win32EventLoop::Win32EventLoop(const Clock& clock, Trace& trace)
    : clock_(clock), timers_(clock, trace) {}

std::unique_ptr<Timer> Win32EventLoop::CreateTimer(std::string name, std::function<void()> onTick) {
  return timers_.CreateTimer(std::move(name), std::move(onTick));
}

void Win32EventLoop::CheckEnd() const {
  if (quit_) throw Terminated{"quit"};
  if (endMs_ && clock_.NowMs() >= *endMs_) throw Terminated{"run-for"};
}

void Win32EventLoop::DoEvents() {
  CheckEnd();
  // Messages posted while handlers run are taken in the same pump; a bound
  // keeps a flood from holding the timers back.
  constexpr int kMaxMessagesPerPump = 256;
  MSG message;
  for (int n = 0; n < kMaxMessagesPerPump && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
       ++n) {
    if (message.message == WM_QUIT) {
      quit_ = true;
      break;
    }
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
    CheckEnd();
  }
  timers_.Pump();
  CheckEnd();
}

void Win32EventLoop::Wait(Milliseconds untilMs) {
  const int timeout = WaitTimeoutMs(clock_.NowMs(), timers_.NextDeadline(),
                                    std::min(untilMs, endMs_.value_or(untilMs)), kMaxWaitMs);
  ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(timeout), QS_ALLINPUT);
}

void Win32EventLoop::WaitUntil(Milliseconds deadlineMs) {
  while (true) {
    DoEvents();
    if (clock_.NowMs() >= deadlineMs) return;
    Wait(deadlineMs);
  }
}

void Win32EventLoop::Run() {
  while (true) {
    DoEvents();
    for (std::size_t i = 0; i < idleTasks_.size(); ++i) idleTasks_[i]();
    Wait(endMs_.value_or(clock_.NowMs() + kMaxWaitMs));
  }
}

}  // namespace vistel
