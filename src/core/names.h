// Names that callers pass (properties, results, report files) match without regard to the case of their
// letters. Only ASCII letters fold, so the match does not depend on the process's locale.
#pragma once

#include <string_view>

namespace tevra::core {

bool sameName(std::string_view a, std::string_view b);

}  // namespace tevra::core
