// Building blocks of the 802.11n HT-mixed PHY (one spatial stream, long guard interval) that differ from the
// legacy OFDM ones: the MCS table, 52 data and 4 pilot carriers out of 56, the interleaver of 13 columns, the
// HT-SIG field with its CRC, the HT long training symbol and the travelling pilot pattern; and for a 40 MHz
// channel (namespace wide) 108 data and 6 pilot carriers out of 114 on a 128-point transform.
#pragma once

#include <array>
#include <optional>

#include "sim/dsp/convolutional.h"
#include "sim/dsp/iq.h"

namespace tevra::dsp::ht {

inline constexpr size_t kDataCarriers = 52;
inline constexpr size_t kOccupied = 56;
inline constexpr size_t kMaxLength = 65535;

struct Mcs {
  int index;
  size_t bitsPerCarrier;
  CodeRate code;
  size_t codedBitsPerSymbol;
  size_t dataBitsPerSymbol;
};

const std::array<Mcs, 8>& mcsTable();
std::optional<Mcs> mcsOf(int index);

const std::array<int, kDataCarriers>& dataCarriers();
// Pilot values of DATA symbol n (from 0).
std::array<double, 4> pilotValues(size_t symbol);
Complex longTrainingValue(int carrier);

size_t interleavedIndex(size_t k, size_t codedBitsPerSymbol, size_t bitsPerCarrier);
Bits interleave(const Bits& symbolBits, size_t bitsPerCarrier);
std::vector<double> deinterleave(const std::vector<double>& symbolSoft, size_t bitsPerCarrier);

// The CRC-8 (x^8 + x^2 + x + 1, preset to ones, complemented) of HT-SIG's first 34 bits.
uint8_t sigCrc(const Bits& bits);
// HT-SIG1 and HT-SIG2 before coding: 48 bits; `wide` sets the 40 MHz channel bit.
Bits sigBits(const Mcs& mcs, size_t length, bool wide = false);
struct SigField {
  Mcs mcs;
  size_t length;
};
// Only a field of the channel width asked for is taken; a 40 MHz field gives the 40 MHz MCS.
std::optional<SigField> parseSig(const Bits& bits, bool fortyMhz = false);

size_t dataSymbols(const Mcs& mcs, size_t length);
// The LENGTH that the legacy SIGNAL field of an HT-mixed PPDU carries, so that legacy receivers defer for
// its whole duration.
size_t legacyLength(size_t dataSymbols);

namespace wide {

inline constexpr size_t kFftSize = 128;
inline constexpr size_t kGuard = 32;
inline constexpr size_t kSymbol = kFftSize + kGuard;
inline constexpr size_t kDataCarriers = 108;
inline constexpr size_t kOccupied = 114;
inline constexpr double kSampleRateHz = 40e6;
inline constexpr int kHalfOffset = 32;  // carriers between the channel centre and a 20 MHz half's centre

// The MCS in a 40 MHz channel: the same modulation and code on 108 data carriers.
std::optional<Mcs> mcsOf(int index);
const std::array<int, kDataCarriers>& dataCarriers();
const std::array<int, 6>& pilotCarriers();
// Pilot values of DATA symbol n (from 0), carriers in the order of pilotCarriers().
std::array<double, 6> pilotValues(size_t symbol);
// HT-LTF on carrier -58..58: the legacy long training sequence in each half with the gaps filled.
Complex longTrainingValue(int carrier);
// The 90 degree turn of the upper half that keeps a duplicated 40 MHz signal's peak power down.
inline Complex upperRotation(int carrier) {
  return carrier > 0 ? Complex{0.0, 1.0} : Complex{1.0, 0.0};
}
inline size_t binOf(int carrier) {
  return static_cast<size_t>((carrier + static_cast<int>(kFftSize)) % static_cast<int>(kFftSize));
}
Bits interleave(const Bits& symbolBits, size_t bitsPerCarrier);
std::vector<double> deinterleave(const std::vector<double>& symbolSoft, size_t bitsPerCarrier);

}  // namespace wide

}  // namespace tevra::dsp::ht
