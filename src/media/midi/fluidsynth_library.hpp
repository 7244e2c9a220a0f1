// FluidSynth's library, opened on first need (media/ffmpeg/library_loader.hpp
// says why). Everything that calls FluidSynth checks LoadFluidSynth() first.
#pragma once

#include "base/error.hpp"

namespace vistel {

// Opens libfluidsynth (the soname of the library compiled against) and
// resolves every FluidSynth function the project calls, once per process;
// later calls give the first call's result. Fails with "cannot load
// FluidSynth (reason)" when the library or a function is missing, and
// FluidSynth's functions must then not be called.
Status LoadFluidSynth();

}  // namespace vistel
