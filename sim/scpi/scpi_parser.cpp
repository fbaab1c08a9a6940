#include "sim/scpi/scpi_parser.h"

#include <cctype>
#include <charconv>

namespace tevra::sim::scpi {
namespace {

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Reads one message from left to right; every method leaves pos_ after what it consumed.
class Parser {
 public:
  Parser(std::string_view text, const SpooledBlocks& blocks) : text_(text), blocks_(blocks) {}

  ParsedMessage run() {
    ParsedMessage result;
    try {
      for (;;) {
        skipSpace();
        if (atEnd()) break;
        if (peek() == ';') {
          ++pos_;
          continue;
        }
        result.commands.push_back(command());
        skipSpace();
        if (atEnd()) break;
        if (peek() != ';') fail(errc::kSyntaxError, "unexpected character");
        ++pos_;
      }
    } catch (const ScpiError& error) {
      result.error = error;
    }
    return result;
  }

 private:
  bool atEnd() const { return pos_ >= text_.size(); }
  char peek() const { return text_[pos_]; }
  void skipSpace() {
    while (!atEnd() && isSpace(peek())) ++pos_;
  }
  [[noreturn]] void fail(int code, const std::string& what) const {
    throw ScpiError{code, what + " at " + std::to_string(pos_)};
  }

  Command command() {
    Command cmd;
    size_t start = pos_;
    if (peek() == '*') {
      ++pos_;
      cmd.common = true;
      cmd.header.push_back(mnemonic());
    } else {
      if (peek() == ':') {
        cmd.absolute = true;
        ++pos_;
      }
      cmd.header.push_back(mnemonic());
      while (!atEnd() && peek() == ':') {
        ++pos_;
        cmd.header.push_back(mnemonic());
      }
    }
    if (!atEnd() && peek() == '?') {
      cmd.query = true;
      ++pos_;
    }
    cmd.headerText = std::string(text_.substr(start, pos_ - start));
    if (atEnd() || peek() == ';') return cmd;
    if (!isSpace(peek())) fail(errc::kSyntaxError, "invalid header");
    skipSpace();
    if (atEnd() || peek() == ';') return cmd;
    cmd.parameters.push_back(parameter());
    for (;;) {
      skipSpace();
      if (atEnd() || peek() == ';') break;
      if (peek() != ',') fail(errc::kSyntaxError, "invalid separator");
      ++pos_;
      skipSpace();
      cmd.parameters.push_back(parameter());
    }
    return cmd;
  }

  Mnemonic mnemonic() {
    if (atEnd() || !isAlpha(peek())) fail(errc::kSyntaxError, "invalid mnemonic");
    Mnemonic m;
    while (!atEnd() && (isAlpha(peek()) || peek() == '_')) m.name.push_back(upper(text_[pos_++]));
    size_t digits = pos_;
    while (!atEnd() && isDigit(peek())) ++pos_;
    if (pos_ > digits) {
      if (pos_ - digits > 9) fail(errc::kHeaderSuffixOutOfRange, "suffix too long");
      m.suffix = std::stoi(std::string(text_.substr(digits, pos_ - digits)));
    }
    if (!atEnd() && (isAlpha(peek()) || peek() == '_')) fail(errc::kSyntaxError, "invalid mnemonic");
    return m;
  }

  Parameter parameter() {
    if (atEnd() || peek() == ',') fail(errc::kMissingParameter, "missing parameter");
    char c = peek();
    if (c == '"' || c == '\'') return stringData();
    if (c == '#') return blockData();
    if (isDigit(c) || c == '+' || c == '-' || c == '.') return numericData();
    if (isAlpha(c)) return characterData();
    fail(errc::kSyntaxError, "invalid parameter");
  }

  Parameter stringData() {
    Parameter p;
    p.kind = ParameterKind::kString;
    char quote = text_[pos_++];
    for (;;) {
      if (atEnd()) fail(errc::kInvalidStringData, "unterminated string");
      char c = text_[pos_++];
      if (c == quote) {
        if (!atEnd() && peek() == quote) {
          p.text.push_back(quote);
          ++pos_;
          continue;
        }
        break;
      }
      p.text.push_back(c);
    }
    return p;
  }

