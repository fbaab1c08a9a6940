// The measurement server's implementation of the instrument interface: one member per operation of the
// operation table, called by the object's dispatch. A member returns S_OK or raises ServerFailure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "interface/q7730/wire_types.h"
#include "sim/server/demod_operations.h"
#include "sim/server/scpi_link.h"
#include "sim/server/sequence_encoding.h"
#include "sim/server/server_settings.h"
#include "sim/server/spectral_mask_ops.h"
#include "sim/server/spectrum_results.h"

namespace tevra::q7730 {

using platform::BSTR;
using platform::HRESULT;
using platform::SAFEARRAY;
using platform::VARIANT_BOOL;

// The server's version, also registered as its assembly version.
inline constexpr const char* kServerVersion = Q7730_SERVER_VERSION;

// The gated spectrum's codes as the driver last sent them.
struct GatedSpectrumSettings {
  int32_t width = 1;
  int32_t averagingStyle = 1;
  int32_t bandPowerEnabled = 0;
};

class Q7730Server {
 public:
  // Session and identity.
  HRESULT ActivateInstrument();
  HRESULT Suspend();
  HRESULT Dispose();
  HRESULT Preset();
  HRESULT SelfTest(int32_t* outcome);
  HRESULT get_SerialNumber(BSTR* out);
  HRESULT get_DriverVersion(BSTR* out);
  HRESULT get_FirmwareRevision(BSTR* out);
  HRESULT get_ResourceAddress(BSTR* out);
  HRESULT put_ResourceAddress(BSTR address);

  // Held settings.
#define Q7730_DECLARE_NUMBER(Name, Type, ...) \
  HRESULT get_##Name(Type* out);              \
  HRESULT put_##Name(Type value);
#define Q7730_DECLARE_FLAG(Name, initial) \
  HRESULT get_##Name(VARIANT_BOOL* out);  \
  HRESULT put_##Name(VARIANT_BOOL value);
  Q7730_SERVER_SETTINGS(Q7730_DECLARE_NUMBER, Q7730_DECLARE_FLAG)
#undef Q7730_DECLARE_NUMBER
#undef Q7730_DECLARE_FLAG
  HRESULT get_TriggerStyle(int32_t* out);
  HRESULT put_TriggerStyle(int32_t code);

  // Findings of the auto-ranging.
  HRESULT get_AutoRangePowerRange11ag(double* out);
  HRESULT get_AutoRangeTriggerLevel11ag(double* out);
  HRESULT get_AutoRangeMaxPacketLength11ag(double* out);
  HRESULT get_AutoRangeMaxSymbolsUsed11ag(int32_t* out);
  HRESULT get_AutoRangePowerRange11b(double* out);
  HRESULT get_AutoRangeTriggerLevel11b(double* out);
  HRESULT get_AutoRangeMaxPacketLength11b(double* out);

  // Measurements.
  HRESULT get_MeasurementBusy(VARIANT_BOOL* out);
  HRESULT AveragePower_Initiate();
  HRESULT get_AveragePower_OverLoad(VARIANT_BOOL* out);
  HRESULT get_AveragePower_Result(double* out);
  HRESULT CwFrequencyOffset_Initiate();
  HRESULT get_CwFrequencyOffset_OverLoad(VARIANT_BOOL* out);
  HRESULT get_CwFrequencyOffset_Result(double* out);

