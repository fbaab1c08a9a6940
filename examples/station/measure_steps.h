/* The station's measurement steps: 802.11a/g, 802.11b and 802.11n bursts generated with the tevra tool,
 * played by the instrument's generator and measured by its analyzer through the driver. */
#ifndef TEVRA_STATION_MEASURE_STEPS_H
#define TEVRA_STATION_MEASURE_STEPS_H

/* Writes the bursts into the generator memory folder (before the simulated instrument starts on it) with
 * the tevra tool, found beside the simulator's program as ../tevra/tevra, or on the PATH. 0 when all were
 * written. */
int generateDemoWaveforms(const char* simulatorProgram, const char* memoryFolder);

/* Opens a session, plays each burst, sets the analyzer up for it, measures demodulation, power and (802.11b)
 * carrier suppression, prints a results table and writes the CSV report reportPath; closes the session. */
void measureDemoWaveforms(const char* resource, const char* reportPath);

#endif
