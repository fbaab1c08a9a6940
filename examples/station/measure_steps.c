/* The station's measurement steps: generate, play and measure one burst of each family, judge the results
 * against the transmitter limits of IEEE 802.11 and report them. */
#define _POSIX_C_SOURCE 200809L
#include "measure_steps.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tevra.h"

#define CENTRE_MHZ 2437.0
#define LEVEL_DBM (-20.0)
#define CHANNEL 6

enum Family { OFDM_11AG, DSSS_11B, HT_11N };

/* One burst of the demonstration: its memory name, the tool's arguments and the limits it is judged by. */
struct Burst {
  const char* name;
  enum Family family;
  int rate; /* Mbps, or the MCS of an HT burst */
  const char* toolArguments[8];
  double evmLimitDb;
  double ppmLimit;
};

static const struct Burst kBursts[] = {
    {"DEMO_11AG", OFDM_11AG, 54, {"11ag", "--rate", "54", "--length", "1000", NULL}, -25, 20},
    {"DEMO_11B",
     DSSS_11B,
     11,
     {"11b", "--rate", "11", "--length", "200", "--sample-rate", "44e6", NULL},
     -10,
     25},
    {"DEMO_11N", HT_11N, 7, {"11n", "--mcs", "7", "--length", "1000", NULL}, -27, 20},
};
#define BURSTS (sizeof kBursts / sizeof kBursts[0])

/* What was measured on one burst; a code below 1 is the measurement's result when it was not valid. */
struct Measured {
  int demodCode, powerCode, extraCode, maskCode;
  double evmDb, ppm, powerDbm, gatedDbm, extra; /* extra: carrier suppression (11b) or CFL (11a/g) */
  double maskMarginDb;
  double rate;
};

static int runTool(const char* tool, const char* const* arguments, const char* out) {
  const char* argv[16] = {tool, "waveform"};
  int argc = 2;
  for (const char* const* a = arguments; *a != NULL && argc < 12; ++a) argv[argc++] = *a;
  argv[argc++] = "--out";
  argv[argc++] = out;
  argv[argc] = NULL;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    execvp(tool, (char* const*)argv);
    _exit(127);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child) return -1;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : -1;
}

int generateDemoWaveforms(const char* simulatorProgram, const char* memoryFolder) {
  char tool[512] = "tevra", out[640];
  const char* slash = strrchr(simulatorProgram, '/');
  if (slash != NULL)
    snprintf(tool, sizeof tool, "%.*s/../tevra/tevra", (int)(slash - simulatorProgram), simulatorProgram);
  int failed = 0;
  for (size_t i = 0; i < BURSTS; ++i) {
    snprintf(out, sizeof out, "%s/%s.wf1", memoryFolder, kBursts[i].name);
    if (runTool(tool, kBursts[i].toolArguments, out) != 0) {
      printf("tevra waveform %s -> failed (%s)\n", kBursts[i].toolArguments[0], tool);
      failed = -1;
    }
  }
  return failed;
}

static double percentToDb(double percent) {
  return 20 * log10(percent / 100);
}

static double extraResult(const char* name) {
  double value = 0;
  return Tevra_GetExtraMeasureResult(name, &value) == 1 ? value : NAN;
}

static void measureOfdm(struct Measured* m) {
  double cfl = NAN, flatnessMargin = NAN, flatness[TEVRA_FLATNESS_RESULTS_MAX];
  int32_t flatnessCount = 0;
  m->demodCode = Tevra_Measure_Demod_ALL_11ag(&m->evmDb, &m->ppm);
  m->rate = extraResult("EVM_BitRate_Mbps");
  m->gatedDbm = extraResult("EVM_GatedPower_dBm");
  m->extraCode =
      Tevra_Measure_ALL_11ag(&(double){0}, &(double){0}, &cfl, &flatnessMargin, flatness, &flatnessCount, 0);
  m->extra = cfl;
  printf("  802.11a/g composite -> %d: CFL %.1f dB, spectral flatness margin %.2f dB over %d carriers\n",
         (int)m->extraCode, cfl, flatnessMargin, (int)flatnessCount);
}

static void measureDsss(struct Measured* m) {
  double peakEvm = 100;
  m->demodCode = Tevra_Measure_Demod_ALL_11b(&peakEvm, &m->ppm);
  m->evmDb = percentToDb(extraResult("EVM_RmsEVM_Percent"));
  m->rate = extraResult("EVM_BitRate_Mbps");
  m->gatedDbm = extraResult("EVM_GatedPower_dBm");
  m->extraCode = Tevra_Measure_CarrierSuppression_dB_11b(&m->extra, 1);
  printf("  802.11b peak EVM %.2f %%, chip clock error %.2f ppm\n", peakEvm,
         extraResult("EVM_CCK_ChipClkErr_ppm"));
}

static void measureHt(struct Measured* m) {
  double evm[4] = {NAN, NAN, NAN, NAN};
  m->demodCode = Tevra_Measure_Demod_ALL_11n(1, 0, 0, evm, &m->ppm);
  m->evmDb = evm[0];
  m->rate = extraResult("EVM_11n_MCS");
  m->gatedDbm = extraResult("EVM_11n_Ch1_BurstPower");
  m->extraCode = 1;
  m->extra = NAN;
}

