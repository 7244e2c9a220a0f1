// FluidSynth's functions as this program sees them: each forwards to the
// function of the library that LoadFluidSynth() opened. The declarations
// come from FluidSynth's own header, so a signature here that differs from
// the header's does not compile.
#include "media/midi/fluidsynth_library.hpp"

#include <fluidsynth.h>

#include <array>
#include <cstddef>

#include "media/ffmpeg/library_loader.hpp"

// Every FluidSynth function called anywhere in the project: return type,
// name, parameters, arguments. A call to one missing here fails to link.
// clang-format off
#define VISTEL_FLUIDSYNTH_FUNCTIONS(X) \
  X(void, delete_fluid_player, (fluid_player_t* player), (player)) \
  X(void, delete_fluid_settings, (fluid_settings_t* settings), (settings)) \
  X(void, delete_fluid_synth, (fluid_synth_t* synth), (synth)) \
  X(int, fluid_player_add_mem, (fluid_player_t* player, const void* buffer, size_t len), (player, buffer, len)) \
  X(int, fluid_player_play, (fluid_player_t* player), (player)) \
  X(int, fluid_player_seek, (fluid_player_t* player, int ticks), (player, ticks)) \
  X(int, fluid_player_stop, (fluid_player_t* player), (player)) \
  X(fluid_log_function_t, fluid_set_log_function, (int level, fluid_log_function_t fun, void* data), (level, fun, data)) \
  X(int, fluid_settings_setint, (fluid_settings_t* settings, const char* name, int val), (settings, name, val)) \
  X(int, fluid_settings_setnum, (fluid_settings_t* settings, const char* name, double val), (settings, name, val)) \
  X(int, fluid_settings_setstr, (fluid_settings_t* settings, const char* name, const char* str), (settings, name, str)) \
  X(int, fluid_synth_all_sounds_off, (fluid_synth_t* synth, int chan), (synth, chan)) \
  X(int, fluid_synth_sfload, (fluid_synth_t* synth, const char* filename, int reset_presets), (synth, filename, reset_presets)) \
  X(int, fluid_synth_system_reset, (fluid_synth_t* synth), (synth)) \
  X(int, fluid_synth_write_s16, (fluid_synth_t* synth, int len, void* lout, int loff, int lincr, void* rout, int roff, int rincr), (synth, len, lout, loff, lincr, rout, roff, rincr)) \
  X(fluid_player_t*, new_fluid_player, (fluid_synth_t* synth), (synth)) \
  X(fluid_settings_t*, new_fluid_settings, (void), ()) \
  X(fluid_synth_t*, new_fluid_synth, (fluid_settings_t* settings), (settings))
// clang-format on

namespace vistel {
namespace {

enum class FluidFunction : std::size_t { VISTEL_FLUIDSYNTH_FUNCTIONS(VISTEL_LIBRARY_INDEX) kCount };
constexpr std::size_t kFunctionCount = static_cast<std::size_t>(FluidFunction::kCount);

constexpr std::array<const char*, kFunctionCount> kNames = {
    VISTEL_FLUIDSYNTH_FUNCTIONS(VISTEL_LIBRARY_NAME)};

constinit LibraryFamily<kFunctionCount> family("FluidSynth", kNames);

// The build reads it from the library it compiled against (src/CMakeLists.txt).
constexpr std::array<const char*, 1> kSonames = {VISTEL_FLUIDSYNTH_SONAME};

template <class Pointer>
Pointer ResolvedFluid(FluidFunction function) {
  return family.Resolved<Pointer>(static_cast<std::size_t>(function));
}

}  // namespace

Status LoadFluidSynth() {
  return family.Load(kSonames);
}

}  // namespace vistel

// Outside the namespace: these are FluidSynth's C names.
#define VISTEL_FLUIDSYNTH_FORWARD(ret, name, params, args)                   \
  extern "C" ret name params {                                               \
    using vistel::FluidFunction;                                             \
    return vistel::ResolvedFluid<decltype(&name)>(FluidFunction::name) args; \
  }
VISTEL_FLUIDSYNTH_FUNCTIONS(VISTEL_FLUIDSYNTH_FORWARD)
#undef VISTEL_FLUIDSYNTH_FORWARD
