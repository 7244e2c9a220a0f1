#include "imaging/paint_effect.hpp"

namespace vistel {

// Every code repaints plainly until the effect catalogue is in place.
std::unique_ptr<EffectAnimation> MakePaintEffect(int /*code*/, const EffectSettings& /*settings*/,
                                                 const Image& /*from*/, const Image& /*to*/) {
  return nullptr;
}

}  // namespace vistel
