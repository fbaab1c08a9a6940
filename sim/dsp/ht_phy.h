// Building blocks of the 802.11n HT-mixed PHY (20 MHz, one spatial stream, long guard interval) that differ
// from the legacy OFDM ones: the MCS table, 52 data and 4 pilot carriers out of 56, the interleaver of 13
// columns, the HT-SIG field with its CRC, the HT long training symbol and the travelling pilot pattern.
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
// HT-SIG1 and HT-SIG2 before coding: 48 bits.
Bits sigBits(const Mcs& mcs, size_t length);
struct SigField {
  Mcs mcs;
  size_t length;
};
std::optional<SigField> parseSig(const Bits& bits);

size_t dataSymbols(const Mcs& mcs, size_t length);
// The LENGTH that the legacy SIGNAL field of an HT-mixed PPDU carries, so that legacy receivers defer for
// its whole duration.
size_t legacyLength(size_t dataSymbols);

}  // namespace tevra::dsp::ht
