/* A demonstration test station: the way a production test program drives the Tevra driver, here against
 * q7730-sim, the simulated instrument, which the station starts itself on a free loopback port. */
#define _POSIX_C_SOURCE 200809L
#include <math.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "files_steps.h"
#include "measure_steps.h"
#include "spectrum_steps.h"
#include "tevra.h"

static pid_t g_simulator = 0;

static void sleepMs(long ms) {
  struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
  nanosleep(&t, NULL);
}

/* Starts "q7730-sim --port 0 --storage DIR [option]" and reads the ports it prints: the SCPI port, then
 * the port of the option's front end (VXI-11 or HiSLIP) into *extraPort. */
static int startSimulator(const char* program, const char* storage, const char* option, int* extraPort) {
  int out[2];
  if (pipe(out) != 0) return -1;
  g_simulator = fork();
  if (g_simulator < 0) return -1;
  if (g_simulator == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    execl(program, program, "--port", "0", "--storage", storage, option, (char*)NULL);
    _exit(127);
  }
  close(out[1]);
  FILE* reader = fdopen(out[0], "r");
  int port = -1;
  if (reader == NULL || fscanf(reader, "%d", &port) != 1) port = -1;
  if (port > 0 && option != NULL && fscanf(reader, "%d", extraPort) != 1) port = -1;
  if (reader != NULL) fclose(reader);
  return port;
}

static void stopSimulator(void) {
  if (g_simulator <= 0) return;
  kill(g_simulator, SIGTERM);
  waitpid(g_simulator, NULL, 0);
  g_simulator = 0;
}

static void printFile(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) {
    printf("  (cannot read %s)\n", path);
    return;
  }
  char line[4096];
  while (fgets(line, sizeof line, file) != NULL) {
    line[strcspn(line, "\r\n")] = '\0';
    printf("  %s\n", line);
  }
  fclose(file);
}

/* Polls the generator until its run has ended, for at most five seconds. */
static int waitUntilStopped(int32_t (*playing)(int32_t)) {
  for (int i = 0; i < 5000; ++i) {
    const int32_t state = playing(0);
    if (state <= 0) return state;
    sleepMs(1);
  }
  return 1;
}

static void directPlayback(const char* resource) {
  printf("\n-- direct I/O over the driver's VISA session --\n");
  printf("InitViSession        -> session %d\n", (int)Tevra_InitViSession(resource));
  printf("ViPreset             -> %d\n", (int)Tevra_ViPreset());
  printf("ARBEx_Select_Sequence(CW_TONE, -10 dBm, +0 MHz, 40 MHz) -> %d\n",
         (int)Tevra_ARBEx_Select_Sequence("CW_TONE", -10, 0, 40));
  printf("ARBEx_TriggerSequence -> %d\n", (int)Tevra_ARBEx_TriggerSequence());
  printf("ARBEx_SequencePlaying -> %d (just triggered)\n", (int)Tevra_ARBEx_SequencePlaying(1));
  printf("ARBEx_SequencePlaying -> %d (after polling)\n", waitUntilStopped(Tevra_ARBEx_SequencePlaying));
  printf("ARBEx_Stop           -> %d\n", (int)Tevra_ARBEx_Stop(0));
  Tevra_CloseViSession();
}

/* A segment file of a burst at one level followed by as much idle. */
static int writeBurst(const char* path, int level, int samples) {
  FILE* file = fopen(path, "wb");
  if (file == NULL) return -1;
  for (int n = 0; n < 2 * samples; ++n) {
    const int i = n < samples ? (n % 2 ? level : -level) : 0;
    const unsigned char bytes[4] = {(unsigned char)(i >> 8), (unsigned char)i, 0, 0};
    fwrite(bytes, 1, sizeof bytes, file);
  }
  return fclose(file);
}

