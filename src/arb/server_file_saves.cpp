// Files the measurement server writes on the local disk: segments and markers copied from the instrument,
// and the sequence files it builds. The local file is first moved aside to "<path>.bak"; when the server
// call fails it is moved back, so a failed save never loses the file that was there.
#include <string>

#include "platform/fs/fs.h"
#include "src/arb/file_replacement.h"
#include "src/core/frame.h"
#include "src/log/driver_logs.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

const core::FrameInfo kSaveSegmentFrame{"ARB_SaveSegment", -4178};
const core::FrameInfo kSaveMarkerFrame{"ARB_SaveMarker", -4212};
const core::FrameInfo kCreateSequenceFrame{"ARB_CreateSequenceFile", -4232};
const core::FrameInfo kAddSegmentFrame{"ARB_SequenceFile_AddSegment", -4254};
const core::FrameInfo kSaveSequenceFrame{"ARB_SequenceFile_Save", -4279};
const core::FrameInfo kCreateComplexFrame{"ARB_CreateComplexSequenceFile", -4305};
const core::FrameInfo kAddComplexFrame{"ARB_ComplexSequenceFile_AddSegment", -4333};
const core::FrameInfo kSaveComplexFrame{"ARB_ComplexSequenceFile_Save", -4366};

// The local file moved aside while the server writes its path; put back unless the write is confirmed.
class ServerWriteBackup {
 public:
  ServerWriteBackup(const char* path, int32_t code)
      : path_(core::orEmpty(path)), backup_(path_ + ".bak"), code_(code) {}
  ServerWriteBackup(const ServerWriteBackup&) = delete;
  ServerWriteBackup& operator=(const ServerWriteBackup&) = delete;
  ~ServerWriteBackup() {
    if (!taken_ || confirmed_) return;
    if (platform::MoveFileReplacing(backup_.c_str(), path_.c_str())) {
      log::traceLog().LogIt("OK, '%s' restored from its backup", path_.c_str());
    } else {
      traceFileFailure(code_, "restore", backup_.c_str());
    }
  }

  // Moves an existing file to its backup; 0, or the code with a traced ERR line when that fails. A path
  // without a file needs no backup.
  int32_t take() {
    if (path_.empty() || !platform::FileExists(path_.c_str())) return 0;
    if (!platform::MoveFileReplacing(path_.c_str(), backup_.c_str())) {
      return traceFileFailure(code_, "backup", path_.c_str());
    }
    taken_ = true;
    return 0;
  }
  void confirm() { confirmed_ = true; }

 private:
  std::string path_;
  std::string backup_;
  int32_t code_;
  bool taken_ = false;
  bool confirmed_ = false;
};

// One framed server call that writes the file at path, with its backup around it.
template <class Call>
int32_t savedByServer(core::CallFrame& frame, const char* path, Call&& call) {
  return frame.end(frame.guard([&] {
    ServerWriteBackup backup(path, frame.info().failureCode);
    if (const int32_t refused = backup.take(); refused != 0) return refused;
    call();
    backup.confirm();
    return 0;
  }));
}

}  // namespace
}  // namespace tevra::arb

using namespace tevra;
using core::orEmpty;

extern "C" TEVRA_API int32_t Tevra_ARB_SaveSegment(const char* name, const char* path) {
  core::CallFrame frame(arb::kSaveSegmentFrame);
  frame.start("'%s','%s'", orEmpty(name), orEmpty(path));
  return arb::savedByServer(frame, path,
                            [&] { server::at(4176).AWG_SaveSegment(orEmpty(name), orEmpty(path)); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_SaveMarker(const char* name, const char* path) {
  core::CallFrame frame(arb::kSaveMarkerFrame);
  frame.start("'%s','%s'", orEmpty(name), orEmpty(path));
  return arb::savedByServer(frame, path,
                            [&] { server::at(4205).AWG_SaveMarker(orEmpty(name), orEmpty(path)); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_CreateSequenceFile(void) {
  return core::framed(arb::kCreateSequenceFrame, [] {
    server::at(4230).AWG_CreateSequenceFile();
    return 0;
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_SequenceFile_AddSegment(const char* name, int32_t repetitions) {
  core::CallFrame frame(arb::kAddSegmentFrame);
  frame.start("%s,%d", orEmpty(name), static_cast<int>(repetitions));
  return frame.end(frame.guard([&] {
    server::at(4252).AWG_SequenceFile_AddSegment(orEmpty(name), repetitions);
    return 0;
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_SequenceFile_Save(const char* path) {
  core::CallFrame frame(arb::kSaveSequenceFrame);
  frame.start("%s", orEmpty(path));
  return arb::savedByServer(frame, path, [&] { server::at(4277).AWG_SequenceFile_Save(orEmpty(path)); });
}

extern "C" TEVRA_API int32_t Tevra_ARB_CreateComplexSequenceFile(void) {
  return core::framed(arb::kCreateComplexFrame, [] {
    server::at(4298).AWG_CreateComplexSequenceFile();
    return 0;
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_ComplexSequenceFile_AddSegment(const char* name, int32_t count) {
  core::CallFrame frame(arb::kAddComplexFrame);
  frame.start("%s,%d", orEmpty(name), static_cast<int>(count));
  return frame.end(frame.guard([&] {
    server::at(4326).AWG_ComplexSequenceFile_AddSegment(orEmpty(name), count);
    return 0;
  }));
}

extern "C" TEVRA_API int32_t Tevra_ARB_ComplexSequenceFile_Save(const char* name, const char* path) {
  core::CallFrame frame(arb::kSaveComplexFrame);
  frame.start("%s,%s", orEmpty(name), orEmpty(path));
  return arb::savedByServer(
      frame, path, [&] { server::at(4359).AWG_ComplexSequenceFile_Save(orEmpty(name), orEmpty(path)); });
}
