// FFmpeg's libraries (libavutil, libswresample, libswscale, libavcodec,
// libavformat), opened on first need. Everything of this folder that calls
// FFmpeg checks LoadFfmpeg() first; so must any other caller (tests, tools).
#pragma once

#include "base/error.hpp"

namespace vistel::ffmpeg {

// Opens the libraries of the major versions this program was compiled
// against and resolves every FFmpeg function the project calls, once per
// process; later calls give the first call's result. Fails with "cannot load
// FFmpeg (reason)" when a library or function is missing, and FFmpeg's
// functions must then not be called.
Status LoadFfmpeg();

}  // namespace vistel::ffmpeg
