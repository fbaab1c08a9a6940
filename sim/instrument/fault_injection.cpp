#include "sim/instrument/fault_injection.h"

namespace tevra::sim {

bool FaultInjector::takeClose(FaultSet& connection) {
  Fault* fault = pick(connection.close, global_.close);
  if (fault == nullptr) return false;
  fault->consume();
  return true;
}

ReplyPlan FaultInjector::planReply(FaultSet& connection) {
  ReplyPlan plan;
  if (Fault* missing = pick(connection.missing, global_.missing)) {
    missing->consume();
    plan.send = false;
    return plan;
  }
  if (Fault* delay = pick(connection.delay, global_.delay)) {
    delay->consume();
    plan.delayMs = delay->value;
  }
  if (Fault* split = pick(connection.split, global_.split)) {
    split->consume();
    plan.pieces = split->value;
  }
  return plan;
}

}  // namespace tevra::sim
