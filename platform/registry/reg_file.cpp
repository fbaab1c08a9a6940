#include <algorithm>

#include "platform/com/bstr.h"
#include "platform/registry/ascii_case.h"
#include "platform/registry/registry.h"

namespace tevra::platform {
namespace {

constexpr std::string_view kHeaderVersion5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeaderRegedit4 = "REGEDIT4";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

// Version 5.00 files write the text values given as hex in UTF-16LE; REGEDIT4 files in 8-bit characters.
enum class Format { kVersion5, kRegedit4 };

std::string_view trimLeft(std::string_view s) {
  const size_t start = s.find_first_not_of(" \t");
  return start == std::string_view::npos ? std::string_view{} : s.substr(start);
}

std::string_view trim(std::string_view s) {
  s = trimLeft(s);
  const size_t end = s.find_last_not_of(" \t");
  return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::u16string utf16LeUnits(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto lo = static_cast<unsigned char>(bytes[i]);
    const auto hi = static_cast<unsigned char>(bytes[i + 1]);
    units.push_back(static_cast<char16_t>(lo | (hi << 8)));
  }
  return units;
}

// The file's text in UTF-8, without a byte-order mark.
std::string decodeFileText(std::string_view raw) {
  if (raw.starts_with(kUtf16LeBom)) return Utf16ToUtf8(utf16LeUnits(raw.substr(kUtf16LeBom.size())));
  if (raw.starts_with(kUtf8Bom)) raw.remove_prefix(kUtf8Bom.size());
  return std::string(raw);
}

// Physical lines of the text, ended by LF or CR LF.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  bool next(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (line.ends_with('\r')) line.remove_suffix(1);
    pos_ = end + 1;
    return true;
  }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// Reads a quoted text at the start of s (s[0] is the opening quote), resolving \\ and \". Another
// backslash pair is kept as written. On success s is left after the closing quote.
std::optional<std::string> readQuoted(std::string_view& s) {
  std::string out;
  for (size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\' && i + 1 < s.size()) {
      const char escaped = s[++i];
      if (escaped != '\\' && escaped != '"') out.push_back('\\');
      out.push_back(escaped);
    } else if (c == '\\') {
      return std::nullopt;
    } else {
      out.push_back(c);
    }
    if (out.size() > kMaxRegValueBytes) return std::nullopt;
  }
  return std::nullopt;
}

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint32_t> parseHexNumber(std::string_view digits, size_t maxDigits) {
  if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
  uint32_t value = 0;
  for (const char c : digits) {
    const int d = hexDigitValue(c);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<uint32_t>(d);
  }
  return value;
}

// Comma-separated bytes of one or two hex digits; a comma may end the list.
std::optional<std::vector<uint8_t>> parseHexBytes(std::string_view list) {
  std::vector<uint8_t> bytes;
  list = trim(list);
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const auto byte = parseHexNumber(trim(list.substr(0, comma)), 2);
    if (!byte || bytes.size() >= kMaxRegValueBytes) return std::nullopt;
    bytes.push_back(static_cast<uint8_t>(*byte));
    if (comma == std::string_view::npos) break;
    list = trimLeft(list.substr(comma + 1));
  }
  return bytes;
}

std::vector<uint8_t> terminatedText(std::string_view text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return data;
}

// Text values given as hex become UTF-8 with their terminating zero (two for a string list).
std::vector<uint8_t> textFromHex(const std::vector<uint8_t>& bytes, uint32_t type, Format format) {
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  const std::string text = format == Format::kVersion5 ? Utf16ToUtf8(utf16LeUnits(raw)) : std::string(raw);
  std::vector<uint8_t> data(text.begin(), text.end());
  const std::ptrdiff_t zeros = type == REG_MULTI_SZ ? 2 : 1;
  while (std::ssize(data) < zeros ||
         std::any_of(data.end() - zeros, data.end(), [](uint8_t b) { return b != 0; })) {
    data.push_back(0);
  }
  return data;
}

// The hex list of a value with its continuation lines (a line ending in '\' goes on in the next line).
// Every continuation line is consumed, even when the list has grown too long to be kept.
std::optional<std::string> joinHexLines(std::string_view first, LineReader& lines) {
  constexpr size_t kMaxListChars = kMaxRegValueBytes * 3 + 2;
  std::string list(trim(first));
  bool tooLong = list.size() > kMaxListChars;
  std::string_view next;
  while (!list.empty() && list.back() == '\\' && lines.next(next)) {
    list.pop_back();
    const std::string_view part = trim(next);
    tooLong = tooLong || list.size() + part.size() > kMaxListChars;
    if (!tooLong) list.append(part);
  }
  if (!list.empty() && list.back() == '\\') list.pop_back();
  if (tooLong) return std::nullopt;
  return list;
}

