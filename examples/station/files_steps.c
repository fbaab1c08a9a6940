#include "files_steps.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include "tevra.h"

#define TONE_SAMPLES 8000
#define TONE_PERIODS 250

/* A complex tone of a whole number of periods, so that it repeats without a step: I then Q per sample,
 * each a signed 16-bit big-endian number. */
static int writeTone(const char* path) {
  FILE* file = fopen(path, "wb");
  if (file == NULL) return -1;
  const double pi = acos(-1.0);
  for (int n = 0; n < TONE_SAMPLES; ++n) {
    const double phase = 2 * pi * TONE_PERIODS * n / TONE_SAMPLES;
    const int i = (int)lround(12000 * cos(phase));
    const int q = (int)lround(12000 * sin(phase));
    const unsigned char bytes[4] = {(unsigned char)(i >> 8), (unsigned char)i, (unsigned char)(q >> 8),
                                    (unsigned char)q};
    fwrite(bytes, 1, sizeof bytes, file);
  }
  return fclose(file);
}

static void printList(const char* what, int32_t (*list)(char*, int32_t)) {
  char names[1024];
  const int32_t count = list(names, sizeof names);
  printf("%-34s -> %d:", what, (int)count);
  for (const char* name = names; count > 0 && *name != '\0'; name += strlen(name) + 1) printf(" %s", name);
  printf("\n");
}

static void playLoaded(void) {
  printf("ARB_Select_Sequence(station, -10 dBm, 2437 MHz, 40 MHz) -> %d\n",
         (int)Tevra_ARB_Select_Sequence("station", -10, 2437, 40));
  printf("ARB_TriggerSequence                -> %d\n", (int)Tevra_ARB_TriggerSequence());
  printf("ARB_SequencePlaying                -> %d\n", (int)Tevra_ARB_SequencePlaying(1));
  printf("ARB_Stop                           -> %d\n", (int)Tevra_ARB_Stop(0));
  printf("ARB_Play_Segment_11ag(station_tone.wf1) -> %d\n",
         (int)Tevra_ARB_Play_Segment_11ag("station_tone.wf1", -12, 2437));
  printf("ARB_SourceActive                   -> %d\n", (int)Tevra_ARB_SourceActive());
  printf("ARB_Stop                           -> %d\n", (int)Tevra_ARB_Stop(0));
}

void filesSteps(const char* resource, const char* folder) {
  char path[640], copy[640];
  printf("\n-- waveform download through the measurement server --\n");
  snprintf(path, sizeof path, "%s/station_tone.wf1", folder);
  printf("generated %s             -> %d\n", "station_tone.wf1", writeTone(path));
  if (Tevra_Init(resource, 0, 0, 0, 0) < 0) {
    printf("(no session through the server)\n");
    return;
  }
  printf("ARB_Download(folder)               -> %d\n", (int)Tevra_ARB_Download(folder));
  snprintf(path, sizeof path, "%s/*.wf1", folder);
  printf("ARB_DownloadEx(*.wf1, 0x81)        -> %d (all loaded already)\n",
         (int)Tevra_ARB_DownloadEx(path, 0x81));
  printList("ARB_GetLoadedSegmentFileList", Tevra_ARB_GetLoadedSegmentFileList);
  printList("ARB_GetLoadedSequenceFileList", Tevra_ARB_GetLoadedSequenceFileList);
  playLoaded();
  snprintf(copy, sizeof copy, "%s/station_tone.saved", folder);
  printf("ARB_SaveSegment(station_tone.wf1)  -> %d\n", (int)Tevra_ARB_SaveSegment("station_tone.wf1", copy));
  printf("ARB_Delete_Segment(station_tone.wf1) -> %d\n", (int)Tevra_ARB_Delete_Segment("station_tone.wf1"));
  printf("Close                              -> %d\n", (int)Tevra_Close());
}
