#include "hosts/headless/headless_host.hpp"

#include <type_traits>
#include <utility>
#include <variant>

#include "hosts/common/media_services.hpp"

namespace vistel {
namespace {

template <class>
inline constexpr bool kAlwaysFalse = false;

}  // namespace

HeadlessHost::HeadlessHost(const PlayerOptions& options, std::string playerPath)
    : audio_(clock_),
      services_(options, clock_, audio_, std::move(playerPath), {options.registryPath}),
      loop_(clock_, services_.Tracer()),
      display_(options.screenSizePx, options.windows),
      messages_(services_.Tracer()),
      showWindow_(display_, loop_, services_.Tracer(), options.frameMs) {}

HeadlessHost::~HeadlessHost() = default;

Result<std::unique_ptr<HeadlessHost>> HeadlessHost::Create(const PlayerOptions& options,
                                                           std::string playerPath) {
  // Not make_unique: the constructor is private.
  std::unique_ptr<HeadlessHost> host(new HeadlessHost(options, std::move(playerPath)));
  if (auto started = host->services_.Start(); !started) return Fail(started.error());
  return host;
}

Status HeadlessHost::WriteSnapshot(const std::string& path) {
  if (const std::string folder = ParentFolder(path); !folder.empty()) {
    if (auto made = Files().CreateDirectories(folder); !made) return made;
  }
  return vistel::WriteSnapshot(showWindow_.Compose(), path);
}

bool HeadlessHost::DeliverInput(const InputEvent& event) {
  return std::visit(
      [this](const auto& action) -> bool {
        using Action = std::decay_t<decltype(action)>;
        if constexpr (std::is_same_v<Action, MouseMoveInput>) {
          return showWindow_.DeliverMouseMove(action.xPx, action.yPx);
        } else if constexpr (std::is_same_v<Action, KeyPressInput>) {
          return showWindow_.DeliverKeyPress(action.code);
        } else if constexpr (std::is_same_v<Action, ClickInput>) {
          if (showWindow_.DeliverMouseUp(static_cast<int>(action.button), action.xPx, action.yPx)) {
            return true;
          }
          return aboutWindow_.ClickAt(action.xPx, action.yPx);
        } else {
          static_assert(kAlwaysFalse<Action>, "every input action is delivered");
        }
      },
      event.action);
}

}  // namespace vistel
