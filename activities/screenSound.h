// Sound effects a screen owns from entry to exit. Application thread only.
#pragma once

class KSound;

// A sample from the data file `dataName`, played at `volume` percent of the
// effects volume, with `copies` device buffers so quick repeats overlap. A file
// that cannot be read gives a sample that plays nothing.
KSound *loadScreenSample(const char *dataName, int volume, short copies = 1);

// Plays the sample, if any, from its start.
void playScreenSample(KSound *sample);

// Deletes the sample, if any, and clears the pointer.
void deleteSample(KSound *&sample);
