// Reading device attributes from sysfs and the udev database.
#pragma once

#include <optional>
#include <string>

namespace tevra::platform {

// The attribute's text without its trailing line end; nothing when it cannot be read.
std::optional<std::string> readAttribute(const std::string& path);
// Writes text to an attribute; returns 0 or the errno of the failure.
int writeAttribute(const std::string& path, const std::string& text);
// The value of an "E:KEY=value" line of a udev database file; nothing when absent.
std::optional<std::string> udevProperty(const std::string& file, const std::string& key);
// The path of a device link's target below <sys>/devices, e.g. "pci0000:00/0000:00:14.0/usb1/1-2";
// nothing when the link does not resolve there.
std::optional<std::string> busPath(const std::string& sys, const std::string& deviceLink);

}  // namespace tevra::platform