  // Gated spectrum and auto-ranging.
  HRESULT get_GatedSpectrum_Width(int32_t* out);
  HRESULT put_GatedSpectrum_Width(int32_t code);
  HRESULT get_GatedSpectrum_AveragingStyle(int32_t* out);
  HRESULT put_GatedSpectrum_AveragingStyle(int32_t code);
  HRESULT get_GatedSpectrum_BandPowerEnabled(int32_t* out);
  HRESULT put_GatedSpectrum_BandPowerEnabled(int32_t on);
  HRESULT GatedSpectrum_Initiate();
  HRESULT get_GatedSpectrum_Overloaded(VARIANT_BOOL* out);
  HRESULT get_GatedSpectrum_NumSpectrumPoints(int32_t* out);
  HRESULT get_GatedSpectrum_BandPower(double* out);
  HRESULT get_GatedSpectrum_Frequencies(SAFEARRAY** out);
  HRESULT get_GatedSpectrum_Powers(SAFEARRAY** out);
  HRESULT AutoRange11ag_Initiate();
  HRESULT AutoRange11b_Initiate();
  HRESULT get_AutoRangeBusy(VARIANT_BOOL* out);
#define Q7730_DECLARE_START(Name) HRESULT Name();
#define Q7730_DECLARE_READ(Name, Type) HRESULT get_##Name(Type* out);
#define Q7730_DECLARE_INDEXED(Name) HRESULT Name(int32_t index, double* out);
  Q7730_DEMOD_OPERATIONS(Q7730_DECLARE_START, Q7730_DECLARE_READ, Q7730_DECLARE_INDEXED)
  Q7730_SPECTRAL_MASK_OPERATIONS(Q7730_DECLARE_START, Q7730_DECLARE_READ, Q7730_DECLARE_INDEXED)
#undef Q7730_DECLARE_START
#undef Q7730_DECLARE_READ
#undef Q7730_DECLARE_INDEXED

  // The instrument's personality: WLAN (at start) or Bluetooth.
  HRESULT SetBluetoothMode();
  HRESULT SetWlanMode();

  // RF ports.
  HRESULT get_PrimaryRFPort(int32_t* out);
  HRESULT put_PrimaryRFPort(int32_t port);
  HRESULT get_ReferencePort1(VARIANT_BOOL* out);
  HRESULT put_ReferencePort1(VARIANT_BOOL on);
  HRESULT get_ReferencePort2(VARIANT_BOOL* out);
  HRESULT put_ReferencePort2(VARIANT_BOOL on);
  HRESULT get_ReferencePort3(VARIANT_BOOL* out);
  HRESULT put_ReferencePort3(VARIANT_BOOL on);
  HRESULT get_ReferencePort4(VARIANT_BOOL* out);
  HRESULT put_ReferencePort4(VARIANT_BOOL on);

  // Waveform generator.
  HRESULT AWG_SelectSequence(BSTR name, double dBm, double hz, int32_t clockHz);
  HRESULT AWG_SelectSequence11ag(BSTR name, double dBm, double hz);
  HRESULT AWG_SelectSequence11b(BSTR name, double dBm, double hz);
  HRESULT AWG_PlaySegment(BSTR name, double dBm, double hz, int32_t clockHz);
  HRESULT AWG_PlaySegment11ag(BSTR name, double dBm, double hz);
  HRESULT AWG_PlaySegment11b(BSTR name, double dBm, double hz);
  HRESULT AWG_TriggerSequence();
  HRESULT AWG_CWTone(double dBm, double hz);
  HRESULT AWG_AdjustOutput(double dBm, double hz);
  HRESULT AWG_FreeSegmentSpace(int32_t* kSamples);
  HRESULT AWG_SourceActive(VARIANT_BOOL* out);
  HRESULT AWG_SequencePlaying(VARIANT_BOOL* out);
  HRESULT AWG_Stop();
  // The names of the segment (".wf1") or sequence (".seq") files in the generator memory.
  HRESULT AWG_LoadedSegmentList(SAFEARRAY** out);
  HRESULT AWG_LoadedSequenceList(SAFEARRAY** out);
  HRESULT AWG_DeleteSegment(BSTR name, int32_t* status);
  HRESULT AWG_DeleteSequence(BSTR name, int32_t* status);
  // Markers and the non-volatile storage: volumes of the instrument's memory of their own.
  HRESULT AWG_LoadedMarkerList(SAFEARRAY** out);
  HRESULT AWG_LoadedSegmentNVList(SAFEARRAY** out);
  HRESULT AWG_LoadedMarkerNVList(SAFEARRAY** out);
  HRESULT AWG_DeleteMarker(BSTR name, int32_t* status);
  HRESULT AWG_DeleteSegmentNV(BSTR name, int32_t* status);
  HRESULT AWG_DeleteMarkerNV(BSTR name, int32_t* status);
  // Copies a local file into the instrument under a bare name, as one definite-length block.
  HRESULT AWG_LoadSegment(BSTR path, BSTR name, int32_t* status);
  HRESULT AWG_LoadSequence(BSTR path, BSTR name, int32_t* status);
  HRESULT AWG_LoadMarker(BSTR path, BSTR name, int32_t* status);
  HRESULT AWG_LoadSegmentNV(BSTR path, BSTR name, int32_t* status);
  HRESULT AWG_LoadMarkerNV(BSTR path, BSTR name, int32_t* status);
  // Copies a file of the instrument to a local path, replacing it only when the copy is whole.
  HRESULT AWG_SaveSegment(BSTR name, BSTR path, int32_t* status);
  HRESULT AWG_SaveMarker(BSTR name, BSTR path, int32_t* status);
  // Sequence files built from lists the server holds; a complex sequence is also stored in the instrument.
  HRESULT AWG_CreateSequenceFile(int32_t* status);
  HRESULT AWG_SequenceFile_AddSegment(BSTR name, int32_t repetitions, int32_t* status);
  HRESULT AWG_SequenceFile_Save(BSTR path, int32_t* status);
  HRESULT AWG_CreateComplexSequenceFile(int32_t* status);
  HRESULT AWG_ComplexSequenceFile_AddSegment(BSTR name, int32_t count, int32_t* status);
  HRESULT AWG_ComplexSequenceFile_Save(BSTR name, BSTR path, int32_t* status);

