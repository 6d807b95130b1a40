#pragma once
// YUV4MPEG2, the plain video stream that ffmpeg, mpv and x264 read from a
// pipe: one header line, then per frame "FRAME\n" and the three planes.
// The planes are 4:4:4 (C444), BT.601 in the studio range (Y 16–235, Cb and
// Cr 16–240), which is what these readers assume when a stream says nothing
// else.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/linux/png_image.h"

namespace platform {

// "YUV4MPEG2 W<w> H<h> F<num>:<den> Ip A1:1 C444\n", the
// frame rate as an exact ratio where it has one (29.97 → 2997:100).
std::string Y4mHeader(int width, int height, double fps);

// The frame's bytes after "FRAME\n": the Y plane, then Cb, then Cr, each
// width × height bytes, top row first. Alpha is ignored.
void RgbaToYuv444(const RgbaImage& image, std::vector<uint8_t>* planes);

}  // namespace platform
