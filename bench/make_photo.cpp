// Writes a photograph-like JPEG of the given size, as a camera writes it
// (4:2:0, quality 90): the test picture of jpeg_scale.sh and first_frame.sh.
//   vistel_make_photo WIDTH HEIGHT OUT.jpg
#include <cstdio>
#include <cstdlib>
#include <string>

#include "media/synthetic_photo.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s WIDTH HEIGHT OUT.jpg\n", argv[0]);
    return 2;
  }
  const int width = std::atoi(argv[1]);
  const int height = std::atoi(argv[2]);
  if (width < 1 || height < 1 || width > 16384 || height > 16384) {
    std::fprintf(stderr, "%s: size out of range\n", argv[0]);
    return 2;
  }
  if (!vistel::testing::WriteJpeg(vistel::testing::SyntheticPhoto(width, height), argv[3],
                                  vistel::testing::JpegStyle::Camera)) {
    std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
    return 1;
  }
  return 0;
}
