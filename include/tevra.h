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

/* Tevra_SerialNumber, Tevra_DriverVersion, Tevra_FirmwareRevision: the caller's buffer holds at least this
 * many bytes; a longer text is cut to TEVRA_IDENTITY_TEXT_SIZE - 1 bytes and terminated. */
#define TEVRA_IDENTITY_TEXT_SIZE 128
/* Tevra_Log_LogIt: the formatted text is cut after this many bytes. */
#define TEVRA_LOGIT_TEXT_MAX 2047
/* Tevra_Stat_Measurement: the block has this many int32_t. */
#define TEVRA_STAT_BLOCK_COUNT 83

/* ---- Call frame and error reporting ---- */

/* The HRESULT of the COM error caught by the last framed call, 0 when it caught none. Runs no frame. */
TEVRA_API int32_t Tevra_GetCOMLastError(void);

/* ---- Driver properties ---- */

/* Sets the property called name (any length, matched without regard to case) to value. Returns 1 when the
 * name is known and the value was taken, 0 for an unknown or null name (nothing traced), -1598 on a failure:
 * a server error (a server setting without an open session fails with 0x80004003), or a value the property
 * cannot take, traced as "ERR -1598,invalid value %g for SetProperty(%s)". On a failure nothing is sent or
 * stored. Value rules: a number for an integer, code or boolean is truncated toward zero and held to the
 * integer's range (1e300 gives the largest integer, booleans travel as 16-bit values, 40000 gives 32767);
 * NaN there is invalid. WindowType takes 0 to 3, AveragePower_ExpectedSignalBandwidth 0 or 1,
 * Demod_ReferenceFilterType_11b 0 to 2; other codes are invalid. Settings the driver holds
 * (CenterFrequency_MHz, PowerRange, MaxPacketLength_s, TriggerStyle, TriggerLevel_mV, TriggerDelay_s,
 * TriggerHoldoff_s) are stored without a session and sent to the server first while one is open;
 * WindowType always needs a session. */
TEVRA_API int32_t Tevra_SetProperty(const char* name, double value);
/* Reads the property called name into *value. Returns 1 when the name is known and has a value, 0 when it
 * does not (*value unchanged), -1882 on a server error (*value unchanged; a server setting without an open
 * session fails with 0x80004003). "all" traces every property in table order, then sets *value to 0.0 and
 * returns 1. A null or empty name sets *value to the number of property names (63) and returns 0. A null
 * value pointer writes nothing and returns -1882, traced as "ERR -1882,null value pointer for
 * GetProperty(%s)". Booleans read back as the server's 16-bit value (true may read -1.0). */
TEVRA_API int32_t Tevra_GetProperty(const char* name, double* value);

/* ---- Session ---- */

/* Opens a session: checks the installed server's version, opens the VISA session on field 0 of
 * resourceList, stops the generator, creates the measurement server and activates the instrument.
 * flagA and flagB are passed to the server's start-up settings; the last two are only traced. Returns the
 * server's HRESULT of the last step (0), or -642/-652 (registry), -693 (no version registered), -1 (another
 * server version), -698 (COM error in the version check), -838 (server error). A session that is open is
 * closed first. */
TEVRA_API int32_t Tevra_Init(const char* resourceList, int32_t flagA, int32_t flagB, int32_t traced1,
                             int32_t traced2);
/* Stops the generator, disposes of the server and closes the VISA session: the HRESULT of Dispose (0), 1
 * when no session was open, -970 on a server error (the session stays open; call again). */
TEVRA_API int32_t Tevra_Close(void);
/* 0, or -879. */
TEVRA_API int32_t Tevra_Preset(void);
/* 0, or -899. */
TEVRA_API int32_t Tevra_SelfTest(void);
/* Hands the instrument's I/O to the driver's VISA session: the server's HRESULT, or -5059. */
TEVRA_API int32_t Tevra_Suspend(void);
/* Gives the instrument back to the server: its HRESULT, or -5079. */
TEVRA_API int32_t Tevra_ActivateInstrument(void);
/* The identity texts into buffer (TEVRA_IDENTITY_TEXT_SIZE bytes): 0, or -1908 / -1937 / -1962 (server
 * error, or a null buffer). */
TEVRA_API int32_t Tevra_SerialNumber(char* buffer);
TEVRA_API int32_t Tevra_DriverVersion(char* buffer);
TEVRA_API int32_t Tevra_FirmwareRevision(char* buffer);
/* Makes window the owner of the chart windows (0: the current foreground window of the charts' window
 * system, 0 when there is none).
 * Returns the window stored. */
TEVRA_API int32_t Tevra_SetForegroundWindow(int32_t window);

