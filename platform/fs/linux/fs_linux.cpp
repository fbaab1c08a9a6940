#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/fs/fs.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/win32_errors.h"

namespace tevra::platform {
namespace {

bool failWithErrno() {
  SetLastError(Win32ErrorFromErrno(errno));
  return false;
}

int openFlags(uint32_t access, Creation creation) {
  int flags = O_CLOEXEC;
  if ((access & kAccessReadWrite) == kAccessReadWrite) {
    flags |= O_RDWR;
  } else if ((access & kAccessWrite) != 0) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  switch (creation) {
    case Creation::kCreateNew:
      flags |= O_CREAT | O_EXCL;
      break;
    case Creation::kCreateAlways:
      flags |= O_CREAT | O_TRUNC;
      break;
    case Creation::kOpenExisting:
      break;
    case Creation::kOpenAlways:
      flags |= O_CREAT;
      break;
    case Creation::kTruncateExisting:
      flags |= O_TRUNC;
      break;
  }
  return flags;
}

}  // namespace

FileHandle CreateFile(const char* path, uint32_t access, Creation creation) {
  if (path == nullptr || *path == '\0') {
    SetLastError(kErrorPathNotFound);
    return kInvalidFileHandle;
  }
  const int fd = ::open(path, openFlags(access, creation), 0644);
  if (fd < 0) {
    failWithErrno();
    return kInvalidFileHandle;
  }
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    SetLastError(kErrorAccessDenied);
    return kInvalidFileHandle;
  }
  return fd;
}

bool CloseHandle(FileHandle handle) {
  if (handle < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  return ::close(static_cast<int>(handle)) == 0 || failWithErrno();
}

bool WriteFile(FileHandle handle, const void* data, uint32_t count, uint32_t* written) {
  if (written != nullptr) *written = 0;
  if (handle < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  const auto* p = static_cast<const char*>(data);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(static_cast<int>(handle), p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (written != nullptr) *written = done;
      return failWithErrno();
    }
    done += static_cast<uint32_t>(n);
  }
  if (written != nullptr) *written = done;
  return true;
}

bool ReadFile(FileHandle handle, void* data, uint32_t count, uint32_t* read) {
  if (read != nullptr) *read = 0;
  if (handle < 0) {
    SetLastError(kErrorInvalidHandle);
    return false;
  }
  auto* p = static_cast<char*>(data);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(static_cast<int>(handle), p + done, count - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (read != nullptr) *read = done;
      return failWithErrno();
    }
    if (n == 0) break;
    done += static_cast<uint32_t>(n);
  }
  if (read != nullptr) *read = done;
  return true;
}

int64_t SetFilePointer(FileHandle handle, int64_t offset, int origin) {
  const int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  const off_t pos = ::lseek(static_cast<int>(handle), static_cast<off_t>(offset), whence);
  if (pos < 0) {
    failWithErrno();
    return -1;
  }
  return pos;
}

int64_t GetFileSize(FileHandle handle) {
  struct stat st {};
  if (::fstat(static_cast<int>(handle), &st) != 0) {
    failWithErrno();
    return -1;
  }
  return st.st_size;
}

bool SetEndOfFile(FileHandle handle) {
  const off_t pos = ::lseek(static_cast<int>(handle), 0, SEEK_CUR);
  if (pos < 0) return failWithErrno();
  return ::ftruncate(static_cast<int>(handle), pos) == 0 || failWithErrno();
}

bool FlushFileBuffers(FileHandle handle) {
  return ::fsync(static_cast<int>(handle)) == 0 || failWithErrno();
}

bool MoveFileReplacing(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  return ::rename(from, to) == 0 || failWithErrno();
}

WholeWrite WriteFileWhole(const std::string& path, const std::string& partial, std::string_view bytes) {
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      const int error = errno;
      std::error_code ignored;
      std::filesystem::remove(partial, ignored);
      errno = error;
      return WholeWrite::kWriteFailed;
    }
  }
  if (::rename(partial.c_str(), path.c_str()) == 0) return WholeWrite::kWritten;
  const int error = errno;
  ::unlink(partial.c_str());
  errno = error;
  return WholeWrite::kReplaceFailed;
}

bool MoveFile(const char* from, const char* to) {
  if (from == nullptr || to == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  struct stat st {};
  if (::stat(to, &st) == 0) {
    SetLastError(kErrorAlreadyExists);
    return false;
  }
  return ::rename(from, to) == 0 || failWithErrno();
}

bool CopyFile(const char* from, const char* to, bool failIfExists) {
  if (from == nullptr || to == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  std::error_code ec;
  const auto options =
      failIfExists ? std::filesystem::copy_options::none : std::filesystem::copy_options::overwrite_existing;
  if (std::filesystem::copy_file(from, to, options, ec)) return true;
  SetLastError(ec ? Win32ErrorFromErrno(ec.value()) : kErrorFileExists);
  return false;
}

bool DeleteFile(const char* path) {
  if (path == nullptr) {
    SetLastError(kErrorInvalidParameter);
    return false;
  }
  return ::unlink(path) == 0 || failWithErrno();
}

bool FileExists(const char* path) {
  struct stat st {};
  return path != nullptr && ::stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

int64_t GetFileSizeByName(const char* path) {
  struct stat st {};
  if (path == nullptr || ::stat(path, &st) != 0) return -1;
  return st.st_size;
}

std::string GetCurrentDirectory() {
  std::error_code ec;
  auto p = std::filesystem::current_path(ec);
  return ec ? std::string() : p.string();
}

std::string GetFullPathName(const char* path) {
  if (path == nullptr) return {};
  std::error_code ec;
  auto p = std::filesystem::absolute(path, ec);
  return ec ? std::string(path) : p.lexically_normal().string();
}

bool MatchesWildcard(const char* mask, const char* name) {
  if (*mask == '\0') return *name == '\0';
  // As on Windows, a final ".*" also matches a name without an extension: "*.*" finds every file.
  if (*name == '\0' && std::strcmp(mask, ".*") == 0) return true;
  if (*mask == '*') {
    for (const char* n = name;; ++n) {
      if (MatchesWildcard(mask + 1, n)) return true;
      if (*n == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*mask == '?' || *mask == *name) return MatchesWildcard(mask + 1, name + 1);
  return false;
}

std::vector<FindData> FindFiles(const char* pattern) {
  std::vector<FindData> found;
  if (pattern == nullptr) return found;
  std::string pat(pattern);
  const auto slash = pat.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : pat.substr(0, slash == 0 ? 1 : slash);
  const std::string mask = slash == std::string::npos ? pat : pat.substr(slash + 1);
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) {
    failWithErrno();
    return found;
  }
  while (dirent* entry = ::readdir(dir)) {
    if (!MatchesWildcard(mask.c_str(), entry->d_name)) continue;
    FindData fd;
    fd.name = entry->d_name;
    struct stat st {};
    const std::string full = folder + "/" + fd.name;
    if (::stat(full.c_str(), &st) == 0) {
      fd.size = st.st_size;
      fd.directory = S_ISDIR(st.st_mode);
    }
    found.push_back(std::move(fd));
  }
  ::closedir(dir);
  std::sort(found.begin(), found.end(), [](const FindData& a, const FindData& b) { return a.name < b.name; });
  if (found.empty()) SetLastError(kErrorFileNotFound);
  return found;
}

}  // namespace tevra::platform
