// Waveform files of the instrument: loaded from local files and saved back as definite-length blocks
// (MMEMory:DATA), listed, deleted, and sequence files built from lists the server holds.
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/fs/fs.h"
#include "platform/registry/ascii_case.h"
#include "sim/server/q7730_server.h"
#include "sim/server/server_failure.h"

namespace tevra::q7730 {
namespace {

namespace fs = std::filesystem;
using platform::S_OK;

// Volumes of the instrument's memory; segments and sequences share the waveform memory.
constexpr const char* kWaveforms = "";
constexpr const char* kMarkers = "MKR:";
constexpr const char* kSegmentsNV = "NVWFM:";
constexpr const char* kMarkersNV = "NVMKR:";

// The names of a catalog reply: "a.seq","a.wf1".
std::vector<std::string> quotedNames(std::string_view reply) {
  std::vector<std::string> names;
  size_t open = reply.find('"');
  while (open != std::string_view::npos) {
    const size_t close = reply.find('"', open + 1);
    if (close == std::string_view::npos) break;
    if (close > open + 1) names.emplace_back(reply.substr(open + 1, close - open - 1));
    open = reply.find('"', close + 1);
  }
  return names;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && platform::asciiLowerCase(text.substr(text.size() - suffix.size())) ==
                                             platform::asciiLowerCase(suffix);
}

std::string quotedFile(const char* volume, const std::string& name) {
  return "\"" + std::string(volume) + name + "\"";
}

std::string localPath(BSTR path) {
  std::string text = utf8Of(path);
  if (text.empty()) fail(platform::E_INVALIDARG, "no local file path");
  return text;
}

[[noreturn]] void failFile(const char* what, const std::string& path) {
  const int error = errno;
  failf(platform::HRESULT_FROM_WIN32(error == ENOENT ? 2u : 29u), "cannot %s '%s': %s", what, path.c_str(),
        error != 0 ? std::strerror(error) : "I/O error");
}

// The size of a local file the instrument can take, checked before anything is sent.
uint64_t localFileSize(const std::string& path) {
  errno = 0;
  std::error_code error;
  if (!fs::is_regular_file(path, error)) failFile("read", path);
  const auto size = fs::file_size(path, error);
  if (error) failFile("read", path);
  if (size > ScpiLink::kMaxBlockBytes) {
    failf(platform::E_INVALIDARG, "'%s' is larger than the instrument's %zu bytes", path.c_str(),
          ScpiLink::kMaxBlockBytes);
  }
  return size;
}

// Written beside the path and renamed over it only when whole, so that a failed write leaves what was there.
void writeLocalFile(const std::string& path, const std::string& bytes) {
  errno = 0;
  switch (platform::WriteFileWhole(path, path + ".partial", bytes)) {
    case platform::WholeWrite::kWritten:
      return;
    case platform::WholeWrite::kWriteFailed:
      failFile("write", path);
    case platform::WholeWrite::kReplaceFailed:
      break;
  }
  failf(platform::HRESULT_FROM_WIN32(29u), "cannot replace '%s'", path.c_str());
}

}  // namespace

HRESULT Q7730Server::listVolume(const char* volume, SAFEARRAY** out) {
  const std::string catalog = link_.query(
      *volume == '\0' ? std::string("MMEMory:CATalog?") : "MMEMory:CATalog? \"" + std::string(volume) + "\"");
  link_.checkErrors();
  platform::SafeArrayPtr array = platform::SafeArrayFromStrings(quotedNames(catalog));
  if (!array) fail(platform::E_OUTOFMEMORY, "out of memory");
  *out = array.release();
  return S_OK;
}

HRESULT Q7730Server::listMemoryFiles(std::string_view extension, SAFEARRAY** out) {
  const std::string catalog = link_.query("MMEMory:CATalog?");
  link_.checkErrors();
  std::vector<std::string> names;
  for (const std::string& name : quotedNames(catalog)) {
    if (endsWithIgnoringCase(name, extension)) names.push_back(name);
  }
  platform::SafeArrayPtr array = platform::SafeArrayFromStrings(names);
  if (!array) fail(platform::E_OUTOFMEMORY, "out of memory");
  *out = array.release();
  return S_OK;
}

// A file the memory does not hold is the instrument's error, which the error check reports.
HRESULT Q7730Server::deleteFromVolume(const char* volume, BSTR name, int32_t* status) {
  link_.run({"MMEMory:DELete " + quotedFile(volume, waveformName(name))});
  *status = 0;
  return S_OK;
}

HRESULT Q7730Server::loadIntoVolume(const char* volume, BSTR path, BSTR name, int32_t* status) {
  const std::string file = waveformName(name);
  const std::string source = localPath(path);
  const uint64_t size = localFileSize(source);
  std::ifstream in(source, std::ios::binary);
  if (!in) failFile("read", source);
  // A file that shrinks while it is read must not reach the instrument: the link then spoils the message,
  // and the instrument refuses it.
  int readError = 0;
  const bool sent = link_.writeBlock("MMEMory:DATA " + quotedFile(volume, file) + ",", size,
                                     [&](char* piece, size_t count) {
                                       errno = 0;
                                       in.read(piece, static_cast<std::streamsize>(count));
                                       readError = errno;
                                       return in.gcount() == static_cast<std::streamsize>(count);
                                     });
  if (!sent) {
    errno = readError;
    failFile("read", source);
  }
  link_.checkErrors();
  *status = 0;
  return S_OK;
}

HRESULT Q7730Server::saveFromVolume(const char* volume, BSTR name, BSTR path, int32_t* status) {
  const std::string file = waveformName(name);
  const std::string target = localPath(path);
  const std::string bytes = link_.queryBlock("MMEMory:DATA? " + quotedFile(volume, file));
  link_.checkErrors();
  writeLocalFile(target, bytes);
  *status = 0;
  return S_OK;
}

HRESULT Q7730Server::AWG_LoadedSegmentList(SAFEARRAY** out) {
  return listMemoryFiles(".wf1", out);
}
HRESULT Q7730Server::AWG_LoadedSequenceList(SAFEARRAY** out) {
  return listMemoryFiles(".seq", out);
}
HRESULT Q7730Server::AWG_LoadedMarkerList(SAFEARRAY** out) {
  return listVolume(kMarkers, out);
}
HRESULT Q7730Server::AWG_LoadedSegmentNVList(SAFEARRAY** out) {
  return listVolume(kSegmentsNV, out);
}
HRESULT Q7730Server::AWG_LoadedMarkerNVList(SAFEARRAY** out) {
  return listVolume(kMarkersNV, out);
}

HRESULT Q7730Server::AWG_DeleteSegment(BSTR name, int32_t* status) {
  return deleteFromVolume(kWaveforms, name, status);
}
HRESULT Q7730Server::AWG_DeleteSequence(BSTR name, int32_t* status) {
  return deleteFromVolume(kWaveforms, name, status);
}
HRESULT Q7730Server::AWG_DeleteMarker(BSTR name, int32_t* status) {
  return deleteFromVolume(kMarkers, name, status);
}
HRESULT Q7730Server::AWG_DeleteSegmentNV(BSTR name, int32_t* status) {
  return deleteFromVolume(kSegmentsNV, name, status);
}
HRESULT Q7730Server::AWG_DeleteMarkerNV(BSTR name, int32_t* status) {
  return deleteFromVolume(kMarkersNV, name, status);
}

HRESULT Q7730Server::AWG_LoadSegment(BSTR path, BSTR name, int32_t* status) {
  return loadIntoVolume(kWaveforms, path, name, status);
}
HRESULT Q7730Server::AWG_LoadSequence(BSTR path, BSTR name, int32_t* status) {
  return loadIntoVolume(kWaveforms, path, name, status);
}
HRESULT Q7730Server::AWG_LoadMarker(BSTR path, BSTR name, int32_t* status) {
  return loadIntoVolume(kMarkers, path, name, status);
}
HRESULT Q7730Server::AWG_LoadSegmentNV(BSTR path, BSTR name, int32_t* status) {
  return loadIntoVolume(kSegmentsNV, path, name, status);
}
HRESULT Q7730Server::AWG_LoadMarkerNV(BSTR path, BSTR name, int32_t* status) {
  return loadIntoVolume(kMarkersNV, path, name, status);
}

HRESULT Q7730Server::AWG_SaveSegment(BSTR name, BSTR path, int32_t* status) {
  return saveFromVolume(kWaveforms, name, path, status);
}
HRESULT Q7730Server::AWG_SaveMarker(BSTR name, BSTR path, int32_t* status) {
  return saveFromVolume(kMarkers, name, path, status);
}

HRESULT Q7730Server::AWG_CreateSequenceFile(int32_t* status) {
  sequenceEntries_.clear();
  *status = 0;
  return S_OK;
}

HRESULT Q7730Server::AWG_SequenceFile_AddSegment(BSTR name, int32_t repetitions, int32_t* status) {
  addSequenceEntry(&sequenceEntries_, waveformName(name), repetitions);
  *status = static_cast<int32_t>(sequenceEntries_.size());
  return S_OK;
}

HRESULT Q7730Server::AWG_SequenceFile_Save(BSTR path, int32_t* status) {
  writeLocalFile(localPath(path), encodeSequence(sequenceEntries_));
  *status = static_cast<int32_t>(sequenceEntries_.size());
  return S_OK;
}

HRESULT Q7730Server::AWG_CreateComplexSequenceFile(int32_t* status) {
  complexEntries_.clear();
  *status = 0;
  return S_OK;
}

HRESULT Q7730Server::AWG_ComplexSequenceFile_AddSegment(BSTR name, int32_t count, int32_t* status) {
  addSequenceEntry(&complexEntries_, waveformName(name), count);
  *status = static_cast<int32_t>(complexEntries_.size());
  return S_OK;
}

// The instrument checks the file and keeps it under the name; only then is the local copy written.
HRESULT Q7730Server::AWG_ComplexSequenceFile_Save(BSTR name, BSTR path, int32_t* status) {
  std::string file = waveformName(name);
  if (!endsWithIgnoringCase(file, ".seq")) file += ".seq";
  const std::string target = localPath(path);
  const std::string bytes = encodeSequence(complexEntries_);
  link_.writeBlock("MMEMory:DATA " + quotedFile(kWaveforms, file) + ",", bytes);
  link_.checkErrors();
  writeLocalFile(target, bytes);
  *status = static_cast<int32_t>(complexEntries_.size());
  return S_OK;
}

}  // namespace tevra::q7730