/* ---- Direct instrument I/O ---- */

/* Opens the driver's VISA session on field 0 of resourceList (fields separated by ';'), e.g.
 * "TCPIP0::127.0.0.1::5025::SOCKET". Returns the session (positive) or -538 (no resource manager),
 * -548 (the resource cannot be opened, or field 0 is longer than 99 characters), -565 (server error). */
TEVRA_API int32_t Tevra_InitViSession(const char* resourceList);
/* Closes the instrument session if one is open. Returns 0. */
TEVRA_API int32_t Tevra_CloseViSession(void);
/* Clears and resets the instrument ("*RST;*CLS") and reads its error queue: 0, -8774 (instrument error),
 * -8777 (server error). */
TEVRA_API int32_t Tevra_ViPreset(void);

/* ---- RF ports and TTL outputs ---- */

/* Makes port 0..4 the primary RF port: 1, or 0 for another port (nothing sent); -8656 on a server error. */
TEVRA_API int32_t Tevra_SetPrimaryRFPort(int32_t port);
/* 1 with the primary port (0..4) written to *port; 0 when the server reports another value (*port unchanged);
 * -8746 on a server error or a null port. */
TEVRA_API int32_t Tevra_GetPrimaryRFPort(int32_t* port);
/* Bit k-1 of mask makes port k (1..4) a reference port; higher bits are ignored. 1, or -8680. */
TEVRA_API int32_t Tevra_SetReferencePorts(int32_t mask);
/* The reference-port mask 0..15, or -8705. */
TEVRA_API int32_t Tevra_GetReferencePorts(void);
/* Sets TTL lines 17, 18, 19 and 24 from mask bits 0x1, 0x2, 0x4 and 0x8 (all four each time). Needs a
 * session: the server's Suspend HRESULT (0), or -7435. */
TEVRA_API int32_t Tevra_TTL_Output(int32_t mask);
/* A pulse of at least 10 ms on line (channel modulo 32): 0 -> 17, 1 -> 18, 2 -> 19, 3 -> 24, others none.
 * The result of the pulse's TTL_Output. */
TEVRA_API int32_t Tevra_TTL_SwitchChannel(int32_t channel);

/* ---- Direct playback over SCPI ----
 * The frequency offset is added to the analyzer's frequency (the server's when a session is open, else the
 * CenterFrequency_MHz property). Frequencies are sent with enough digits to carry them to 1 Hz. A sequence
 * name holding a double quote, a ';' or a control character is refused before anything is sent. */

/* Selects and arms sequence "SEQ:<name>" with the RF output off. 0, or -7645 (write failed), -7674
 * (instrument error), -7683 (server error or name refused). */
TEVRA_API int32_t Tevra_ARBEx_Select_Sequence(const char* name, double powerDbm, double offsetMHz,
                                              int32_t sampleClockMHz);
/* As Tevra_ARBEx_Select_Sequence with a 40 MHz (11ag) or 44 MHz (11b) sample clock. */
TEVRA_API int32_t Tevra_ARBEx_Select_Sequence_11ag(const char* name, double powerDbm, double offsetMHz);
TEVRA_API int32_t Tevra_ARBEx_Select_Sequence_11b(const char* name, double powerDbm, double offsetMHz);
/* New power and frequency for the selected sequence. 0, -7560, -7577, -7586. */
TEVRA_API int32_t Tevra_ARBEx_ReSelect(double powerDbm, double offsetMHz);
/* An unmodulated carrier. 0, -7487, -7494, -7506, -7519, -7524. */
TEVRA_API int32_t Tevra_ARBEx_CWTone(double powerDbm, double offsetMHz);
/* Output on and one run of the selected sequence. 0, -7738, -7744, -7747. */
TEVRA_API int32_t Tevra_ARBEx_TriggerSequence(void);
/* Output off, level -90 dBm, generator off. 1, -7782 (write failed), -7799 (server error). */
TEVRA_API int32_t Tevra_ARBEx_Stop(int32_t unused);
/* 1 while the instrument's operation condition register has a bit set, else 0; -7828 (write failed),
 * -7835 (read failed), -7839 (server error). traceFlag 0 traces only failures. */
TEVRA_API int32_t Tevra_ARBEx_SequencePlaying(int32_t traceFlag);

/* ---- Playback through the server ----
 * Power in dBm, frequencies in MHz (sent in Hz), sample clocks in MHz (sent in Hz; one that does not fit a
 * 32-bit count of Hz is refused with the failure code). The select, trigger and stop functions hold the
 * playback lock and, without a session, return their skip code (-7006, -6967, -3823, -3882, -3937,
 * -3993). */

