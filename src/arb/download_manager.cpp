// Downloads waveform files from a local folder or pattern into the instrument through the measurement
// server: each found file is either replaced in the instrument (delete, then load) or, with the
// skip-existing flag, loaded only when the instrument's list of that kind does not name it.
#include <cstring>
#include <string>

#include "platform/fs/fs.h"
#include "platform/registry/ascii_case.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

constexpr int32_t kKindRefused = -3478;
constexpr int32_t kSkipExisting = 0x80;
constexpr int32_t kLockPosition = 3482;
constexpr int32_t kUnlockPosition = 3630;
constexpr int32_t kDestroyPosition = 3631;

const core::FrameInfo kDownloadExFrame{"ARB_DownloadEx", -3628};
const core::FrameInfo kDownloadFrame{"ARB_Download", -3769};

using server::instrument;

// The server operations and texts of one kind of file.
struct FileKind {
  platform::SafeArrayHandle (*list)();
  int32_t (*remove)(const char* name);
  int32_t (*load)(const char* path, const char* name);
  const char* deleteNotice;
  const char* deleteTrace;
  const char* loadTrace;
  int32_t listPosition;
  int32_t deletePosition;
  int32_t deleteFailure;
  int32_t loadPosition;
};

const FileKind kKinds[] = {
    {[] { return instrument().AWG_LoadedSegmentList(); },
     [](const char* n) { return instrument().AWG_DeleteSegment(n); },
     [](const char* p, const char* n) { return instrument().AWG_LoadSegment(p, n); },
     "... Try to AWG_DeleteSegment() to delete segment file", "OK, AWG_DeleteSegment(%s), nRet = %d",
     "OK, AWG_LoadSegment(%s), nRet = %d", 3431, 3559, -3562, 3564},
    {[] { return instrument().AWG_LoadedSequenceList(); },
     [](const char* n) { return instrument().AWG_DeleteSequence(n); },
     [](const char* p, const char* n) { return instrument().AWG_LoadSequence(p, n); },
     "... Try to AWG_DeleteSequence() to delete sequence file", "OK, AWG_DeleteSequence(%s), nRet = %d",
     "OK, AWG_LoadSequence(%s), nRet = %d", 3436, 3572, -3575, 3577},
    {[] { return instrument().AWG_LoadedMarkerList(); },
     [](const char* n) { return instrument().AWG_DeleteMarker(n); },
     [](const char* p, const char* n) { return instrument().AWG_LoadMarker(p, n); },
     "... Try to AWG_DeleteMarker() to delete marker file", "OK, AWG_DeleteMarker(%s), nRet = %d",
     "OK, AWG_LoadMarker(%s), nRet = %d", 3443, 3586, -3589, 3591},
    {[] { return instrument().AWG_LoadedSegmentNVList(); },
     [](const char* n) { return instrument().AWG_DeleteSegmentNV(n); },
     [](const char* p, const char* n) { return instrument().AWG_LoadSegmentNV(p, n); },
     "... Try to AWG_DeleteSegmentNV() to delete segment file", "OK, AWG_DeleteSegmentNV(%s), nRet = %d",
     "OK, AWG_LoadSegmentNV(%s), nRet = %d", 3455, 3598, -3601, 3603},
    {[] { return instrument().AWG_LoadedMarkerNVList(); },
     [](const char* n) { return instrument().AWG_DeleteMarkerNV(n); },
     [](const char* p, const char* n) { return instrument().AWG_LoadMarkerNV(p, n); },
     "... Try to AWG_DeleteMarkerNV() to delete marker file", "OK, AWG_DeleteMarkerNV(%s), nRet = %d",
     "OK, AWG_LoadMarkerNV(%s), nRet = %d", 3466, 3610, -3613, 3615},
};

// The instrument's list of one kind, held locked for the scan; unlocked and destroyed when the scan ends,
// also when a server error ends it.
class LoadedNames {
 public:
  LoadedNames() = default;
  LoadedNames(const LoadedNames&) = delete;
  LoadedNames& operator=(const LoadedNames&) = delete;
  ~LoadedNames() {
    if (array_.null()) return;
    core::setPosition(kUnlockPosition);
    array_.unlock();
    core::setPosition(kDestroyPosition);
    array_.destroy();
  }

  void obtain(const FileKind& kind) {
    core::setPosition(kind.listPosition);
    array_ = kind.list();
    if (!array_.null()) server::raiseAt(kLockPosition, array_.lock());
  }
  // A server that answers with no array gives no list: every file is then replaced.
  bool held() const { return !array_.null(); }
  bool contains(const std::string& name) const {
    const std::string wanted = platform::asciiLowerCase(name);
    for (uint32_t i = 0; i < array_.count(); ++i) {
      if (platform::asciiLowerCase(array_.text(i)) == wanted) return true;
    }
    return false;
  }
  // Ends the scan as the server's array asks: unlock, then destroy, each a server error when refused.
  void release() {
    if (array_.null()) return;
    server::raiseAt(kUnlockPosition, array_.unlock());
    server::raiseAt(kDestroyPosition, array_.destroy());
  }

