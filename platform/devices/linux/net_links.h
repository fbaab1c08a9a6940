// Network interfaces of the process's network namespace over route netlink.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tevra::platform {

struct NetLink {
  int32_t index = 0;
  std::string name;
};

// The interfaces in the order of their index. Each function returns 0 or an errno value.
int listNetLinks(std::vector<NetLink>& links);
// Sets the link administratively up or down.
int setNetLinkUp(int32_t index, bool up);
// Reads whether the link is administratively up.
int readNetLinkUp(int32_t index, bool& up);

}  // namespace tevra::platform