TEVRA_API int32_t Tevra_ARB_Select_Sequence(const char* name, double powerDbm, double frequencyMHz,
                                            int32_t sampleClockMHz); /* 0, -7063 */
TEVRA_API int32_t Tevra_ARB_Select_SequenceEx(const char* name, double powerDbm, double frequencyMHz,
                                              double sampleClockMHz); /* 0, -6974 */
TEVRA_API int32_t Tevra_ARB_Select_Sequence_11ag(const char* name, double powerDbm,
                                                 double frequencyMHz); /* status, -3830 */
TEVRA_API int32_t Tevra_ARB_Select_Sequence_11b(const char* name, double powerDbm,
                                                double frequencyMHz); /* status, -3888 */
TEVRA_API int32_t Tevra_ARB_Play_Segment(const char* name, double powerDbm, double frequencyMHz,
                                         int32_t sampleClockMHz); /* 0, -7149 */
TEVRA_API int32_t Tevra_ARB_Play_SegmentEx(const char* name, double powerDbm, double frequencyMHz,
                                           double sampleClockMHz); /* 0, -7176 */
TEVRA_API int32_t Tevra_ARB_Play_Segment_11ag(const char* name, double powerDbm,
                                              double frequencyMHz); /* status, -3856 */
TEVRA_API int32_t Tevra_ARB_Play_Segment_11b(const char* name, double powerDbm,
                                             double frequencyMHz); /* status, -3914 */
/* Over SCPI after a direct selection: -3952 (write failed), -3958 (instrument error); else -3967. */
TEVRA_API int32_t Tevra_ARB_TriggerSequence(void);
/* Over SCPI after a direct selection: -4010 (write failed), -4019 (instrument error); else -4056. */
TEVRA_API int32_t Tevra_ARB_Stop(int32_t traced);
TEVRA_API int32_t Tevra_ARB_CWTone(double powerDbm, double frequencyMHz);       /* 0, -4151 */
TEVRA_API int32_t Tevra_ARB_AdjustOutput(double powerDbm, double frequencyMHz); /* 0, -7871 */
/* The server's count, or -4129. */
TEVRA_API int32_t Tevra_ARB_FreeSegmentSpace(void);
/* 1 or 0, or -5011. */
TEVRA_API int32_t Tevra_ARB_SourceActive(void);
/* 1 or 0, or -5033; traceFlag 0 traces only failures. */
TEVRA_API int32_t Tevra_ARB_SequencePlaying(int32_t traceFlag);

/* ---- Charts ---- */

/* A chart window of count points: x in Hz (shown in GHz), values in dBm. Spectrum, OBW and XY plot y
 * (XY as points), SpectralMask plots y and the limit line, MultiTraces plots `traces` traces from matrix
 * (trace t point i at matrix[t * count + i]; extra is kept and not shown). title (cut to 99 bytes, null or
 * empty keeps the default caption) names the window; closeAfter > 0 closes it after that many seconds.
 * ownThread 0: the call waits until the window closes and returns 2 (Exit, close box), 0 (closeAfter) or -1
 * (no window can be created: no display, or a host Qt application without widgets). ownThread non-zero:
 * returns 0 at once (or -1); every array has been copied, so the caller may free them.
 * A negative count, or a null array that a positive count needs, returns the function's failure code
 * (-7308, -7265, -7351, -7397, -7220). Windows run on the host's Qt application when there is one, else on
 * a GUI thread of the library. Print saves the chart as PNG and PDF beside the trace file; with
 * TEVRA_CHART_SAVE=1 every chart window does so when it closes. The window stored by
 * Tevra_SetForegroundWindow gets the focus back when a chart closes. */
TEVRA_API int32_t Tevra_Chart_Spectrum(int32_t count, const double* x, const double* y, const char* title,
                                       int32_t closeAfter, int32_t ownThread);
TEVRA_API int32_t Tevra_Chart_SpectralMask(int32_t count, const double* x, const double* y, const double* limit,
                                           const char* title, int32_t closeAfter, int32_t ownThread);
TEVRA_API int32_t Tevra_Chart_OBW(int32_t count, const double* x, const double* y, const char* title,
                                  int32_t closeAfter, int32_t ownThread);
TEVRA_API int32_t Tevra_Chart_MultiTraces(int32_t count, const double* x, int32_t traces, const double* matrix,
                                          int32_t extra, const char* title, int32_t closeAfter,
                                          int32_t ownThread);
TEVRA_API int32_t Tevra_Chart_XY(int32_t count, const double* x, const double* y, const char* title,
                                 int32_t closeAfter, int32_t ownThread);

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
