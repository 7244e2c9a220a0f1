// Shared libraries opened on first need rather than by the program loader:
// FFmpeg and FluidSynth bring about 130 libraries with them, whose loading
// and static initialisers cost more than the player's whole start-up, while a
// show that starts on a JPEG needs neither before its first picture.
//
// Each family (ffmpeg_library.cpp, midi/fluidsynth_library.cpp) defines the
// functions the project calls under their own names, each forwarding to the
// address this loader resolved. The libraries are opened with RTLD_LOCAL and
// never closed: their symbols stay out of the global scope, and the addresses
// stay valid for the life of the process.
#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <mutex>
#include <optional>
#include <span>
#include <string_view>

#include "base/error.hpp"

// A family lists its functions as X(ret, name, params, args); these entries
// make its index enumerators and its names from that list.
#define VISTEL_LIBRARY_INDEX(ret, name, params, args) name,
#define VISTEL_LIBRARY_NAME(ret, name, params, args) #name,

namespace vistel {

// One function to resolve: its name, and where its address goes.
struct LibrarySymbol {
  const char* name;
  std::atomic<void*>* address;
};

// Opens the libraries in order (a library before those that need it), then
// looks every symbol up in them, the first library that has it winning. The
// addresses are stored only when all are found: either every symbol is
// usable or none is. A failure is an error "cannot load FAMILY (reason)",
// the reason being the dynamic loader's (which library or symbol is missing).
Status LoadLibraries(std::string_view family, std::span<const char* const> sonames,
                     std::span<const LibrarySymbol> symbols);

// A forwarding function called before its family loaded, which is a fault of
// the caller: says which function and aborts.
[[noreturn]] void CalledBeforeLoading(const char* function, const char* family);

// The N functions of one family: loaded once, from any thread, and looked up
// by their index in `names`. Constant-initialised, so that it is there before
// any static constructor could call a forwarding function.
template <std::size_t N>
class LibraryFamily {
 public:
  constexpr LibraryFamily(const char* family, const std::array<const char*, N>& names)
      : family_(family), names_(names) {}

  Status Load(std::span<const char* const> sonames) {
    std::call_once(once_, [&] {
      std::array<LibrarySymbol, N> symbols{};
      for (std::size_t i = 0; i < N; ++i) symbols[i] = {names_[i], &addresses_[i]};
      if (auto loaded = LoadLibraries(family_, sonames, symbols); !loaded) {
        failure_ = loaded.error();
      }
    });
    if (failure_) return Fail(*failure_);
    return {};
  }

  template <class Pointer>
  Pointer Resolved(std::size_t index) const {
    void* address = addresses_[index].load(std::memory_order_acquire);
    if (address == nullptr) [[unlikely]] {
      CalledBeforeLoading(names_[index], family_);
    }
    return std::bit_cast<Pointer>(address);
  }

 private:
  const char* family_;
  std::array<const char*, N> names_;
  std::array<std::atomic<void*>, N> addresses_{};
  std::once_flag once_;
  std::optional<Error> failure_;
};

}  // namespace vistel
