#include "spectrum_steps.h"

#include <libgen.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tevra.h"

#define STITCHED_POINTS 1201
#define WAVEFORM "STATION_11AG"

static int g_waveformWritten = 0;

int writeSpectrumWaveform(const char* simulator, const char* storage) {
  char tool[600], out[600], folder[600];
  snprintf(folder, sizeof folder, "%s", simulator);
  snprintf(tool, sizeof tool, "%s/../tevra/tevra", dirname(folder));
  snprintf(out, sizeof out, "%s/" WAVEFORM ".wf1", storage);
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    execl(tool, tool, "waveform", "11ag", "--rate", "54", "--length", "1500", "--sample-rate", "40e6",
          "--out", out, (char*)NULL);
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  g_waveformWritten = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return g_waveformWritten ? 0 : -1;
}

/* The least distance below the driver's limit line over the points the 802.11a/g mask judges (the
 * innermost +-9 MHz, which the driver gives the peak as its limit, is not judged). */
static double driverMarginDb(int32_t count, const double* hz, const double* dbm, const double* limit,
                             double centreHz) {
  double margin = 1e9;
  for (int32_t i = 0; i < count; ++i) {
    const double offset = hz[i] - centreHz;
    if (offset >= -9e6 && offset < 9e6) continue;
    if (limit[i] - dbm[i] < margin) margin = limit[i] - dbm[i];
  }
  return margin;
}

/* Shows the trace with its mask for three seconds; every chart window saves its image beside the trace
 * file as it closes (TEVRA_CHART_SAVE=1). Without a display the chart is drawn offscreen and saved all the
 * same. */
static void showMaskChart(int32_t count, const double* hz, const double* dbm, const double* limit) {
  const char* title = "Tevra station: 802.11a/g spectral mask at 2412 MHz";
  setenv("TEVRA_CHART_SAVE", "1", 1);
  int32_t shown = Tevra_Chart_SpectralMask(count, hz, dbm, limit, title, 3, 0);
  if (shown == -1) {
    printf("Chart_SpectralMask   -> -1 (no display: drawing offscreen)\n");
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    shown = Tevra_Chart_SpectralMask(count, hz, dbm, limit, title, 3, 0);
  }
  printf("Chart_SpectralMask   -> %d (0: closed by its timer; image saved beside the trace file)\n",
         (int)shown);
}

static void writeReport(const char* path, double bandDbm, double obwHz, double driverDb, double serverDb,
                        double powerDbm) {
  if (Tevra_csvLog_Open(path) < 0) {
    printf("csvLog_Open(%s) failed\n", path);
    return;
  }
  Tevra_csvLog_WriteTitle("SIM7730-0042", NULL);
  Tevra_csvLog_Write("Band power", 1, 1, 54, 1, bandDbm, "dBm", 99, -99, "middle 22 MHz span");
  Tevra_csvLog_Write("OBW", 1, 1, 54, obwHz < 18e6, obwHz * 1e-6, "MHz", 18, 0, "99 %");
  Tevra_csvLog_Write("Mask margin (server)", 1, 1, 54, serverDb > 0, serverDb, "dB", 99, 0, NULL);
  Tevra_csvLog_Write("Mask margin (driver)", 1, 1, 54, driverDb > 0, driverDb, "dB", 99, 0, "same trace");
  Tevra_csvLog_Write("Average power", 1, 1, 54, 1, powerDbm, "dBm", 99, -99, "fast path");
  Tevra_csvLog_Close();
  printf("CSV report           -> %s\n", path);
}

void spectrumSteps(const char* resource, const char* trace) {
  static double hz[STITCHED_POINTS], dbm[STITCHED_POINTS], limit[STITCHED_POINTS];
  static double maskHz[TEVRA_SPECTRAL_MASK_POINTS_MAX], maskDbm[TEVRA_SPECTRAL_MASK_POINTS_MAX];
  static double maskLimit[TEVRA_SPECTRAL_MASK_POINTS_MAX];
  const double centreHz = 2412e6;
  printf("\n-- gated spectrum, mask and auto-range of an 802.11a/g signal --\n");
  if (!g_waveformWritten) {
    printf("(tevra waveform did not write the 802.11a/g waveform: step left out)\n");
    return;
  }
  if (Tevra_Init(resource, 0, 0, 0, 0) < 0) return;
  printf("DigitalAnalyzer_Setup_11ag(2412 MHz, 10 dBm) -> %d\n",
         (int)Tevra_DigitalAnalyzer_Setup_11ag(2412, 0, 1, 1367, 10, 2, 0, 20));
  printf("ARB_Play_Segment_11ag(" WAVEFORM ", -10 dBm) -> %d\n",
         (int)Tevra_ARB_Play_Segment_11ag(WAVEFORM, -10, 2412));
  printf("AutoRange_Run_11ag   -> %d\n", (int)Tevra_AutoRange_Run_11ag());

  int32_t count = 0;
  double bandDbm = 0, obwHz = 0;
  const int32_t gated = Tevra_GatedSpectrumEx(3, 1, 1, 6, &count, hz, dbm, &bandDbm);
  printf("GatedSpectrumEx(66 MHz) -> %d: %d points, band power %.2f dBm\n", (int)gated, (int)count, bandDbm);
  Tevra_MeasureEx_OBW(count, hz, dbm, &obwHz, 99.0);
  const int32_t failing = Tevra_MeasureEx_SpectralMask_11ag(count, hz, dbm, limit, NULL, NULL);
  printf(
      "MeasureEx_OBW        -> %.2f MHz; MeasureEx_SpectralMask_11ag -> %d points above the mask, margin "
      "%.2f dB\n",
      obwHz * 1e-6, (int)failing, driverMarginDb(count, hz, dbm, limit, centreHz));

  double serverDb = 0, reference = 0;
  int32_t maskCount = 0;
  const int32_t masked =
      Tevra_Measure_SpectralMask_11ag(&serverDb, &reference, &maskCount, maskHz, maskDbm, 0);
  Tevra_MeasureEx_SpectralMask_11ag(maskCount, maskHz, maskDbm, maskLimit, NULL, NULL);
  const double driverDb = driverMarginDb(maskCount, maskHz, maskDbm, maskLimit, centreHz);
  printf(
      "Measure_SpectralMask_11ag -> %d: server margin %.2f dB, the driver's on the same trace %.2f dB"
      " (%s within 0.5 dB)\n",
      (int)masked, serverDb, driverDb,
      serverDb - driverDb < 0.5 && driverDb - serverDb < 0.5 ? "agree" : "differ");

  double powerDbm = 0;
  const int32_t measured = Tevra_MeasureEx_AveragePower(&powerDbm);
  printf("MeasureEx_AveragePower -> %d: %.2f dBm\n", (int)measured, powerDbm);
  Tevra_ARB_Stop(0);
  Tevra_Close();

  char folder[600], report[700];
  snprintf(folder, sizeof folder, "%s", trace);
  snprintf(report, sizeof report, "%s/tevra-station-spectrum.csv", dirname(folder));
  remove(report);
  writeReport(report, bandDbm, obwHz, driverDb, serverDb, powerDbm);
  if (maskCount > 0) showMaskChart(maskCount, maskHz, maskDbm, maskLimit);
}
