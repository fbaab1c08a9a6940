#include "platform/devices/linux/sysfs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

namespace tevra::platform {

namespace fs = std::filesystem;

std::optional<std::string> readAttribute(const std::string& path) {
  std::ifstream in(path);
  std::string text;
  if (!in || !std::getline(in, text)) return std::nullopt;
  return text;
}

int writeAttribute(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const ssize_t written = ::write(fd, text.data(), text.size());
  const int error = written < 0 ? errno : (static_cast<size_t>(written) == text.size() ? 0 : EIO);
  ::close(fd);
  return error;
}

std::optional<std::string> udevProperty(const std::string& file, const std::string& key) {
  std::ifstream in(file);
  const std::string prefix = "E:" + key + "=";
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with(prefix)) return line.substr(prefix.size());
  }
  return std::nullopt;
}

std::optional<std::string> busPath(const std::string& sys, const std::string& deviceLink) {
  std::error_code ec;
  const fs::path devices = fs::canonical(fs::path(sys) / "devices", ec);
  if (ec) return std::nullopt;
  const fs::path target = fs::canonical(deviceLink, ec);
  if (ec) return std::nullopt;
  const fs::path relative = target.lexically_relative(devices);
  if (relative.empty() || *relative.begin() == "..") return std::nullopt;
  return relative.generic_string();
}

}  // namespace tevra::platform
