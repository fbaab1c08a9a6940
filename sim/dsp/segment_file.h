// Segment files: one sample after the other as signed 16-bit big-endian I then Q, no header.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "sim/dsp/iq.h"

namespace tevra::dsp {

inline constexpr double kFullScale = 32767.0;

// Samples scaled so that the largest I or Q magnitude reaches `peak` of full scale (0 < peak <= 1).
std::string encodeSegment(const Samples& x, double peak = 0.7);
// Full scale reads as 1.0; nothing when the bytes are not whole samples.
std::optional<Samples> decodeSegment(std::string_view bytes);

// Writes through a temporary file and a rename, so a failed write never leaves half a file; false with the
// reason in `why`.
bool writeSegmentFile(const std::filesystem::path& path, const Samples& x, std::string* why);

}  // namespace tevra::dsp
