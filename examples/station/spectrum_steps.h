/* The station's spectrum steps: an 802.11a/g waveform played through the server, auto-ranged, its gated
 * spectrum measured and judged against the mask by the driver and by the server, shown in a chart and
 * written to a CSV report beside the chart's image. */
#ifndef TEVRA_STATION_SPECTRUM_STEPS_H
#define TEVRA_STATION_SPECTRUM_STEPS_H

/* Writes an 802.11a/g waveform (one 54 Mbit/s burst of 1500 bytes) into the generator memory folder
 * `storage` before the simulator starts, with the tevra tool beside `simulator` (in ../tevra); 0 when
 * written. */
int writeSpectrumWaveform(const char* simulator, const char* storage);
/* trace: the trace file, in whose folder the report and the chart's image go. */
void spectrumSteps(const char* resource, const char* trace);

#endif
