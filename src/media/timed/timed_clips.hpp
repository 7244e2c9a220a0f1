// The clips of a host that decodes no pictures (the headless host on
// Windows): each clip keeps the timing its packets give (ProbeClip), the one
// the Linux decoder plays it to, and shows black pictures of its size; its
// sound is silence of the sound's exact length. A show with clips thus plays
// to the same times on both hosts; only its snapshots differ.
#pragma once

#include "runtime/files.hpp"
#include "runtime/media.hpp"

namespace vistel {

class TimedClips final : public ClipDecoder {
 public:
  // The file system must outlive this and the clips it opens.
  explicit TimedClips(FileSystem& files) : files_(files) {}
  Result<std::unique_ptr<MediaClip>> OpenClip(std::string_view path) override;

 private:
  FileSystem& files_;
};

}  // namespace vistel
