// The fixed tables of MPEG audio layers I and II: the synthesis window, the
// scale factors and layer II's bit allocation (internal to the decoder and
// its tests).
#pragma once

#include <array>
#include <cstdint>

namespace vistel::mpeg1 {

// The synthesis window D[0..511], as ISO/IEC 11172-3 prints it (Annex B,
// table 3-B.3, "Coefficients Di of the synthesis window").
extern const std::array<float, 512> kSynthesisWindow;

// Scale factor `index` (0..63): 2 * 2^(-index/3). The standard's table of
// them (3-B.1) stops at 62; 63 is unused there and continues the series here.
float ScaleFactor(int index);

// What one allocation code of a layer II subband means: how many levels its
// samples are quantised to (0: the subband is not coded), and whether three
// samples share one codeword.
struct QuantClass {
  int levels = 0;
  int bits = 0;  // of one sample, or of the three samples' codeword when grouped
  bool grouped = false;
};

// One subband's row of an allocation table: the allocation code's width and
// the class of each code.
struct AllocationRow {
  int codeBits = 0;
  std::array<std::uint16_t, 16> levels{};  // by allocation code; [0] is 0
};

// A layer II bit allocation table: subbands from 0 to `subbands` - 1 are
// coded, each with its row.
struct AllocationTable {
  int subbands = 0;
  std::array<const AllocationRow*, 32> rows{};
};

QuantClass ClassOfLevels(int levels);

// The table a layer II frame uses. `kbpsPerChannel` is the bit rate over the
// channels; 0 for free format.
const AllocationTable& Layer2AllocationTable(bool lsf, int sampleRate, int kbpsPerChannel);

}  // namespace vistel::mpeg1
