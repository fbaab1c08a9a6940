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
 * Threads: the trace-log functions (Tevra_Log_Open, Tevra_Log_Close, Tevra_Log_LogIt) may be called from
 * any number of threads at once, also while another thread opens or closes the log: each entry is written
 * whole to the file open at that moment, or dropped when none is. Every other function uses driver-wide
 * state without a lock (the server session, the VISA session, the COM last error, the held settings, the
 * statistics): call them from one thread at a time, or serialise the calls with a lock of your own. The
 * driver itself starts no thread that calls them.
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

/* ---- Version of this interface and library ----
 * The CMake package (find_package(tevra)), the pkg-config file (pkg-config --modversion tevra) and
 * q7730-sim --version report the same version. */
#define TEVRA_VERSION_MAJOR 5
#define TEVRA_VERSION_MINOR 11
#define TEVRA_VERSION_PATCH 0
#define TEVRA_VERSION_TEXT "5.11.0"
/* One number for comparisons: TEVRA_VERSION >= TEVRA_VERSION_OF(5, 11, 0). */
#define TEVRA_VERSION_OF(major, minor, patch) ((major)*10000 + (minor)*100 + (patch))
#define TEVRA_VERSION TEVRA_VERSION_OF(TEVRA_VERSION_MAJOR, TEVRA_VERSION_MINOR, TEVRA_VERSION_PATCH)

/* ---- Bounds of texts and buffers ---- */

/* Tevra_SerialNumber, Tevra_DriverVersion, Tevra_FirmwareRevision: the caller's buffer holds at least this
 * many bytes; a longer text is cut to TEVRA_IDENTITY_TEXT_SIZE - 1 bytes and terminated. */
#define TEVRA_IDENTITY_TEXT_SIZE 128
/* Tevra_Log_LogIt: the formatted text is cut after this many bytes. */
#define TEVRA_LOGIT_TEXT_MAX 2047
/* Tevra_Measure_SpectralMask_*: Frequencies and Powers each hold at least this many points. */
#define TEVRA_SPECTRAL_MASK_POINTS_MAX 4096
/* Tevra_Measure_ALL_11ag: SpectralFlatnessResults holds at least this many values. */
#define TEVRA_FLATNESS_RESULTS_MAX 256
/* Tevra_GetExtraMeasureResult: an array result (the gated spectrum) has at most this many values. */
#define TEVRA_EXTRA_RESULT_VALUES_MAX 4096
/* Tevra_Stat_Measurement: the block has this many int32_t. */
#define TEVRA_STAT_BLOCK_COUNT 83

/* ---- Call frame and error reporting ---- */

/* The HRESULT of the COM error caught by the last framed call, 0 when it caught none. Runs no frame. */
TEVRA_API int32_t Tevra_GetCOMLastError(void);

/* Addition to the interface, for callers that report failures themselves (the Python package does): copies
 * the ERR text of the last failure traced on the calling thread into buffer, cut to size - 1 bytes and
 * terminated, and clears it. Every call that runs the call frame starts with no text, so after a negative
 * result the text belongs to that call. Returns the length of the whole text (0 when there is none; it may
 * exceed size - 1), or -1 for a null buffer or a size below 1 (nothing written, the text kept). Runs no
 * frame and traces nothing. */
TEVRA_API int32_t Tevra_GetLastErrorText(char* buffer, int32_t size);

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
 * server version), -698 (COM error in the version check), -838 (server error, or field 0 of resourceList
 * longer than 99 characters), -599 (the server refused a held analyzer setting; the settings after it are not
 * sent). A session that is open is closed first. The VISA timeout of the driver's session is read here from
 * the environment variable TEVRA_VISA_TIMEOUT_MS (1 to 600000 ms; default 2000). */
TEVRA_API int32_t Tevra_Init(const char* resourceList, int32_t flagA, int32_t flagB, int32_t traced1,
                             int32_t traced2);
/* Stops the generator, disposes of the server and closes the VISA session: the HRESULT of Dispose (0), 1
 * when no session was open, -970 when a step failed (traced); the server is released and the VISA session
 * closed in every case, so that a new Tevra_Init starts afresh. */
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
 * "TCPIP0::127.0.0.1::5025::SOCKET", with the timeout TEVRA_VISA_TIMEOUT_MS (ms; default 2000). Returns the
 * session (positive) or -538 (no resource manager), -548 (the resource cannot be opened, or field 0 is
 * longer than 99 characters), -565 (server error). */
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
 * session: the server's Suspend HRESULT (0), or -7435 (server error, or a line that could not be written). */
TEVRA_API int32_t Tevra_TTL_Output(int32_t mask);
/* A pulse of at least 10 ms on line (channel modulo 32): 0 -> 17, 1 -> 18, 2 -> 19, 3 -> 24, others none.
 * The result of the pulse's TTL_Output, or -7435 when one of its three TTL_Output calls failed. */
