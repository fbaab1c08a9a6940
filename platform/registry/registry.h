// A read-only registry under the Windows names, read from a registration file in the Windows .reg text
// format ("Windows Registry Editor Version 5.00" or "REGEDIT4"), on first use. The file is TEVRA_REGISTRY
// when it is set; else the installation's own file, found from the platform library's folder (its relative
// path is TEVRA_REGISTRY_FROM_LIBRARY, set by the build), when that file exists; else kDefaultRegistryPath.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra::platform {

using HKEY = uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
inline constexpr HKEY HKEY_USERS = 0x80000003u;

inline constexpr uint32_t KEY_READ = 0x20019u;
inline constexpr uint32_t KEY_ALL_ACCESS = 0xF003Fu;

inline constexpr uint32_t REG_NONE = 0;
inline constexpr uint32_t REG_SZ = 1;
inline constexpr uint32_t REG_EXPAND_SZ = 2;
inline constexpr uint32_t REG_BINARY = 3;
inline constexpr uint32_t REG_DWORD = 4;
inline constexpr uint32_t REG_MULTI_SZ = 7;
inline constexpr uint32_t REG_QWORD = 11;

inline constexpr const char* kDefaultRegistryPath = "/etc/tevra/registry.reg";

// Results are Win32 error codes (0 = ERROR_SUCCESS); each call also sets the thread's last error to its
// result. Key paths use '\' between keys and compare without regard to case; HKEY_CLASSES_ROOT is also
// reachable as HKEY_LOCAL_MACHINE\SOFTWARE\Classes, and a file may name the roots HKCR, HKCU, HKLM, HKU.
// A key that does not exist gives ERROR_FILE_NOT_FOUND and a zero *result; a handle that was never opened
// or is closed gives ERROR_INVALID_HANDLE. Options and access are accepted and ignored (nothing writes).
int32_t RegOpenKeyEx(HKEY root, const char* subKey, uint32_t options, uint32_t access, HKEY* result);
// Reads a value ("" or null for the default value; a missing one gives ERROR_FILE_NOT_FOUND). REG_SZ data is
// returned zero-terminated; when data is null only the size is returned; a buffer that is too small gives
// ERROR_MORE_DATA with the size needed in *size and nothing written.
int32_t RegQueryValueEx(HKEY key, const char* valueName, uint32_t* reserved, uint32_t* type, uint8_t* data,
                        uint32_t* size);
int32_t RegCloseKey(HKEY key);

struct RegValue {
  uint32_t type = REG_NONE;
  // REG_SZ/REG_EXPAND_SZ: the text in UTF-8 with its terminating zero; REG_MULTI_SZ: texts in UTF-8, each
  // ended by a zero, the list by one more; REG_DWORD: four bytes, least significant first.
  std::vector<uint8_t> data;
};

struct RegKeyData {
  std::string path;                        // full path as written, e.g. HKEY_CLASSES_ROOT\CLSID\{...}
  std::map<std::string, RegValue> values;  // keyed by lower-case value name; "" is the default value
};

struct RegFile {
  std::vector<RegKeyData> keys;  // one entry per key section, in file order; a key named twice has two
};

// Values larger than kMaxRegValueBytes are skipped by the parser; a registration file larger than
// kMaxRegFileBytes is not read (the registry stays empty).
inline constexpr size_t kMaxRegValueBytes = size_t{1} << 20;
inline constexpr size_t kMaxRegFileBytes = size_t{4} << 20;

// Parses the text of a .reg file (UTF-8, or UTF-16LE with a byte-order mark). Lines it cannot read,
// deletions ([-key] sections and "name"=- lines) and values before the first key are skipped; an unknown
// header gives nothing.
std::optional<RegFile> ParseRegFile(std::string_view text);

// Replaces the loaded registry by the given file (tests, and a caller that moves the file).
// Returns false when the file cannot be read or parsed; the registry is then empty.
bool LoadRegistryFile(const std::string& path);
// As LoadRegistryFile, from the text of a .reg file. Keys already open keep reading the registry they were
// opened in.
bool LoadRegistryText(std::string_view text);
// Forgets the loaded registry, so that the next call looks for the file again.
void ResetRegistry();

// Where the loaded registry came from, for failure texts and for module paths written relative to the file.
struct RegistryOrigin {
  std::string path;      // the file read, or the last one looked for; empty for a registry loaded from text
  std::string lookedAt;  // every file looked at, in order, separated by " and "
  std::string problem;   // empty when the file was read, else "file not found" or "not a registration file"
};
RegistryOrigin CurrentRegistryOrigin();
// The folder of the file the registry was read from ("." for a registry loaded from text).
std::string RegistryFolder();

}  // namespace tevra::platform
