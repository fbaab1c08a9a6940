#include "platform/visa/instrument_link.h"

namespace tevra::platform::visa {

std::unique_ptr<InstrumentLink> openInstrumentLink(const ResourceName& resource, ViStatus* status) {
  switch (resource.kind) {
    case ResourceKind::kTcpipSocket: {
      auto stream =
          connectTcp(resource.host, resource.port, Deadline::afterMilliseconds(kConnectTimeoutMs), status);
      if (!stream) return nullptr;
      *status = VI_SUCCESS;
      return makeStreamLink(std::move(stream));
    }
    case ResourceKind::kTcpipInstr:
      return openVxi11Link(resource, status);
  }
  *status = VI_ERROR_RSRC_NFOUND;
  return nullptr;
}

}  // namespace tevra::platform::visa