  Parameter blockData() {
    Parameter p;
    p.kind = ParameterKind::kBlock;
    ++pos_;
    if (atEnd() || !isDigit(peek())) fail(errc::kInvalidBlockData, "invalid block header");
    int lengthDigits = text_[pos_++] - '0';
    if (lengthDigits == 0) {
      // Indefinite length: the block runs to the end of the message.
      p.block = text_.substr(pos_);
      pos_ = text_.size();
      return p;
    }
    if (text_.size() - pos_ < static_cast<size_t>(lengthDigits))
      fail(errc::kInvalidBlockData, "short block header");
    size_t length = 0;
    for (int i = 0; i < lengthDigits; ++i) {
      char d = text_[pos_++];
      if (!isDigit(d)) fail(errc::kInvalidBlockData, "invalid block length");
      length = length * 10 + static_cast<size_t>(d - '0');
    }
    if (const SpooledBlock* spooled = spooledAt(pos_)) {
      if (spooled->spool->size() != length) fail(errc::kInvalidBlockData, "block shorter than its length");
      p.spool = spooled->spool;
      return p;
    }
    if (text_.size() - pos_ < length) fail(errc::kInvalidBlockData, "block shorter than its length");
    p.block = text_.substr(pos_, length);
    pos_ += length;
    return p;
  }

  Parameter numericData() {
    Parameter p;
    p.kind = ParameterKind::kNumeric;
    size_t start = pos_;
    if (peek() == '+' || peek() == '-') ++pos_;
    size_t mantissaDigits = skipDigits();
    if (!atEnd() && peek() == '.') {
      ++pos_;
      mantissaDigits += skipDigits();
    }
    if (mantissaDigits == 0) fail(errc::kNumericDataError, "invalid number");
    if (!atEnd() && (peek() == 'e' || peek() == 'E') && exponentFollows()) {
      ++pos_;
      if (peek() == '+' || peek() == '-') ++pos_;
      skipDigits();
    }
    p.text = std::string(text_.substr(start, pos_ - start));
    // from_chars takes no leading '+'.
    std::string_view digits = p.text;
    if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), p.number);
    if (ec != std::errc() || end != digits.data() + digits.size())
      fail(errc::kNumericDataError, "invalid number");
    size_t beforeSpace = pos_;
    skipSpace();
    if (!atEnd() && isAlpha(peek())) {
      while (!atEnd() && (isAlpha(peek()) || peek() == '/')) p.unit.push_back(upper(text_[pos_++]));
    } else {
      pos_ = beforeSpace;
    }
    if (!atEnd() && !isSpace(peek()) && peek() != ',' && peek() != ';')
      fail(errc::kNumericDataError, "invalid number");
    return p;
  }

  // An 'E' after a mantissa is an exponent only when digits follow; "10EXT" is not a number anyway,
  // but "5E" must not swallow a unit such as "5 EV".
  bool exponentFollows() const {
    size_t at = pos_ + 1;
    if (at < text_.size() && (text_[at] == '+' || text_[at] == '-')) ++at;
    return at < text_.size() && isDigit(text_[at]);
  }

  size_t skipDigits() {
    size_t start = pos_;
    while (!atEnd() && isDigit(peek())) ++pos_;
    return pos_ - start;
  }

  Parameter characterData() {
    Parameter p;
    p.kind = ParameterKind::kCharacter;
    while (!atEnd() && (isAlpha(peek()) || isDigit(peek()) || peek() == '_'))
      p.text.push_back(upper(text_[pos_++]));
    if (!atEnd() && !isSpace(peek()) && peek() != ',' && peek() != ';')
      fail(errc::kSyntaxError, "invalid character data");
    return p;
  }

  const SpooledBlock* spooledAt(size_t offset) const {
    for (const auto& block : blocks_)
      if (block.offset == offset) return &block;
    return nullptr;
  }

  std::string_view text_;
  const SpooledBlocks& blocks_;
  size_t pos_ = 0;
};

}  // namespace

ParsedMessage parseMessage(std::string_view message, const SpooledBlocks& blocks) {
  return Parser(message, blocks).run();
}

}  // namespace tevra::sim::scpi
