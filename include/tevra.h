/*
 * Tevra driver for the Q7730 wireless test set: the exported C interface.
 *
 * Interface contract, kept by every function of this header:
 *  - Every integer the interface calls "long" is a signed 32-bit integer (int32_t) on every platform.
 *    Results are int32_t: zero or positive is success (a count, a flag, a session number or a server
 *    HRESULT), negative is a failure code fixed per function and failure site.
 *  - Texts passed in are zero-terminated 8-bit texts (UTF-8 on Linux); a null text pointer is accepted
 *    wherever a text is taken and never crashes.
 *  - Towards the measurement server, booleans are 16-bit (0 false, 1 or -1 true) and texts are 16-bit
 *    characters; the driver converts at its boundary, the caller never sees either.
 *  - A caller buffer whose size is not passed has a bound documented at its function (TEVRA_*_MAX below),
 *    and the driver never writes past it.
 *  - No function raises an exception or writes to stdout; failures are traced to the trace log as lines
 *    beginning with ERR.
 *
 * The trace log: at load the library opens its trace file on the default path, "/tmp/Velkorin.log.txt"
 * (the environment variable TEVRA_TRACE_FILE moves it), in weekly naming mode: the file actually written is
 * "<base>.<yy>W<week>-<mmdd><ext>", e.g. /tmp/Velkorin.log.26W49-1206.txt for the week that begins on
 * Sunday 2026-12-06.
 */
#ifndef TEVRA_H
#define TEVRA_H

#include <stdint.h>

#if defined(_WIN32)
#define TEVRA_API __declspec(dllexport)
#else
#define TEVRA_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Bounds of texts and buffers ---- */

/* Tevra_Log_LogIt: the formatted text is cut after this many bytes. */
#define TEVRA_LOGIT_TEXT_MAX 2047
/* Tevra_Stat_Measurement: the block has this many int32_t. */
#define TEVRA_STAT_BLOCK_COUNT 83

/* ---- Call frame and error reporting ---- */

/* The HRESULT of the COM error caught by the last framed call, 0 when it caught none. Runs no frame. */
TEVRA_API int32_t Tevra_GetCOMLastError(void);

/* ---- Trace log ---- */

/* Moves the trace log to fileName (appending, line mode on). Returns 1 when the log is open, else -1;
 * a null or empty name closes the log and returns -1. */
TEVRA_API int32_t Tevra_Log_Open(const char* fileName);
/* Closes the trace log ("*** End of Log ***"). */
TEVRA_API void Tevra_Log_Close(void);
/* Writes one timestamped entry formatted printf-style from format; the text is cut after
 * TEVRA_LOGIT_TEXT_MAX bytes. A null format writes nothing. */
TEVRA_API void Tevra_Log_LogIt(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/* ---- Measurement statistics ---- */

/* flags 2: copy the TEVRA_STAT_BLOCK_COUNT counters into block (when not null) and print the report to the
 * trace log; flags 1: afterwards reset the counters; 3: both. Block layout: [0] reserved, [1] total ms,
 * then 27 entries of {call count, total ms, first-call ms}. */
TEVRA_API void Tevra_Stat_Measurement(int32_t flags, int32_t* block);

#ifdef __cplusplus
}
#endif

#endif /* TEVRA_H */