TEVRA_API int32_t Tevra_TTL_SwitchChannel(int32_t channel);

/* ---- Direct playback over SCPI ----
 * Every direct call reads the instrument's whole error queue and reports its first error. Once a call has met
 * a timeout or a lost connection, its remaining I/O fails at once; after a timeout the next call first brings
 * the session back in step, so that a late reply is never taken for the answer to a later query.
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
/* Output off, level -90 dBm, generator off. 1, -7782 (write failed), -7793 (instrument error; the output
 * is off all the same), -7799 (server error). */
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
/* The names of the segment (sequence) files the instrument holds, each ended by a zero byte and the list by
 * an empty name, never more than size bytes; copying stops at the first name that does not fit. The number of
 * names copied, or -5132 (-5185) when the server's list is not a list of texts, -5135 (-5188) for a server
 * error or no room in buffer. */
TEVRA_API int32_t Tevra_ARB_GetLoadedSegmentFileList(char* buffer, int32_t size);
TEVRA_API int32_t Tevra_ARB_GetLoadedSequenceFileList(char* buffer, int32_t size);
/* Deletes a sequence (segment) file from the instrument's memory. The server's status, or -4079 (-4104) for a
 * server error, such as a file the instrument does not hold. */
TEVRA_API int32_t Tevra_ARB_Delete_Sequence(const char* name);
TEVRA_API int32_t Tevra_ARB_Delete_Segment(const char* name);
/* Loads the files that path finds (a folder ending in '/', a file, or a pattern with wildcards in its last
 * part; null or empty: the current folder) into the instrument. option & 0x7F is the kind: 1 segment,
 * 2 sequence, 3 marker, 4 segment and 5 marker of the non-volatile storage. Without bit 0x80 each file is
 * deleted in the instrument first (a failed delete is traced, -3562/-3575/-3589/-3601/-3613, and the
 * download goes on); with it, files the instrument already lists are skipped. The number of files loaded,
 * or -3478 (kind not 1 to 5), -8294 (path), -3628 (a server error: the files before it are loaded, or a
 * folder and name of TEVRA_DOWNLOAD_PATH_SIZE characters or more). */
TEVRA_API int32_t Tevra_ARB_DownloadEx(const char* path, int32_t option);
/* Loads a folder's "*.wf1" files as segments, then its "*.seq" files as sequences. The sum of both counts,
 * or the first negative result, or -3769 (a folder too long for a pattern). */
TEVRA_API int32_t Tevra_ARB_Download(const char* folder);
/* Copies a segment (marker) file of the instrument to path. An existing file at path is moved to
 * "<path>.bak" first and moved back when the server fails. 0, or -4178 (-4212) for a failed backup or a
 * server error. */
TEVRA_API int32_t Tevra_ARB_SaveSegment(const char* name, const char* path);
TEVRA_API int32_t Tevra_ARB_SaveMarker(const char* name, const char* path);
/* Sequence files built by the server: a list emptied by Create, filled by AddSegment (segment names of at
 * most 23 characters, repetitions 1 to 16777215, up to 256 entries) and written to path by Save, with the
 * backup of SaveSegment. The complex sequence file is also kept by the instrument under name (".seq" added
 * when missing), so that it can be selected at once. 0, or the failure code: -4232, -4254, -4279, -4305,
 * -4333, -4366. */
TEVRA_API int32_t Tevra_ARB_CreateSequenceFile(void);
TEVRA_API int32_t Tevra_ARB_SequenceFile_AddSegment(const char* name, int32_t repetitions);
TEVRA_API int32_t Tevra_ARB_SequenceFile_Save(const char* path);
TEVRA_API int32_t Tevra_ARB_CreateComplexSequenceFile(void);
TEVRA_API int32_t Tevra_ARB_ComplexSequenceFile_AddSegment(const char* name, int32_t count);
TEVRA_API int32_t Tevra_ARB_ComplexSequenceFile_Save(const char* name, const char* path);
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
TEVRA_API int32_t Tevra_Chart_SpectralMask(int32_t count, const double* x, const double* y,
                                           const double* limit, const char* title, int32_t closeAfter,
                                           int32_t ownThread);
TEVRA_API int32_t Tevra_Chart_OBW(int32_t count, const double* x, const double* y, const char* title,
                                  int32_t closeAfter, int32_t ownThread);
TEVRA_API int32_t Tevra_Chart_MultiTraces(int32_t count, const double* x, int32_t traces,
                                          const double* matrix, int32_t extra, const char* title,
                                          int32_t closeAfter, int32_t ownThread);
TEVRA_API int32_t Tevra_Chart_XY(int32_t count, const double* x, const double* y, const char* title,
                                 int32_t closeAfter, int32_t ownThread);

/* ---- Waveform files on the local disk ----
 * A file these functions replace keeps its old content as "<name>.bak"; the new content is written to
 * "<name>.tmp" and renamed into place only when whole, so a failed run leaves the old file intact. A failed
 * backup stops the replacement. */