/* The burst's transmit spectrum against its standard's mask, on a 66 MHz gated spectrum. */
static void measureMask(const struct Burst* b, struct Measured* m) {
  static double hz[TEVRA_SPECTRAL_MASK_POINTS_MAX], dbm[TEVRA_SPECTRAL_MASK_POINTS_MAX];
  double reference = 0;
  int32_t points = 0;
  m->maskMarginDb = NAN;
  if (b->family == OFDM_11AG)
    m->maskCode = Tevra_Measure_SpectralMask_11ag(&m->maskMarginDb, &reference, &points, hz, dbm, 0);
  if (b->family == DSSS_11B)
    m->maskCode = Tevra_Measure_SpectralMask_11b(&m->maskMarginDb, &reference, &points, hz, dbm, 0);
  if (b->family == HT_11N)
    m->maskCode = Tevra_Measure_SpectralMask_11n(&m->maskMarginDb, &reference, &points, hz, dbm, 0);
}

static void measureBurst(const struct Burst* b, struct Measured* m) {
  const int32_t played = b->family == DSSS_11B ? Tevra_ARB_Play_Segment_11b(b->name, LEVEL_DBM, CENTRE_MHZ)
                                               : Tevra_ARB_Play_Segment_11ag(b->name, LEVEL_DBM, CENTRE_MHZ);
  const int32_t setUp =
      b->family == DSSS_11B
          ? Tevra_DigitalAnalyzer_Setup_11b(CENTRE_MHZ, 0, 1, 0.002, LEVEL_DBM + 12, 1, 0, 20)
          : Tevra_DigitalAnalyzer_Setup_11ag(CENTRE_MHZ, 0, 1, 1367, LEVEL_DBM + 12, 1, 0, 20);
  printf("%s: play -> %d, analyzer set-up -> %d\n", b->name, (int)played, (int)setUp);
  if (b->family == OFDM_11AG) measureOfdm(m);
  if (b->family == DSSS_11B) measureDsss(m);
  if (b->family == HT_11N) measureHt(m);
  m->powerCode = Tevra_Measure_AveragePower(&m->powerDbm);
  measureMask(b, m);
}

static int passes(const struct Burst* b, const struct Measured* m) {
  const int suppressed = b->family != DSSS_11B || (m->extraCode == 1 && m->extra >= 15);
  return m->demodCode == 1 && m->evmDb <= b->evmLimitDb && fabs(m->ppm) <= b->ppmLimit && suppressed &&
         m->maskCode == 1 && m->maskMarginDb > 0;
}

static void report(const struct Burst* b, const struct Measured* m) {
  const int mode = b->family == DSSS_11B ? 2 : 3;
  const char* note = b->family == HT_11N ? "802.11n HT-mixed MCS" : "";
  Tevra_csvLog_Write("EVM", mode, CHANNEL, b->rate, m->evmDb <= b->evmLimitDb, m->evmDb, "dB", b->evmLimitDb,
                     -99, note);
  Tevra_csvLog_Write("FrequencyError", mode, CHANNEL, b->rate, fabs(m->ppm) <= b->ppmLimit, m->ppm, "ppm",
                     b->ppmLimit, -b->ppmLimit, note);
  Tevra_csvLog_Write("GatedPower", mode, CHANNEL, b->rate, fabs(m->gatedDbm - LEVEL_DBM) <= 1, m->gatedDbm,
                     "dBm", LEVEL_DBM + 1, LEVEL_DBM - 1, note);
  Tevra_csvLog_Write("SpectralMask", mode, CHANNEL, b->rate, m->maskCode == 1 && m->maskMarginDb > 0,
                     m->maskMarginDb, "dB", 999, 0, note);
  if (b->family == DSSS_11B)
    Tevra_csvLog_Write("CarrierSuppression", mode, CHANNEL, b->rate, m->extra >= 15, m->extra, "dB", 999, 15,
                       note);
}

void measureDemoWaveforms(const char* resource, const char* reportPath) {
  struct Measured measured[BURSTS];
  printf("\n-- demodulation, power, masks and carrier suppression through the measurement server --\n");
  if (Tevra_Init(resource, 0, 0, 0, 0) < 0) {
    printf("(no session through the server)\n");
    return;
  }
  for (size_t i = 0; i < BURSTS; ++i) {
    memset(&measured[i], 0, sizeof measured[i]);
    measureBurst(&kBursts[i], &measured[i]);
  }
  Tevra_ARB_Stop(0);
  Tevra_Close();

  printf("\n%-10s %6s %6s %9s %9s %10s %10s %8s %8s %s\n", "burst", "rate", "result", "EVM dB", "err ppm",
         "power dBm", "gated dBm", "CS/CFL", "mask dB", "verdict");
  for (size_t i = 0; i < BURSTS; ++i) {
    const struct Measured* m = &measured[i];
    char extra[16] = "       -";
    if (!isnan(m->extra)) snprintf(extra, sizeof extra, "%8.1f", m->extra);
    printf("%-10s %6g %6d %9.2f %9.3f %10.2f %10.2f %s %8.2f %s\n", kBursts[i].name, m->rate, m->demodCode,
           m->evmDb, m->ppm, m->powerDbm, m->gatedDbm, extra, m->maskMarginDb,
           passes(&kBursts[i], m) ? "PASS" : "FAIL");
  }

  remove(reportPath);
  if (Tevra_csvLog_Open(reportPath) <= 0) {
    printf("cannot open the report %s\n", reportPath);
    return;
  }
  Tevra_csvLog_WriteTitle("SIM7730-0042", "00:16:3E:00:00:01");
  for (size_t i = 0; i < BURSTS; ++i) report(&kBursts[i], &measured[i]);
  Tevra_csvLog_Close();
  printf("CSV report: %s\n", reportPath);
}