 private:
  struct Identity {
    std::string serialNumber;
    std::string firmwareRevision;
  };
  enum class Playback { kSingleRun, kContinuous };

  Identity identify();
  const Identity& identity() const;
  // Sends the held analyzer settings to the instrument, as after a connection or a reset.
  void applyAnalyzerSettings();
  void applySetting(const char* scpiHeader, double value);
  void startWaveform(const char* kind, BSTR name, double dBm, double hz, int32_t clockHz, Playback playback);
  HRESULT putReferencePort(int port, VARIANT_BOOL on);
  HRESULT listMemoryFiles(std::string_view extension, SAFEARRAY** out);
  // One field of the analyzer's power fetch of its last capture.
  double fetchPowerField(int field);
  // A frequency error in Hz as ppm of the held centre frequency.
  double ppmOfCentre(double hz) const;
  // The gated spectrum and the masks measured on it; the findings of a finished auto-range.
  void startGatedSpectrum(int32_t width, int32_t averagingStyle);
  GatedTrace fetchGatedTrace();
  const GatedTrace& gatedTrace();
  // The 802.11n mask of a 20 or a 40 MHz channel, as the held span says.
  MaskStandard htMaskStandard() const;
  HRESULT startMask(MaskStandard standard);
  const MaskFinding& maskFinding(MaskStandard standard);
  HRESULT startAutoRange(AutoRangeFindings* findings, bool countSymbols);
  void settleAutoRange();
  HRESULT getReferencePort(int port, VARIANT_BOOL* out);
  HRESULT listVolume(const char* volume, SAFEARRAY** out);
  HRESULT deleteFromVolume(const char* volume, BSTR name, int32_t* status);
  HRESULT loadIntoVolume(const char* volume, BSTR path, BSTR name, int32_t* status);
  HRESULT saveFromVolume(const char* volume, BSTR name, BSTR path, int32_t* status);

  ScpiLink link_;
  std::string resourceAddress_;
  bool identified_ = false;
  Identity identity_;
  HeldSettings settings_;
  [[maybe_unused]] bool bluetoothMode_ = false;  // kept for the measurements that differ by personality
  AutoRangeFindings findings11ag_;
  AutoRangeFindings findings11b_;
  GatedSpectrumSettings gatedSpectrum_;
  SpectrumResults spectrum_;
  SequenceEntries sequenceEntries_;
  SequenceEntries complexEntries_;
};

// Conversions at the interface: a BSTR argument as UTF-8 (a null BSTR is empty), a text result as a new
// BSTR, and a flag as VARIANT_TRUE (-1) or VARIANT_FALSE.
std::string utf8Of(BSTR text);
// A file or waveform name as it goes into a quoted SCPI string: 1 to 128 characters, no quote or control
// character (what the memory accepts is the instrument's to judge); E_INVALIDARG otherwise.
std::string waveformName(BSTR name);
HRESULT returnText(std::string_view text, BSTR* out);
inline VARIANT_BOOL variantBool(bool on) {
  return on ? platform::VARIANT_TRUE : platform::VARIANT_FALSE;
}

}  // namespace tevra::q7730