/* The buffer of Tevra_Tool_GetDownloadPath: a path with its terminator. */
#define TEVRA_DOWNLOAD_PATH_SIZE 260

/* Writes the full path or search pattern for path into buffer (TEVRA_DOWNLOAD_PATH_SIZE bytes): the current
 * folder followed by defaultName for a null or empty path, a folder ending in '/' followed by defaultName,
 * or the resolved path itself. Returns the offset of its file-name part, or -8294 (a null buffer, a path
 * that cannot be resolved or that does not fit the buffer). */
TEVRA_API int32_t Tevra_Tool_GetDownloadPath(const char* path, const char* defaultName, char* buffer);

/* Empties the driver's sequence list (up to 256 entries). 0. */
TEVRA_API int32_t Tevra_ARBEx_CreateSequenceFile(void);
/* Appends a segment (its first 23 characters) played repetitions times. The new entry count, or -7966 (the
 * list is full), -7972 (repetitions not above 0), -7981 (a null or empty name). */
TEVRA_API int32_t Tevra_ARBEx_SequenceFile_AddSegment(const char* name, int32_t repetitions);
/* Writes the list to fileName. The entry count, or -8006 (empty list), -8026 (backup or create failed),
 * -8053/-8064 (writing a one-entry file failed), -8069/-8080 (writing a longer file failed; -8080 also
 * refuses a count above 16777215, which its records cannot hold), -8088. */
TEVRA_API int32_t Tevra_ARBEx_SequenceFile_Save(const char* fileName);
/* Writes a sequence file of the names (each ended by a zero byte, the list by an empty name) with
 * repetitions[i] for names i. The number of names, or -8227 (backup or create failed), -8247, -8250, -8252,
 * -8253 (a write failed), -8258 (a write failed, or a count outside 1..16777215), -8268 (null repetitions).
 */
TEVRA_API int32_t Tevra_ARBEx_MakeSequenceFile(const char* names, const int32_t* repetitions,
                                               const char* fileName);
/* Reads a sequence file's names into names (size bytes: each name ended by a zero byte, the list by an empty
 * name; never more than size bytes) and their counts into repetitions, which holds at least size / 2
 * elements. The number of entries read (reading stops at the first name that does not fit), or -8120 (no
 * buffer, or the file cannot be opened), -8143 (header), -8148 (one-entry record), -8169 (a record that
 * cannot be read or is not a segment entry). */
TEVRA_API int32_t Tevra_ARBEx_GetSegmentList(const char* fileName, char* names, int32_t size,
                                             int32_t* repetitions);

/* Segment files hold IQ samples, I then Q, each a signed 16-bit big-endian number. A sample whose I*I+Q*Q is
 * above 121000 belongs to the burst. Files marked as encrypted are refused. */

/* The burst RMS of a segment file. The number of burst samples, or -6007 (null out pointer, or the file
 * cannot be opened), -6017 (encrypted), -6025 (shorter than 16 bytes, or a read failed), -6032, -6064 (the
 * size is not a multiple of 4). burstRms is 0 when the file holds no burst. */
TEVRA_API int32_t Tevra_Calc_SegmentBurstRMS(const char* fileName, double* burstRms);
/* Writes destination as source with every I and Q multiplied by factor (truncated toward zero, held within
 * the 16-bit range); source and destination may be the same file. The number of burst samples of the result
 * (0 for an empty source), or -6169 (open), -6177 (null out pointer, a factor that is not a finite number,
 * backup or create failed), -6188, -6196, -6203, -6212 (as for the burst RMS), -6257, -6263 (write). */
TEVRA_API int32_t Tevra_Calc_ReduceSegmentBurstRMS(const char* source, double factor, const char* destination,
                                                   double* burstRms);
/* Measures every file that pattern (a folder ending in '/', or a folder and a mask) finds; with option not 0
 * and more than one file, writes "<file>_R" scaled to the smallest burst RMS. The number of files measured,
 * or the first failing (or burst-free) file's result, or the first failing scale's code, or -8294, -8396. */
TEVRA_API int32_t Tevra_Tool_NormalizeBurstRMS(const char* pattern, int32_t option);
/* Appends idle samples (zeros) of idleFraction times the file's size, rounded down to whole samples. 0, or
 * -397 (open), -418 (backup failed, a fraction that is negative or not a number, a write failed: the file
 * then keeps its old size). */
TEVRA_API int32_t Tevra_FillSegmentIdle(const char* fileName, double idleFraction);

/* ---- Trace log ---- */

/* Moves the trace log to fileName (appending, line mode on). Returns 1 when the new file is open and took
 * its start line, else -1; a null or empty name closes the log and returns -1. A file that cannot be opened
 * or written (a missing folder, a full disk) keeps the trace log on the file that was open. Write failures
 * are also reported on the debugger output ("LogWrite(<file>) failed, last error = <code>"). */
