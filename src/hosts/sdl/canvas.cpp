#include "hosts/sdl/canvas.hpp"

#include <SDL_syswm.h>

namespace vistel {
namespace {

unexpected<Error> SdlFailure(std::string what) {
  what.append(": ").append(SDL_GetError());
  return Fail(ErrorCode::InvalidProcedureCall, std::move(what));
}

// An X server without direct rendering (Xvfb, Xvnc, a remote display) gives
// OpenGL only through Mesa's software rasteriser, whose start (loading LLVM,
// compiling its shaders) delays the first frame by a few hundred
// milliseconds, and which draws no faster than SDL's own software renderer.
// A renderer the user names (SDL_RENDER_DRIVER) is left to SDL.
bool WantsAcceleratedRenderer(SDL_Window* window) {
  if (SDL_GetHint(SDL_HINT_RENDER_DRIVER) != nullptr) return true;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) {
    return true;
  }
  int opcode = 0, event = 0, error = 0;
  return XQueryExtension(info.info.x11.display, "DRI3", &opcode, &event, &error) == True ||
         XQueryExtension(info.info.x11.display, "DRI2", &opcode, &event, &error) == True;
}

}  // namespace

Result<std::unique_ptr<Canvas>> Canvas::WithRenderer(SDL_Window* window, std::uint32_t flags) {
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, flags);
  if (renderer == nullptr && (flags & SDL_RENDERER_SOFTWARE) == 0) {
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  }
  if (renderer == nullptr) {
    auto failure = SdlFailure("cannot create a renderer");
    SDL_DestroyWindow(window);
    return failure;
  }
  return std::unique_ptr<Canvas>(new Canvas(window, renderer));
}

Result<std::unique_ptr<Canvas>> Canvas::CreateOwn(const std::string& titleUtf8,
                                                  const Placement& placement) {
  std::uint32_t flags = SDL_WINDOW_SKIP_TASKBAR;
  if (placement.borderless) flags |= SDL_WINDOW_BORDERLESS;
  if (placement.topmost) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  flags |= placement.visible ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
  // Created at its final size: without a window manager a window keeps the
  // size it was created with.
  SDL_Window* window = SDL_CreateWindow(titleUtf8.c_str(), placement.rect.left, placement.rect.top,
                                        std::max(placement.rect.width, 1),
                                        std::max(placement.rect.height, 1), flags);
  if (window == nullptr) return SdlFailure("cannot create a window");
  if (!WantsAcceleratedRenderer(window)) return WithRenderer(window, SDL_RENDERER_SOFTWARE);
  return WithRenderer(window, placement.vsync ? SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC
                                              : SDL_RENDERER_ACCELERATED);
}

Result<std::unique_ptr<Canvas>> Canvas::CreateFromForeign(WindowHandle xWindow) {
  SDL_Window* window =
      SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(xWindow)));
  if (window == nullptr) return SdlFailure("cannot draw into X window " + std::to_string(xWindow));
  return WithRenderer(window, SDL_RENDERER_SOFTWARE);
}

Canvas::~Canvas() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ::Display* display =
      SDL_GetWindowWMInfo(window_, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11
          ? info.info.x11.display
          : nullptr;
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  SDL_DestroyRenderer(renderer_);
  SDL_DestroyWindow(window_);
  // A window destroyed from outside makes these calls fail. Their errors are
  // taken now, by the host's handler: at SDL_Quit SDL puts Xlib's default
  // handler back, which would end the process with 1 on a stale error.
  if (display != nullptr) XSync(display, False);
}

WindowHandle Canvas::XWindow() const {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window_, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return 0;
  return static_cast<WindowHandle>(info.info.x11.window);
}

bool Canvas::Upload(const Image& picture) {
  if (picture.IsEmpty()) return false;
  if (texture_ == nullptr || textureSize_ != picture.Extent()) {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    // SDL's RGB888 is the engine's pixel: 0x00RRGGBB in a 32-bit word.
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 picture.Width(), picture.Height());
    if (texture_ == nullptr) return false;
    textureSize_ = picture.Extent();
    // A picture shown at another size (a mirror on a larger monitor) is
    // smoothed rather than blocky; at its own size nothing changes.
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
  }
  SDL_UpdateTexture(texture_, nullptr, picture.Pixels().data(),
                    picture.Width() * static_cast<int>(sizeof(Pixel)));
  return true;
}

void Canvas::Present(const Image& picture) {
  if (!Upload(picture)) return;
  area_.reset();
  Refresh();
}

void Canvas::Present(const Image& picture, const IntRect& area) {
  if (!Upload(picture)) return;
  area_ = area;
  Refresh();
}

void Canvas::Clear() {
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  textureSize_ = {};
  Refresh();
}

void Canvas::Refresh() {
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  if (texture_ != nullptr) {
    if (area_) {
      const SDL_Rect target{area_->left, area_->top, area_->width, area_->height};
      SDL_RenderCopy(renderer_, texture_, nullptr, &target);
    } else {
      SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    }
  }
  SDL_RenderPresent(renderer_);
}

}  // namespace vistel
