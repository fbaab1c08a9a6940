#include "sim/dsp/segment_file.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <system_error>

namespace tevra::dsp {
namespace {

void putWord(std::string& out, double value) {
  auto word = static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
  auto bits = static_cast<uint16_t>(word);
  out.push_back(static_cast<char>(bits >> 8));
  out.push_back(static_cast<char>(bits & 0xff));
}

double getWord(std::string_view bytes, size_t at) {
  auto bits =
      static_cast<uint16_t>((static_cast<uint8_t>(bytes[at]) << 8) | static_cast<uint8_t>(bytes[at + 1]));
  return static_cast<int16_t>(bits) / kFullScale;
}

}  // namespace

std::string encodeSegment(const Samples& x, double peak) {
  double largest = 0.0;
  for (const Complex& v : x) largest = std::max({largest, std::abs(v.real()), std::abs(v.imag())});
  double factor = largest > 0 ? std::clamp(peak, 0.0, 1.0) * kFullScale / largest : 0.0;
  std::string out;
  out.reserve(x.size() * 4);
  for (const Complex& v : x) {
    putWord(out, v.real() * factor);
    putWord(out, v.imag() * factor);
  }
  return out;
}

std::optional<Samples> decodeSegment(std::string_view bytes) {
  if (bytes.size() % 4 != 0) return std::nullopt;
  Samples x(bytes.size() / 4);
  for (size_t n = 0; n < x.size(); ++n) x[n] = {getWord(bytes, 4 * n), getWord(bytes, 4 * n + 2)};
  return x;
}

bool writeSegmentFile(const std::filesystem::path& path, const Samples& x, std::string* why) {
  std::string bytes = encodeSegment(x);
  std::filesystem::path temporary = path;
  temporary += ".part";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) {
      if (why) *why = "cannot write " + temporary.string();
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    if (why) *why = "cannot replace " + path.string() + ": " + error.message();
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

}  // namespace tevra::dsp
