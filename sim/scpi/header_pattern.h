// A command header of the command tree in SCPI notation: "[SOURce]:FREQuency[:FIXed]",
// "ROUTe:PORT:REFerence#[:STATe]", "*IDN". Upper-case letters are the short form, the whole word the long
// form; [..] marks an optional node; '#' a numeric suffix (1 when omitted).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/scpi/scpi_parser.h"

namespace tevra::sim::scpi {

class HeaderPattern {
 public:
  explicit HeaderPattern(std::string_view pattern);

  // The numeric suffixes of the '#' nodes when the mnemonics match the pattern, else nothing.
  std::optional<std::vector<int>> match(bool common, const std::vector<Mnemonic>& header) const;

  const std::string& text() const { return text_; }

 private:
  struct Node {
    std::string shortForm;
    std::string longForm;
    bool optional = false;
    bool suffixed = false;
  };

  bool matchFrom(size_t node, size_t mnemonic, const std::vector<Mnemonic>& header,
                 std::vector<int>* suffixes) const;
  static bool nameMatches(const Node& node, const std::string& name);

  std::string text_;
  bool common_ = false;
  std::vector<Node> nodes_;
};

// The short form of a mnemonic written in SCPI notation: "SINGle" -> "SING".
std::string shortForm(std::string_view word);
// Whether an upper-case word is the short or the long form of a mnemonic in SCPI notation.
bool mnemonicMatches(std::string_view notation, std::string_view word);

}  // namespace tevra::sim::scpi
