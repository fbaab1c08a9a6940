// Files for tests: a fresh folder per test (mkdtemp under the system's temp folder, removed with its
// content afterwards), and whole-file reads and writes.
#pragma once

#include <string>

namespace tevra::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

// The bytes of a file; empty when it cannot be read.
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);

}  // namespace tevra::test
