// File and directory functions with Windows semantics on host-native paths. Every failing call sets
// the thread's last error (GetLastError) to a Win32 error code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tevra::platform {

using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFileHandle = -1;

enum class Creation {
  kCreateNew,         // fail if the file exists
  kCreateAlways,      // create, or empty an existing file
  kOpenExisting,      // fail if the file does not exist
  kOpenAlways,        // open, or create when missing
  kTruncateExisting,  // empty an existing file, fail if missing
};

enum Access : uint32_t { kAccessRead = 1, kAccessWrite = 2, kAccessReadWrite = 3 };

FileHandle CreateFile(const char* path, uint32_t access, Creation creation);
bool CloseHandle(FileHandle handle);
bool WriteFile(FileHandle handle, const void* data, uint32_t count, uint32_t* written);
bool ReadFile(FileHandle handle, void* data, uint32_t count, uint32_t* read);
// Moves the file position; origin 0 = begin, 1 = current, 2 = end. Returns the new position or -1.
int64_t SetFilePointer(FileHandle handle, int64_t offset, int origin);
int64_t GetFileSize(FileHandle handle);
// Cuts the file at its current position (SetEndOfFile).
bool SetEndOfFile(FileHandle handle);
// Writes the file's buffered data to its device, so that a rename after it cannot expose a hollow file.
bool FlushFileBuffers(FileHandle handle);

bool MoveFile(const char* from, const char* to);
// Renames from to to, replacing an existing to in one step (MoveFileEx with MOVEFILE_REPLACE_EXISTING).
bool MoveFileReplacing(const char* from, const char* to);
bool CopyFile(const char* from, const char* to, bool failIfExists);

enum class WholeWrite { kWritten, kWriteFailed, kReplaceFailed };
// Writes bytes to `partial` and renames it over path only when whole, so that a failed write leaves what
// was at path; the partial file does not outlive a failure. errno tells why a step failed.
WholeWrite WriteFileWhole(const std::string& path, const std::string& partial, std::string_view bytes);
bool DeleteFile(const char* path);
bool FileExists(const char* path);
// Size of a named file, or -1 when it cannot be read.
int64_t GetFileSizeByName(const char* path);

std::string GetCurrentDirectory();
// An absolute, normalised form of path (relative to the current directory).
std::string GetFullPathName(const char* path);

struct FindData {
  std::string name;  // file name without folder
  int64_t size = 0;
  bool directory = false;
};

// The entries of a folder that match a pattern with '*' and '?' (like FindFirstFile/FindNextFile);
// pattern is "folder/mask". Sorted by name; empty when the folder cannot be read.
std::vector<FindData> FindFiles(const char* pattern);
bool MatchesWildcard(const char* mask, const char* name);

}  // namespace tevra::platform
