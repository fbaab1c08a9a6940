#include "sim/scpi/header_pattern.h"

#include <cctype>

namespace tevra::sim::scpi {
namespace {

std::string upperCase(std::string_view word) {
  std::string result;
  for (char c : word) result.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  return result;
}

}  // namespace

std::string shortForm(std::string_view word) {
  std::string result;
  for (char c : word) {
    if (std::isupper(static_cast<unsigned char>(c)) || std::isdigit(static_cast<unsigned char>(c)))
      result.push_back(c);
  }
  return result;
}

bool mnemonicMatches(std::string_view notation, std::string_view word) {
  return word == shortForm(notation) || word == upperCase(notation);
}

HeaderPattern::HeaderPattern(std::string_view pattern) : text_(pattern) {
  if (!pattern.empty() && pattern.front() == '*') {
    common_ = true;
    pattern.remove_prefix(1);
  }
  size_t pos = 0;
  while (pos < pattern.size()) {
    Node node;
    if (pattern[pos] == '[') {
      node.optional = true;
      ++pos;
    }
    if (pos < pattern.size() && pattern[pos] == ':') ++pos;
    size_t start = pos;
    while (pos < pattern.size() && std::isalpha(static_cast<unsigned char>(pattern[pos]))) ++pos;
    std::string_view word = pattern.substr(start, pos - start);
    if (pos < pattern.size() && pattern[pos] == '#') {
      node.suffixed = true;
      ++pos;
    }
    if (node.optional && pos < pattern.size() && pattern[pos] == ']') ++pos;
    node.shortForm = shortForm(word);
    node.longForm = upperCase(word);
    nodes_.push_back(node);
  }
}

bool HeaderPattern::nameMatches(const Node& node, const std::string& name) {
  return name == node.shortForm || name == node.longForm;
}

std::optional<std::vector<int>> HeaderPattern::match(bool common, const std::vector<Mnemonic>& header) const {
  if (common != common_) return std::nullopt;
  std::vector<int> suffixes;
  if (!matchFrom(0, 0, header, &suffixes)) return std::nullopt;
  return suffixes;
}

bool HeaderPattern::matchFrom(size_t node, size_t mnemonic, const std::vector<Mnemonic>& header,
                              std::vector<int>* suffixes) const {
  if (node == nodes_.size()) return mnemonic == header.size();
  const Node& n = nodes_[node];
  if (mnemonic < header.size() && nameMatches(n, header[mnemonic].name) &&
      (n.suffixed || !header[mnemonic].suffix)) {
    size_t kept = suffixes->size();
    if (n.suffixed) suffixes->push_back(header[mnemonic].suffix.value_or(1));
    if (matchFrom(node + 1, mnemonic + 1, header, suffixes)) return true;
    suffixes->resize(kept);
  }
  if (!n.optional) return false;
  // An omitted suffixed node stands for suffix 1.
  size_t kept = suffixes->size();
  if (n.suffixed) suffixes->push_back(1);
  if (matchFrom(node + 1, mnemonic, header, suffixes)) return true;
  suffixes->resize(kept);
  return false;
}

}  // namespace tevra::sim::scpi
