// Fuzzes the input scripts of --input (JSON lines). A script that parses
// gives events in time order with every field inside the ranges the
// delivery relies on.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "hosts/headless/input_script.hpp"
#include "scratch_file.hpp"

using namespace vistel;

namespace {

bool InRange(double px) {
  return px >= -1e6 && px <= 1e6;
}

struct CheckAction {
  void operator()(const MouseMoveInput& move) const {
    fuzz::Require(InRange(move.xPx) && InRange(move.yPx));
  }
  void operator()(const KeyPressInput& key) const {
    fuzz::Require(key.code >= 0 && key.code <= 65535);
  }
  void operator()(const ClickInput& click) const {
    fuzz::Require(click.button == MouseButton::Left || click.button == MouseButton::Right ||
                  click.button == MouseButton::Middle);
    fuzz::Require(InRange(click.xPx) && InRange(click.yPx));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto events = ParseInputScript(text);
  if (!events) {
    fuzz::Require(events.error().description.size() <= fuzz::kMaxMessageBytes);
    return 0;
  }
  fuzz::Require(
      std::is_sorted(events->begin(), events->end(),
                     [](const InputEvent& a, const InputEvent& b) { return a.atMs < b.atMs; }));
  for (const InputEvent& event : *events) {
    fuzz::Require(event.atMs >= 0);
    std::visit(CheckAction{}, event.action);
  }
  return 0;
}
