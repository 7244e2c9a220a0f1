#include "hosts/sdl/canvas.hpp"

#include <algorithm>

#include "imaging/resample.hpp"

// Last: Xlib's headers define Status as a macro, a name the project uses.
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

Result<std::unique_ptr<Canvas>> Canvas::OnSurface(SDL_Window* window) {
  if (SDL_GetWindowSurface(window) == nullptr) {
    auto failure = SdlFailure("cannot draw in the window");
    SDL_DestroyWindow(window);
    return failure;
  }
  return std::unique_ptr<Canvas>(new Canvas(window, nullptr));
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
  if (!WantsAcceleratedRenderer(window)) return OnSurface(window);
  return WithRenderer(window, placement.vsync ? SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC
                                              : SDL_RENDERER_ACCELERATED);
}

Result<std::unique_ptr<Canvas>> Canvas::CreateFromForeign(WindowHandle xWindow) {
  SDL_Window* window =
      SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(xWindow)));
  if (window == nullptr) return SdlFailure("cannot draw into X window " + std::to_string(xWindow));
  return OnSurface(window);
}

Canvas::~Canvas() {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  ::Display* display =
      SDL_GetWindowWMInfo(window_, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_X11
          ? info.info.x11.display
          : nullptr;
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
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
  Show(picture, std::nullopt);
}

void Canvas::Present(const Image& picture, const IntRect& area) {
  Show(picture, area);
}

void Canvas::Show(const Image& picture, const std::optional<IntRect>& area) {
  if (renderer_ == nullptr) {
    DrawOnSurface(picture, area);
    return;
  }
  if (!Upload(picture)) return;
  area_ = area;
  Refresh();
}

// The picture goes into the window's surface at its place, scaled smoothly
// when that place has another size; the rest of the window is black.
void Canvas::DrawOnSurface(const Image& picture, const std::optional<IntRect>& area) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr || picture.IsEmpty()) return;
  const IntRect whole{0, 0, surface->w, surface->h};
  const IntRect place = area.value_or(whole);
  Image scaled;
  const Image* shown = &picture;
  if (picture.Extent() != place.Extent() && place.width > 0 && place.height > 0) {
    auto resampled = ResampleImage(picture, place.width, place.height, ResampleFilter::Smooth);
    if (!resampled) return;
    scaled = std::move(*resampled);
    shown = &scaled;
  }
  // Black bands around the place, where there are any.
  const int top = std::clamp(place.top, 0, surface->h);
  const int bottom = std::clamp(place.top + place.height, top, surface->h);
  const int left = std::clamp(place.left, 0, surface->w);
  const int right = std::clamp(place.left + place.width, left, surface->w);
  const Uint32 black = SDL_MapRGB(surface->format, 0, 0, 0);
  const SDL_Rect bands[] = {{0, 0, surface->w, top},
                            {0, bottom, surface->w, surface->h - bottom},
                            {0, top, left, bottom - top},
                            {right, top, surface->w - right, bottom - top}};
  for (const SDL_Rect& band : bands) {
    if (band.w > 0 && band.h > 0) SDL_FillRect(surface, &band, black);
  }
  if (right > left && bottom > top) {
    // SDL's RGB888 is the engine's pixel; the conversion is a plain copy
    // when the surface has that format too (a 24-bit X visual).
    const int width = right - left;
    const int height = bottom - top;
    const Pixel* from = shown->Row(top - place.top) + (left - place.left);
    auto* to = static_cast<Uint8*>(surface->pixels) + std::ptrdiff_t{top} * surface->pitch +
               std::ptrdiff_t{left} * surface->format->BytesPerPixel;
    SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_RGB888, from,
                      shown->Width() * static_cast<int>(sizeof(Pixel)), surface->format->format, to,
                      surface->pitch);
  }
  SDL_UpdateWindowSurface(window_);
}

void Canvas::Clear() {
  if (renderer_ == nullptr) {
    if (SDL_Surface* surface = SDL_GetWindowSurface(window_)) {
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
      SDL_UpdateWindowSurface(window_);
    }
    return;
  }
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  textureSize_ = {};
  Refresh();
}

void Canvas::Refresh() {
  if (renderer_ == nullptr) {
    // The surface still holds the last picture.
    SDL_UpdateWindowSurface(window_);
    return;
  }
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
