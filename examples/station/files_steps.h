/* Demonstration steps of the waveform download manager: a generated waveform and the station's local files
 * loaded into the instrument through the measurement server, listed, played and saved back. */
#ifndef TEVRA_STATION_FILES_STEPS_H
#define TEVRA_STATION_FILES_STEPS_H

/* Opens a session on resource, downloads folder (its segment and sequence files) and plays them. */
void filesSteps(const char* resource, const char* folder);

#endif