 private:
  platform::SafeArrayHandle array_;
};

bool skippedEntry(const platform::FindData& entry) {
  return entry.directory || entry.name == "." || entry.name.rfind("..", 0) == 0;
}

// A delete that fails is reported and the download goes on: the file may simply not be in the instrument.
void deleteBeforeLoad(const FileKind& kind, const std::string& name) {
  log::traceLog().LogIt("%s", kind.deleteNotice);
  try {
    core::setPosition(kind.deletePosition);
    log::traceLog().LogIt(kind.deleteTrace, name.c_str(), static_cast<int>(kind.remove(name.c_str())));
  } catch (const _com_error& error) {
    core::reportComError(kind.deleteFailure, error);
  }
}

int32_t downloadFiles(const char* path, int32_t option) {
  const FileKind& kind = kKinds[(option & 0x7F) - 1];
  LoadedNames loaded;
  if ((option & kSkipExisting) != 0) loaded.obtain(kind);
  char pattern[TEVRA_DOWNLOAD_PATH_SIZE];
  const int32_t nameOffset = Tevra_Tool_GetDownloadPath(path, "*.*", pattern);
  if (nameOffset < 0) return nameOffset;
  log::traceLog().LogIt("Find '%s'", pattern);
  const std::string folder(pattern, static_cast<size_t>(nameOffset));
  int32_t count = 0;
  for (const platform::FindData& entry : platform::FindFiles(pattern)) {
    if (skippedEntry(entry)) continue;
    if (loaded.held() && loaded.contains(entry.name)) {
      log::traceLog().LogIt("OK, skip download '%s' due to existing in Q7730", entry.name.c_str());
      continue;
    }
    const std::string full = folder + entry.name;
    if (full.size() >= TEVRA_DOWNLOAD_PATH_SIZE) {
      return core::traceFailure(kDownloadExFrame.failureCode, "ERR %d,path '%s' longer than %d characters",
                                kDownloadExFrame.failureCode, full.c_str(), TEVRA_DOWNLOAD_PATH_SIZE - 1);
    }
    if (!loaded.held()) deleteBeforeLoad(kind, entry.name);
    core::setPosition(kind.loadPosition);
    const int32_t status = kind.load(full.c_str(), entry.name.c_str());
    log::traceLog().LogIt(kind.loadTrace, full.c_str(), static_cast<int>(status));
    ++count;
  }
  loaded.release();
  return count;
}

int32_t downloadFolder(const char* folder) {
  std::string pattern = core::orEmpty(folder);
  if (!pattern.empty() && pattern.back() != '/' && pattern.back() != '\\') pattern.push_back('/');
  if (pattern.size() + std::strlen("*.wf1") >= TEVRA_DOWNLOAD_PATH_SIZE) {
    return core::traceFailure(kDownloadFrame.failureCode, "ERR %d,folder '%s' longer than %d characters",
                              kDownloadFrame.failureCode, pattern.c_str(),
                              TEVRA_DOWNLOAD_PATH_SIZE - 1 - static_cast<int>(std::strlen("*.wf1")));
  }
  const int32_t segments = Tevra_ARB_DownloadEx((pattern + "*.wf1").c_str(), 1);
  if (segments < 0) return segments;
  const int32_t sequences = Tevra_ARB_DownloadEx((pattern + "*.seq").c_str(), 2);
  return sequences < 0 ? sequences : segments + sequences;
}

}  // namespace
}  // namespace tevra::arb

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_ARB_DownloadEx(const char* path, int32_t option) {
  core::CallFrame frame(arb::kDownloadExFrame);
  frame.start("%s,0x%02X", core::orEmpty(path), static_cast<unsigned>(option));
  const int32_t kind = option & 0x7F;
  if (kind < 1 || kind > 5) {
    return frame.end(core::traceFailure(arb::kKindRefused, "ERR %d,Incorrect FileTypeOption (0x%02X)",
                                        arb::kKindRefused, static_cast<unsigned>(option)));
  }
  return frame.end(frame.guard([&] { return arb::downloadFiles(path, option); }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_Download(const char* folder) {
  core::CallFrame frame(arb::kDownloadFrame);
  frame.start("%s", core::orEmpty(folder));
  return frame.end(frame.guard([&] { return arb::downloadFolder(folder); }));
}
