#include <memory>
#include <string>

#include "src/chart/chart_gui.h"
#include "src/chart/chart_request.h"
#include "src/chart/chart_window.h"
#include "src/core/frame.h"
#include "tevra.h"

namespace tevra::chart {
namespace {

int32_t showFramed(const ChartArguments& arguments) {
  const core::FrameInfo& info = frameInfo(arguments.kind);
  core::CallFrame frame(info);
  frame.start("%d,...", arguments.count);
  const int32_t result = frame.guard([&] {
    if (const std::string refused = refusalReason(arguments); !refused.empty()) {
      return core::traceFailure(info.failureCode, "ERR %d,%s(): %s", info.failureCode, info.name,
                                refused.c_str());
    }
    std::string reason;
    const int32_t code = showChart(std::make_shared<const ChartRequest>(makeRequest(arguments)), reason);
    if (code == kEndCannotCreate && !reason.empty()) {
      core::traceFailure(code, "ERR %d,%s(): the chart window cannot be created (%s)", code, info.name,
                         reason.c_str());
    }
    return code;
  });
  return frame.end(result);
}

// Spectrum, OBW and XY charts take the same arguments.
int32_t showOneTrace(ChartKind kind, int32_t count, const double* x, const double* y, const char* title,
                     int32_t closeAfter, int32_t ownThread) {
  return showFramed({.kind = kind,
                     .count = count,
                     .x = x,
                     .y = y,
                     .title = title,
                     .closeAfterSeconds = closeAfter,
                     .ownThread = ownThread});
}

}  // namespace
}  // namespace tevra::chart

using tevra::chart::ChartKind;

extern "C" TEVRA_API int32_t Tevra_Chart_Spectrum(int32_t count, const double* x, const double* y,
                                                  const char* title, int32_t closeAfter, int32_t ownThread) {
  return tevra::chart::showOneTrace(ChartKind::kSpectrum, count, x, y, title, closeAfter, ownThread);
}

extern "C" TEVRA_API int32_t Tevra_Chart_SpectralMask(int32_t count, const double* x, const double* y,
                                                      const double* limit, const char* title,
                                                      int32_t closeAfter, int32_t ownThread) {
  return tevra::chart::showFramed({.kind = ChartKind::kSpectralMask,
                                   .count = count,
                                   .x = x,
                                   .y = y,
                                   .limit = limit,
                                   .title = title,
                                   .closeAfterSeconds = closeAfter,
                                   .ownThread = ownThread});
}

extern "C" TEVRA_API int32_t Tevra_Chart_OBW(int32_t count, const double* x, const double* y,
                                             const char* title, int32_t closeAfter, int32_t ownThread) {
  return tevra::chart::showOneTrace(ChartKind::kObw, count, x, y, title, closeAfter, ownThread);
}

extern "C" TEVRA_API int32_t Tevra_Chart_MultiTraces(int32_t count, const double* x, int32_t traces,
                                                     const double* matrix, int32_t extra, const char* title,
                                                     int32_t closeAfter, int32_t ownThread) {
  return tevra::chart::showFramed({.kind = ChartKind::kMultiTraces,
                                   .count = count,
                                   .x = x,
                                   .traces = traces,
                                   .matrix = matrix,
                                   .extra = extra,
                                   .title = title,
                                   .closeAfterSeconds = closeAfter,
                                   .ownThread = ownThread});
}

extern "C" TEVRA_API int32_t Tevra_Chart_XY(int32_t count, const double* x, const double* y,
                                            const char* title, int32_t closeAfter, int32_t ownThread) {
  return tevra::chart::showOneTrace(ChartKind::kXy, count, x, y, title, closeAfter, ownThread);
}