TEVRA_API int32_t Tevra_Log_Open(const char* fileName);
/* Closes the trace log ("*** End of Log ***"). */
TEVRA_API void Tevra_Log_Close(void);
/* Writes one timestamped entry formatted printf-style from format; the text is cut after
 * TEVRA_LOGIT_TEXT_MAX bytes. Returns 1 when written, 0 when no trace log is open, -1 when the write
 * failed or the format is refused: a null format writes nothing, a format with a %n conversion is traced
 * as "ERR -1,Log_LogIt() refused a format with %n" instead. */
TEVRA_API int32_t Tevra_Log_LogIt(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

/* ---- Analyzer set-up and radio mode (through the server) ---- */

/* Ordered writes of the analyzer settings: frequency in MHz (sent in Hz; a value below 1 MHz in magnitude
 * leaves the analyzer's frequency as it is), MirrorFrequency -1 true / 0 false, power range in dBm, trigger
 * style 1 immediate, 3 external, any other burst, delay in s, level in mV (sent in V). A setting the server
 * accepted is also held by the driver for Tevra_MeasureEx_AveragePower. 0, or -2038 / -2116 / -2169. */
TEVRA_API int32_t Tevra_DigitalAnalyzer_Setup_11ag(double CenterFrequency_MHz, int16_t MirrorFrequency,
                                                   int32_t FramesUsed, int32_t MaxSymbolsUsed,
                                                   double PowerRange, int32_t TriggerStyle,
                                                   double TriggerDelay_s, double TriggerLevel_mV);
TEVRA_API int32_t Tevra_DigitalAnalyzer_Setup_11b(double CenterFrequency_MHz, int16_t MirrorFrequency,
                                                  int32_t FramesUsed, double MaxPacketLength_s,
                                                  double PowerRange, int32_t TriggerStyle,
                                                  double TriggerDelay_s, double TriggerLevel_mV);
TEVRA_API int32_t Tevra_RFAnalyzer_Setup(double CenterFrequency_MHz, int32_t TriggerStyle,
                                         double TriggerDelay_s, double TriggerLevel_mV,
                                         double TriggerHoldoff_s);
/* The instrument's Bluetooth or WLAN personality: 0, or -6698 / -6721. */
TEVRA_API int32_t Tevra_SetBluetoothMode(void);
TEVRA_API int32_t Tevra_SetWlanMode(void);

/* ---- Demodulation (through the server) ---- */

/* Each demodulates one burst and waits until the server's busy flag clears (no time limit). Result: 1 valid,
 * 0 not valid (overloaded, or a reason traced as "Not valid: ...": burst not good, an EVM that is not a
 * positive percentage, a centre frequency that gives no ppm, no 802.11n pass with every EVM), negative
 * failure (a null output is one). Outputs are preset on entry (PeakEVM 100 %, EVM 0 dB, ppm 0) and hold
 * their own unit only: a failure part-way leaves the presets. The frequency error is measured minus
 * nominal, in ppm of the analyzer's centre frequency. Further results: Tevra_GetExtraMeasureResult. */
TEVRA_API int32_t Tevra_Measure_Demod_ALL_11b(double* PeakEVM, double* FrequencyError_ppm);
TEVRA_API int32_t Tevra_Measure_Demod_ALL_11ag(double* EVM_dB, double* FrequencyError_ppm);
/* The 11ag measurement at 625 kHz subcarrier spacing with the alternate sync sequence; the three settings
 * are put back afterwards, each also when another fails (-2999). The 11ag result otherwise. */
TEVRA_API int32_t Tevra_Measure_Demod_ALL_11agturbo(double* EVM_dB, double* FrequencyError_ppm);
/* NumChannels 1 or 2 (else -2830 before any server call). EVM_dB holds 2 * NumChannels values in dB:
 * channel 1, stream 1[, channel 2, stream 2]. Up to 11 passes until every EVM is measured. */
TEVRA_API int32_t Tevra_Measure_Demod_ALL_11n(int32_t NumChannels, int32_t HT40, int32_t GI, double* EVM_dB,
                                              double* FrequencyError_ppm);

/* ---- Composite 802.11 measurements (through the server) ---- */

/* The server's EVM and frequency error measurements (11ag also CFL and spectral flatness), each started,
 * waited for and read in turn. 11b: EVM in RMS percent (preset 100; a value the server refuses leaves it
 * and makes the result 0). 11ag: EVM in dB. Frequency error in ppm (preset 0), measured minus nominal. When
 * NumResults is not null it receives the number of flatness results (at most TEVRA_FLATNESS_RESULTS_MAX, a
 * larger count fails the call) and, when SpectralFlatnessResults is not null, that many results. Outputs
 * other than the presets are written only when the call succeeds. Result: 1 valid, 0 overloaded or not
 * valid, -2470 / -2585 failure (a null output other than the flatness pair is one). The modulation format
 * the server detected: Tevra_GetExtraMeasureResult("EVM_ModulationFormat"), codes TEVRA_MODULATION_*. */
TEVRA_API int32_t Tevra_Measure_ALL_11b(double* EVM, double* FrequencyError_ppm, int32_t ForceInitiate);
TEVRA_API int32_t Tevra_Measure_ALL_11ag(double* EVM_dB, double* FrequencyError_ppm, double* CFL,
                                         double* SpectralFlatnessMargin, double* SpectralFlatnessResults,
                                         int32_t* NumResults, int32_t ForceInitiate);

/* Modulation format codes of the composite measurements (any other code reads as 99). */
#define TEVRA_MODULATION_NONE 0      /* no burst recognised */
#define TEVRA_MODULATION_BPSK_1_2 1  /* OFDM 6 Mbps */
#define TEVRA_MODULATION_BPSK_3_4 2  /* OFDM 9 Mbps */
#define TEVRA_MODULATION_QPSK_1_2 3  /* OFDM 12 Mbps */
#define TEVRA_MODULATION_QPSK_3_4 4  /* OFDM 18 Mbps */
#define TEVRA_MODULATION_16QAM_1_2 5 /* OFDM 24 Mbps */
#define TEVRA_MODULATION_16QAM_3_4 6 /* OFDM 36 Mbps */
#define TEVRA_MODULATION_64QAM_2_3 7 /* OFDM 48 Mbps */
#define TEVRA_MODULATION_64QAM_3_4 8 /* OFDM 54 Mbps */
#define TEVRA_MODULATION_DBPSK 9     /* DSSS 1 Mbps */
#define TEVRA_MODULATION_DQPSK 10    /* DSSS 2 Mbps */
#define TEVRA_MODULATION_CCK_5_5 11  /* CCK 5.5 Mbps */
#define TEVRA_MODULATION_CCK_11 12   /* CCK 11 Mbps */
#define TEVRA_MODULATION_UNKNOWN 99

/* ---- Spectral masks (through the server) ---- */

/* The server's mask measurement: Margin in dB (positive passes), ReferenceLevel in dBm/Hz, and, when
 * NumPoints is not null, the point count; when Frequencies (Hz) and Powers (dBm) are also not null, that
 * many points (at most TEVRA_SPECTRAL_MASK_POINTS_MAX; a larger count fails the call and writes no point).
 * Margin and ReferenceLevel are preset to -999 and NumPoints to 0; a margin, reference level or count the
 * server refuses leaves them so and makes the result 0. Result: 1 valid, 0 not valid (overloaded or a
 * traced reason), negative failure (-3061 / -3122 / -8481; a null Margin or ReferenceLevel is one).
 * ForceInitiate nonzero starts with a new acquisition; 11n: HT40 nonzero measures a 120 MHz span, else 66. */
TEVRA_API int32_t Tevra_Measure_SpectralMask_11ag(double* Margin, double* ReferenceLevel, int32_t* NumPoints,
                                                  double* Frequencies, double* Powers, int32_t ForceInitiate);
TEVRA_API int32_t Tevra_Measure_SpectralMask_11b(double* Margin, double* ReferenceLevel, int32_t* NumPoints,
                                                 double* Frequencies, double* Powers, int32_t ForceInitiate);
TEVRA_API int32_t Tevra_Measure_SpectralMask_11n(double* Margin, double* ReferenceLevel, int32_t* NumPoints,
                                                 double* Frequencies, double* Powers, int32_t HT40);

/* ---- Extra measurement results ---- */

/* A further result of the latest measurements by name (without regard to case): a scalar into Value[0] with
 * result 1; "GatedSpectrum_Frequencies" / "GatedSpectrum_Powers" into Value[0..] with the element count as
 * result (at most TEVRA_EXTRA_RESULT_VALUES_MAX; a larger array fails the call and writes nothing); 0 for an
 * unknown name (Value untouched). A null or empty Name stores the address of the null-ended list of names
 * (const char* const*) in the first pointer-sized bytes of Value and returns 0. Failure: -6938 (a server
 * read or array step failed, or Value is null). "EVM_ModulationFormat" reads TEVRA_MODULATION_*. */
TEVRA_API int32_t Tevra_GetExtraMeasureResult(const char* Name, double* Value);

/* ---- Calibration (through the server) ---- */

/* Starts the instrument's self-calibration and returns at once: the server's HRESULT (0 or another success
 * code), or -4962. */
TEVRA_API int32_t Tevra_Calibrate(void);
/* 1 while the calibration runs, else 0; -4985 on failure. Verbose 0 traces only a failure. */
TEVRA_API int32_t Tevra_CalibrationRunning(int32_t Verbose);

/* ---- Power, carrier suppression and CW frequency offset (through the server) ---- */

/* Each starts its measurement, waits until the server's busy flag clears (no time limit), reads the overload
 * flag and the value: average power in dBm, carrier suppression in positive dB, CW offset in Hz (measured
 * minus nominal). Result: 1 valid, 0 overloaded or not valid, negative failure (a null output pointer is a
 * failure). Tevra_Measure_AveragePower presets its output to 99.0 dBm; a value the server refuses to give
 * leaves 99.0 dBm (average power) or 0 dB (carrier suppression) with the result 0 ("Not valid: ..."
 * traced), or fails the call (CW frequency offset). */
TEVRA_API int32_t Tevra_Measure_AveragePower(double* AveragePower_dBm);
/* ForceInitiate nonzero starts the measurement with a new acquisition. */
TEVRA_API int32_t Tevra_Measure_CarrierSuppression_dB_11b(double* CarrierSuppression_dB,
                                                          int32_t ForceInitiate);
TEVRA_API int32_t Tevra_Measure_CWFrequencyOffset(double* FrequencyOffset_Hz);

/* ---- Spectrum traces: calculations and evaluation ---- */

/* A spectrum trace is two caller arrays of NumPoints doubles: frequencies in Hz (ascending, absolute) and
 * powers in dBm. Evaluations judge points against a limit relative to the trace's peak (the first of equal
 * maxima) around the analyzer centre frequency (the server's Frequency while a session is open, else
 * CenterFrequency_MHz). A point passes when its power is not strictly above its limit. LimitLine (NumPoints
 * entries) receives the limit at every point; when null a driver-held array stands in. FailFrequencies and
 * FailPowers (each optional, room for NumPoints) receive the failing points in trace order. A trace of no
 * points or a null trace array is refused with the function's failure code. */

/* Band powers refused: no points, a null array or output, a bandwidth that is not positive, or a result
 * that is not a finite number (NaN powers, all powers so low that their sum is 0). */
#define TEVRA_CALC_SPECTRUM_BANDPOWER_REFUSED (-6480)
#define TEVRA_CALC_PSD_BANDPOWER_REFUSED (-6490)

/* Converts Value by ConversionCode: 1 mV->dB re 100 mV, 2 its inverse, 3 dBm->mV at 50 ohm, 4 dB re 316 mV
 * ->mV, 5 mV->dBm at 50 ohm, 6 mV->dB re 316 mV, 7 mW->dBm, 8 dBm->mW; other codes return Value. */
TEVRA_API double Tevra_Calc_Value(double Value, int32_t ConversionCode);
/* LimitTable: TableLength doubles read as (offset Hz from the centre, level dB relative to the peak) pairs,
 * at least two pairs with strictly ascending offsets; the line continues the outer segments beyond either
 * end. Returns the number of points above the line, or -6437 (an unusable table or trace included). */
TEVRA_API int32_t Tevra_Calc_LimitLine(int32_t NumPoints, const double* Frequencies, const double* Powers,
                                       int32_t TableLength, const double* LimitTable, double* LimitLine,
                                       double* FailFrequencies, double* FailPowers);
/* Band power in dBm of powers in dBm measured with a resolution filter of noise bandwidth 1.056 x RBW:
 * 10 log10(BandWidth / (1.056 RBW)) + 10 log10(mean of the linear powers). Returns 0 or the refusal code. */
TEVRA_API int32_t Tevra_Calc_Spectrum_BandPower(int32_t NumPoints, const double* Powers, double BandWidth_Hz,
                                                double ResolutionBandwidth_Hz, double* BandPower);
/* Band power in dBm of densities in dB relative to 10 log10(RBW) + Reference_dBmPerHz. */
TEVRA_API int32_t Tevra_Calc_PSD_BandPower(int32_t NumPoints, const double* PSD, double BandWidth_Hz,
                                           double ResolutionBandwidth_Hz, double Reference_dBmPerHz,
                                           double* BandPower);

/* The 802.11 transmit masks; every region is half-open [lower, upper) in frequency. 11a/g: +-9 MHz 0 dB
 * (not judged), +-11 MHz -20 dB, +-20 MHz -28 dB, +-30 MHz -40 dB and -40 dB beyond; 11n HT20 the same with
 * -45 dB from 30 MHz; HT40 (HT40 non-zero) +-19 0, +-21 -20, +-40 -28, +-60 -45 dB; 11b steps: inside
 * fc-11..fc+11 MHz not judged, -30 dB up to 22 MHz away, -50 dB from 22 MHz (fc-22 MHz itself is -30 dB).
 * Returns the number of points above the mask, or -5556 (11ag), -5617 (11b), -8613 (11n). */
TEVRA_API int32_t Tevra_MeasureEx_SpectralMask_11ag(int32_t NumPoints, const double* Frequencies,
                                                    const double* Powers, double* LimitLine,
                                                    double* FailFrequencies, double* FailPowers);
TEVRA_API int32_t Tevra_MeasureEx_SpectralMask_11b(int32_t NumPoints, const double* Frequencies,
                                                   const double* Powers, double* LimitLine,
                                                   double* FailFrequencies, double* FailPowers);
TEVRA_API int32_t Tevra_MeasureEx_SpectralMask_11n(int32_t NumPoints, const double* Frequencies,
                                                   const double* Powers, double* LimitLine,
                                                   double* FailFrequencies, double* FailPowers, int32_t HT40);
/* Occupied bandwidth in Hz holding Percent (0 to 100) of the trace's power, edges interpolated. OBW_Hz is
 * 99.0 until found. Returns 0, or -5722 (also for a Percent outside 0..100 or a trace without power). */
TEVRA_API int32_t Tevra_MeasureEx_OBW(int32_t NumPoints, const double* Frequencies, const double* Powers,
                                      double* OBW_Hz, double Percent);
/* 802.11b lobes into two arrays of 7: [0] main lobe (fc-11 < f <= fc+11 MHz) in dBm; [1], [2] the first and
 * second side lobes in dB below the main lobe; [3], [4] the first side lobes left and right
 * (11 < |f-fc| <= 22 MHz, the right one above fc+11), [5], [6] the second side lobes (f <= fc-22 MHz,
 * f > fc+22 MHz), in dBm; a lobe region without points reports -999.0 dBm. Returns 0, -5785 (no point at
 * or below fc-22 MHz), -5804 (no first left side lobe), -5823 (no main lobe), or -5871. */
TEVRA_API int32_t Tevra_MeasureEx_Sidelobe_11b(int32_t NumPoints, const double* Frequencies,
                                               const double* Powers, double* LobeFrequencies,
                                               double* LobePowers);

/* ---- Gated spectrum, auto-ranging and fast power ---- */

/* A gated spectrum through the server. Width 2 and 3 (66 MHz) are sent as they are, any other as 1
 * (22 MHz); AveragingStyle 2 and 5 as they are, any other as 1. NumPoints (required) receives the point
 * count; when both Frequencies and Powers are given they receive the trace (room for NumPoints each); the
 * band power is integrated and returned only when BandPower is given. Result 1 measured, 0 measured with
 * the input overloaded, -4519 failure (also a null NumPoints, or a server array that holds fewer points
 * than the count it reported). */
TEVRA_API int32_t Tevra_GatedSpectrum(int32_t Width, int32_t AveragingStyle, int32_t FramesUsed,
                                      int32_t* NumPoints, double* Frequencies, double* Powers,
                                      double* BandPower);
/* Width 3: a 66 MHz trace stitched from three 22 MHz measurements at fc - 22 MHz, fc and fc + 22 MHz, the
 * outer two at the power range raised by RangeOffset_dB; adjacent spans share their edge point, whose power
 * is the mean in dB of both, so three spans of m points give 3m - 2 points (Frequencies and Powers required,
 * room for that many). BandPower is the middle span's. Frequency and PowerRange are put back afterwards.
 * Result 1, 0 (any span overloaded) or -4931 (also a span of no points). Another Width gives the result of
 * Tevra_GatedSpectrum. */
TEVRA_API int32_t Tevra_GatedSpectrumEx(int32_t Width, int32_t AveragingStyle, int32_t FramesUsed,
                                        int32_t RangeOffset_dB, int32_t* NumPoints, double* Frequencies,
                                        double* Powers, double* BandPower);

/* Auto-ranging through the server: runs until the server has found power range, trigger level (mV),
 * symbols (11ag) and packet length (s), applies them to the analyzer and returns the HRESULT of the start,
 * or -5227 (11ag), -5262 (11b). */
TEVRA_API int32_t Tevra_AutoRange_Run_11ag(void);
TEVRA_API int32_t Tevra_AutoRange_Run_11b(void);
/* Options 0x01: wait until found (else return 0 at once while it runs); 0x02: apply the findings. Each
 * output is optional and written only when the result is 1. Failure -5315 (11ag), -5363 (11b). */
TEVRA_API int32_t Tevra_AutoRangeEx_Run_11ag(int32_t Options, double* PowerRange, double* TriggerLevel_mV,
                                             int32_t* MaxSymbolsUsed, double* MaxPacketLength_s);
TEVRA_API int32_t Tevra_AutoRangeEx_Run_11b(int32_t Options, double* PowerRange, double* TriggerLevel_mV,
                                            double* MaxPacketLength_s);
/* 1 while an auto-range runs, 0 when not, -5386 failure; Verbose 0 traces only a failure. */
TEVRA_API int32_t Tevra_AutoRange_Running(int32_t Verbose);
/* Refused always: -5898 and -5935. */
TEVRA_API int32_t Tevra_WTA_AutoRange_11ag(void);
TEVRA_API int32_t Tevra_WTA_AutoRange_11b(void);

/* Average power over the driver's instrument session (the server is suspended and not reactivated). The
 * held acquisition settings go out only when changed since last sent (all after an analyzer set-up); a
 * setting whose write failed goes out again next time. AveragePower_dBm is 99.0 until read. Result 1, 0
 * (ADC overrange), or -3221/-3235 (*CLS failed), -3228/-3333 (instrument error before/after), -3312 (no
 * power reply, or one that is not a number), -3323 (no overrange reply, or not a number), -3340 (Suspend
 * failed, a null pointer, a TriggerLevel_mV of 0 or less which has no level in dB). */
TEVRA_API int32_t Tevra_MeasureEx_AveragePower(double* AveragePower_dBm);
/* Selects the self-range row of the expected power (ExpectPower + 0.5 truncated, 24 to -60 dBm) when On is
 * non-zero, -430 above, -432 below the table; stores On as the lookup switch. */
TEVRA_API int32_t Tevra_TurnSelfRangeOn(double ExpectPower, int32_t On);
/* "ExpectPower", "TriggerLevel_mV_11a", "EVM_PowerRange_dBm_11a", "TriggerLevel_mV_11b" or
 * "EVM_PowerRange_dBm_11b" (any case) of the selected row; -442.0 while the lookup is off, 999.0 for another
 * name. */
TEVRA_API double Tevra_GetSelfRangeValue(const char* Name);
/* ---- CSV test report ---- */

/* Opens the report fileName (appended to) and writes its column header: the header's byte count; 1 when the
 * same name (without regard to case) is open already; 0 for a null or empty name, which closes the report;
 * -6527 (not opened) or -6531 (header not written; the report is closed again). */
TEVRA_API int32_t Tevra_csvLog_Open(const char* LogFileName);
/* Writes the closing line and closes the report. */
TEVRA_API void Tevra_csvLog_Close(void);
/* The date line, then the serial number and MAC lines when given: the last line's byte count, or -6567. */
TEVRA_API int32_t Tevra_csvLog_WriteTitle(const char* SerialNumber, const char* MacAddress);
/* One item line "name, mode, channel, rate, pass, value, unit, upper, lower, note"; Mode 1 "11a", 2 "11b",
 * 3 "11g", other "<NC>"; a null text is written empty. The byte count, or -6595 (no report open). */
TEVRA_API int32_t Tevra_csvLog_Write(const char* ItemName, int32_t Mode, int32_t Channel, int32_t Rate,
                                     int32_t Pass, double Data, const char* Unit, double UpLimit,
                                     double LowLimit, const char* Note);
/* Text written unchanged: its byte count, or -6603 (no report open, a null text, or not all written). */
TEVRA_API int32_t Tevra_csvLog_WriteStr(const char* Text);

/* ---- Measurement statistics ---- */

/* flags 2: copy the TEVRA_STAT_BLOCK_COUNT counters into block (when not null) and print the report to the
 * trace log; flags 1: afterwards reset the counters; 3: both. Block layout: [0] reserved, [1] total ms,
 * then 27 entries of {call count, total ms, first-call ms}. */
TEVRA_API void Tevra_Stat_Measurement(int32_t flags, int32_t* block);

/* ---- Device service control ---- */

/* Zunt_enableServiceByFriendlyName: no device matched the name (and location). */
#define TEVRA_DEVICE_NOT_FOUND (-10300)

/* Switches the first present device whose name matches on (enable non-zero) or off; runs no frame. Devices
 * are walked in a fixed order: network interfaces by interface index, then USB devices by their sysfs name
 * ("1-2", "1-2.3", "usb1"). A device's name is the first non-empty of its name (network: the interface
 * name; USB: the product string), its description, its class ("Net", "USB") and its class GUID; its location
 * is its bus path under /sys/devices, e.g. "pci0000:00/0000:00:14.0/usb1/1-2" (none for virtual interfaces).
 * Names and locations compare without regard to the case of ASCII letters. flags bit 0 set: the device's
 * name must equal name; clear: it must begin with name. A non-empty location must equal the device's.
 * A network interface is switched by setting its link up or down, a USB device by its authorized attribute;
 * the state is read back, and a change that did not take effect is a change that needs a restart.
 * Results: 1 switched; 0 for a null or empty name (nothing traced); TEVRA_DEVICE_NOT_FOUND; -10227 the
 * devices cannot be listed; -10325, -10345 the change was refused; -10365 switching on needs a restart;
 * -10371 switching off needed a restart twice (after one repeated walk); -10385 a restart is needed and a
 * system error is pending; -10301 an unexpected failure (out of memory). Every step is traced and sent to
 * the debugger output. */
TEVRA_API int32_t Zunt_enableServiceByFriendlyName(const char* name, int32_t enable, const char* location,
                                                   int32_t flags);
/* Zunt_enableServiceByFriendlyName with flags 0: the device's name begins with name. */
TEVRA_API int32_t Zunt_enableServiceEx(const char* name, int32_t enable, const char* location);

#ifdef __cplusplus
}
#endif

#endif /* TEVRA_H */