/* Waveform files on the local disk: generate, normalise, pad, build a sequence and read it back. */
static void waveformFiles(const char* folder) {
  char path[640], first[600], second[600];
  double rms = 0;
  printf("\n-- waveform files in %s --\n", folder);
  snprintf(first, sizeof first, "%s/loud.wf1", folder);
  snprintf(second, sizeof second, "%s/quiet.wf1", folder);
  writeBurst(first, 8000, 4096);
  writeBurst(second, 2000, 4096);
  printf("Calc_SegmentBurstRMS(loud.wf1)  -> %d", (int)Tevra_Calc_SegmentBurstRMS(first, &rms));
  printf(", burst RMS %g\n", rms);
  snprintf(path, sizeof path, "%s/*.wf1", folder);
  printf("Tool_NormalizeBurstRMS(*.wf1, 1) -> %d\n", (int)Tevra_Tool_NormalizeBurstRMS(path, 1));
  snprintf(path, sizeof path, "%s_R", first);
  printf("Calc_SegmentBurstRMS(loud.wf1_R) -> %d", (int)Tevra_Calc_SegmentBurstRMS(path, &rms));
  printf(", burst RMS %g\n", rms);
  printf("FillSegmentIdle(quiet.wf1, 0.5)  -> %d\n", (int)Tevra_FillSegmentIdle(second, 0.5));
  const int32_t counts[] = {3, 1};
  snprintf(path, sizeof path, "%s/station.seq", folder);
  printf("ARBEx_MakeSequenceFile(loud.wf1, quiet.wf1) -> %d\n",
         (int)Tevra_ARBEx_MakeSequenceFile("loud.wf1\0quiet.wf1\0", counts, path));
  char names[256];
  int32_t repetitions[128];
  const int32_t entries = Tevra_ARBEx_GetSegmentList(path, names, sizeof names, repetitions);
  printf("ARBEx_GetSegmentList(station.seq) -> %d:", (int)entries);
  const char* name = names;
  for (int32_t n = 0; n < entries; name += strlen(name) + 1, ++n)
    printf(" %s x%d", name, (int)repetitions[n]);
  printf("\n");
}

static void serverSession(const char* resource) {
  char text[TEVRA_IDENTITY_TEXT_SIZE];
  double value = 0;
  int32_t port = 0;
  printf("\n-- session through the measurement server --\n");
  const int32_t init = Tevra_Init(resource, 0, 0, 0, 0);
  printf("Init                 -> %d\n", (int)init);
  if (init < 0) {
    printf("(no session: is the server registered? TEVRA_REGISTRY=%s)\n", getenv("TEVRA_REGISTRY"));
    return;
  }
  Tevra_SerialNumber(text);
  printf("SerialNumber         -> %s\n", text);
  Tevra_DriverVersion(text);
  printf("DriverVersion        -> %s\n", text);
  Tevra_FirmwareRevision(text);
  printf("FirmwareRevision     -> %s\n", text);
  Tevra_SetProperty("CenterFrequency_MHz", 2437);
  Tevra_GetProperty("CenterFrequency_MHz", &value);
  printf("CenterFrequency_MHz  -> %g\n", value);
  Tevra_SetProperty("TriggerStyle", 3);
  Tevra_GetProperty("TriggerStyle", &value);
  printf("TriggerStyle         -> %g\n", value);
  printf("SetPrimaryRFPort(2)  -> %d\n", (int)Tevra_SetPrimaryRFPort(2));
  const int32_t gotPort = Tevra_GetPrimaryRFPort(&port);
  printf("GetPrimaryRFPort     -> %d, port %d\n", (int)gotPort, (int)port);
  printf("ARB_Select_Sequence(CW_TONE, -10 dBm, 2437 MHz, 40 MHz) -> %d\n",
         (int)Tevra_ARB_Select_Sequence("CW_TONE", -10, 2437, 40));
  printf("ARB_TriggerSequence  -> %d\n", (int)Tevra_ARB_TriggerSequence());
  printf("ARB_SourceActive     -> %d\n", (int)Tevra_ARB_SourceActive());
  printf("ARB_SequencePlaying  -> %d (after polling)\n", waitUntilStopped(Tevra_ARB_SequencePlaying));
  printf("ARB_Stop             -> %d\n", (int)Tevra_ARB_Stop(0));
  printf("ARBEx_Select_Sequence_11b(CW_TONE, -15 dBm, +1 MHz) -> %d\n",
         (int)Tevra_ARBEx_Select_Sequence_11b("CW_TONE", -15, 1));
  printf("ARB_TriggerSequence  -> %d (over SCPI after a direct selection)\n",
         (int)Tevra_ARB_TriggerSequence());
  printf("ARB_Stop             -> %d (over SCPI)\n", (int)Tevra_ARB_Stop(0));
  printf("TTL_Output(0x05)     -> %d\n", (int)Tevra_TTL_Output(0x05));
  printf("TTL_SwitchChannel(1) -> %d\n", (int)Tevra_TTL_SwitchChannel(1));
  printf("Close                -> %d\n", (int)Tevra_Close());
}