std::optional<RegValue> parseDword(std::string_view digits) {
  const auto number = parseHexNumber(trim(digits), 8);
  if (!number) return std::nullopt;
  RegValue value{REG_DWORD, std::vector<uint8_t>(4)};
  for (size_t i = 0; i < 4; ++i) value.data[i] = static_cast<uint8_t>(*number >> (8 * i));
  return value;
}

// hex:.. is binary; hex(N):.. has type N, and the text types among them are converted to UTF-8.
std::optional<RegValue> parseHex(std::string_view data, LineReader& lines, Format format) {
  uint32_t type = REG_BINARY;
  data.remove_prefix(3);
  if (data.starts_with('(')) {
    const size_t close = data.find(')');
    if (close == std::string_view::npos) return std::nullopt;
    const auto number = parseHexNumber(data.substr(1, close - 1), 8);
    if (!number) return std::nullopt;
    type = *number;
    data.remove_prefix(close + 1);
  }
  if (!data.starts_with(':')) return std::nullopt;
  const auto list = joinHexLines(data.substr(1), lines);
  if (!list) return std::nullopt;
  auto bytes = parseHexBytes(*list);
  if (!bytes) return std::nullopt;
  if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    return RegValue{type, textFromHex(*bytes, type, format)};
  }
  return RegValue{type, std::move(*bytes)};
}

// The data after '=': a quoted text, dword:, hex: or hex(N):. A deletion ("-") and anything else give
// nothing.
std::optional<RegValue> parseData(std::string_view data, LineReader& lines, Format format) {
  if (data.starts_with('"')) {
    auto text = readQuoted(data);
    if (!text || !trim(data).empty()) return std::nullopt;
    return RegValue{REG_SZ, terminatedText(*text)};
  }
  if (startsWithNoCase(data, "dword:")) return parseDword(data.substr(6));
  if (startsWithNoCase(data, "hex")) return parseHex(data, lines, format);
  return std::nullopt;
}

struct NamedValue {
  std::string name;
  RegValue value;
};

// A value line: @=data or "name"=data. The line is already trimmed.
std::optional<NamedValue> parseValueLine(std::string_view line, LineReader& lines, Format format) {
  std::string name;
  if (line.starts_with('@')) {
    line.remove_prefix(1);
  } else {
    auto quoted = readQuoted(line);
    if (!quoted) return std::nullopt;
    name = std::move(*quoted);
  }
  line = trimLeft(line);
  if (!line.starts_with('=')) return std::nullopt;
  auto value = parseData(trimLeft(line.substr(1)), lines, format);
  if (!value) return std::nullopt;
  return NamedValue{asciiLowerCase(name), std::move(*value)};
}

// A key line [path]; the deletion form [-path] and an empty path give nothing.
std::optional<std::string> parseKeyLine(std::string_view line) {
  if (line.size() < 2 || line.back() != ']') return std::nullopt;
  const std::string_view path = trim(line.substr(1, line.size() - 2));
  if (path.empty() || path.starts_with('-')) return std::nullopt;
  return std::string(path);
}

std::optional<Format> readHeader(LineReader& lines) {
  std::string_view line;
  while (lines.next(line)) {
    line = trim(line);
    if (line.empty()) continue;
    if (line == kHeaderVersion5) return Format::kVersion5;
    if (line == kHeaderRegedit4) return Format::kRegedit4;
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

std::optional<RegFile> ParseRegFile(std::string_view text) {
  const std::string decoded = decodeFileText(text);
  LineReader lines(decoded);
  const auto format = readHeader(lines);
  if (!format) return std::nullopt;

  RegFile file;
  RegKeyData* current = nullptr;
  std::string_view line;
  while (lines.next(line)) {
    line = trim(line);
    if (line.empty() || line.starts_with(';')) continue;
    if (line.starts_with('[')) {
      auto path = parseKeyLine(line);
      current = path ? &file.keys.emplace_back(RegKeyData{std::move(*path), {}}) : nullptr;
      continue;
    }
    auto named = parseValueLine(line, lines, *format);
    if (named && current != nullptr) current->values[std::move(named->name)] = std::move(named->value);
  }
  return file;
}

}  // namespace tevra::platform
