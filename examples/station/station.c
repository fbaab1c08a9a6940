/* A demonstration test station: the way a production test program drives the Tevra driver. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tevra.h"

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

int main(int argc, char** argv) {
  const char* trace = argc > 1 ? argv[1] : "/tmp/tevra-station.log.txt";
  int32_t block[TEVRA_STAT_BLOCK_COUNT];

  printf("Tevra demonstration station\n");
  if (Tevra_Log_Open(trace) != 1) {
    fprintf(stderr, "cannot open the trace log %s\n", trace);
    return 1;
  }
  Tevra_Log_LogIt("station: begin of test run, DUT %s", "SN-000123");
  Tevra_Log_LogIt("station: channel %d at %.1f MHz", 6, 2437.0);
  Tevra_Stat_Measurement(2, block);
  Tevra_Log_LogIt("station: COM last error %d", (int)Tevra_GetCOMLastError());
  Tevra_Log_LogIt("station: end of test run");
  Tevra_Log_Close();

  printf("statistics: total %d ms over all counted calls\n", (int)block[1]);
  printf("trace file: %s\n", trace);
  printFile(trace);
  return EXIT_SUCCESS;
}
