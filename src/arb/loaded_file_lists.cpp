// The names of the segment and sequence files the instrument holds, copied into the caller's buffer as a
// name list text (each name ended by a zero byte, the list by an empty name).
#include <cstring>
#include <string>

#include "src/core/frame.h"
#include "src/server/instrument.h"
#include "tevra.h"

namespace tevra::arb {
namespace {

constexpr uint16_t kTextElements = 0x100;  // FADF_BSTR

struct ListSite {
  const core::FrameInfo& frame;
  int32_t wrongTypeCode;
  int32_t call, lock, unlock, destroy;  // position numbers
};

const core::FrameInfo kSegmentListFrame{"ARB_GetLoadedSegmentFileList", -5135};
const core::FrameInfo kSequenceListFrame{"ARB_GetLoadedSequenceFileList", -5188};
const ListSite kSegmentList{kSegmentListFrame, -5132, 5104, 5107, 5126, 5127};
const ListSite kSequenceList{kSequenceListFrame, -5185, 5157, 5159, 5179, 5180};

// A name fits when its terminator and the list's final zero still fit within size; nothing is written
// beyond size, not even the final zero.
int32_t copyNames(const platform::SafeArrayHandle& names, char* buffer, int32_t size) {
  size_t used = 0;
  int32_t copied = 0;
  for (uint32_t i = 0; i < names.count(); ++i) {
    const std::string name = names.text(i);
    if (name.size() + 2 > static_cast<size_t>(size) - used) break;
    std::memcpy(buffer + used, name.c_str(), name.size() + 1);
    used += name.size() + 1;
    ++copied;
  }
  buffer[used] = '\0';
  return copied;
}

template <class List>
int32_t loadedList(const ListSite& site, List&& list, char* buffer, int32_t size) {
  if (buffer == nullptr || size <= 0) {
    return core::traceFailure(site.frame.failureCode, "ERR %d,no room for the list (%d bytes)",
                              site.frame.failureCode, static_cast<int>(size));
  }
  core::setPosition(site.call);
  platform::SafeArrayHandle names = list();
  // The server may answer with no array at all: the instrument then holds no such file.
  if (names.null()) {
    buffer[0] = '\0';
    return 0;
  }
  if ((names.features() & kTextElements) == 0) {
    return core::traceFailure(site.wrongTypeCode, "ERR %d,Incorrect Dim Type (%d,0x%08X)", site.wrongTypeCode,
                              names.features(), names.features());
  }
  server::raiseAt(site.lock, names.lock());
  const int32_t copied = copyNames(names, buffer, size);
  server::raiseAt(site.unlock, names.unlock());
  server::raiseAt(site.destroy, names.destroy());
  return copied;
}

}  // namespace
}  // namespace tevra::arb

using namespace tevra;

extern "C" TEVRA_API int32_t Tevra_ARB_GetLoadedSegmentFileList(char* buffer, int32_t size) {
  return core::framed(arb::kSegmentListFrame, [&] {
    return arb::loadedList(
        arb::kSegmentList, [] { return server::instrument().AWG_LoadedSegmentList(); }, buffer, size);
  });
}

extern "C" TEVRA_API int32_t Tevra_ARB_GetLoadedSequenceFileList(char* buffer, int32_t size) {
  return core::framed(arb::kSequenceListFrame, [&] {
    return arb::loadedList(
        arb::kSequenceList, [] { return server::instrument().AWG_LoadedSequenceList(); }, buffer, size);
  });
}