/* The simulator option and the resource string of a resource kind: socket, vxi11 or hislip. */
static int chooseResource(const char* kind, int port, int extraPort, char* resource, size_t size) {
  if (strcmp(kind, "vxi11") == 0) return snprintf(resource, size, "TCPIP0::127.0.0.1::inst0::INSTR") > 0;
  if (strcmp(kind, "hislip") == 0)
    return snprintf(resource, size, "TCPIP0::127.0.0.1::hislip0,%d::INSTR", extraPort) > 0;
  return snprintf(resource, size, "TCPIP0::127.0.0.1::%d::SOCKET", port) > 0;
}

static const char* simulatorOption(const char* kind) {
  if (strcmp(kind, "vxi11") == 0) return "--vxi11";
  if (strcmp(kind, "hislip") == 0) return "--hislip=0";
  return NULL;
}

/* Usage: tevra-station [q7730-sim [trace file [socket|vxi11|hislip]]] */
int main(int argc, char** argv) {
  const char* simulator = argc > 1 ? argv[1] : "q7730-sim";
  const char* trace = argc > 2 ? argv[2] : "/tmp/tevra-station.log.txt";
  const char* kind = argc > 3 ? argv[3] : "socket";
  char storage[] = "/tmp/tevra-station-XXXXXX";
  int32_t block[TEVRA_STAT_BLOCK_COUNT];

  printf("Tevra demonstration station\n");
  remove(trace);
  if (Tevra_Log_Open(trace) != 1) {
    fprintf(stderr, "cannot open the trace log %s\n", trace);
    return 1;
  }
  if (mkdtemp(storage) == NULL) return 1;
  generateDemoWaveforms(simulator, storage);
  writeSpectrumWaveform(simulator, storage);
  int extraPort = 0;
  const int port = startSimulator(simulator, storage, simulatorOption(kind), &extraPort);
  if (port <= 0) {
    fprintf(stderr, "cannot start the simulated instrument %s\n", simulator);
    stopSimulator();
    return 1;
  }
  char resource[128];
  chooseResource(kind, port, extraPort, resource, sizeof resource);
  printf("simulated Q7730 at %s\n", resource);
  Tevra_Log_LogIt("station: begin of test run on %s", resource);

  char waveforms[] = "/tmp/tevra-waveforms-XXXXXX";
  if (mkdtemp(waveforms) != NULL) waveformFiles(waveforms);
  directPlayback(resource);
  serverSession(resource);
  filesSteps(resource, waveforms);
  measureDemoWaveforms(resource, "/tmp/tevra-station-report.csv");
  spectrumSteps(resource, trace);

  Tevra_Stat_Measurement(2, block);
  Tevra_Log_LogIt("station: end of test run");
  Tevra_Log_Close();
  stopSimulator();

  printf("\nstatistics: %d ms in counted calls\n", (int)block[1]);
  printf("trace file: %s\n", trace);
  printFile(trace);
  return EXIT_SUCCESS;
}
