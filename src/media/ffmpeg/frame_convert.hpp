// Decoded FFmpeg frames to the engine's Image (0x00RRGGBB words), and back.
// Internal to the FFmpeg media services.
#pragma once

#include "base/image.hpp"
#include "media/ffmpeg/ffmpeg_support.hpp"

namespace vistel::ffmpeg {

// Converts any frame to an Image of the frame's size, reusing scaler across
// calls. Alpha, if any, is ignored. False when swscale refuses the format.
bool ConvertFrame(const AVFrame& frame, ScalePtr& scaler, Image& image);

// Converts a frame composing its transparent pixels over back:
// out = (colour * alpha + back * (255 - alpha) + 127) / 255 per channel.
bool ConvertFrameOver(const AVFrame& frame, Pixel back, Image& image);

// Whether a pixel format carries transparency (an alpha plane or a palette,
// whose entries may be transparent).
bool HasAlpha(AVPixelFormat format);

}  // namespace vistel::ffmpeg
