// How a reply that a fault splits is cut: into pieces of equal size (the last one shorter), never more
// pieces than the reply has bytes.
#pragma once

#include <cstddef>

#include "sim/instrument/fault_injection.h"

namespace tevra::sim {

inline size_t replyPieceSize(size_t replySize, const ReplyPlan& plan) {
  size_t pieces = plan.pieces > 1 ? static_cast<size_t>(plan.pieces) : 1;
  if (pieces > replySize) pieces = replySize;
  return pieces == 0 ? replySize : (replySize + pieces - 1) / pieces;
}

}  // namespace tevra::sim
