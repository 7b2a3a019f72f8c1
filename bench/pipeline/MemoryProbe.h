// Peak resident memory with a full history: measured in a fresh process (this program started again
// with --memory-probe), so that the other figures' buffers do not count.
#pragma once

#include <QString>

struct MemoryResult {
    int rows = 0; // rows held, history included
    int columns = 0;
    long peakKilobytes = -1;     // VmHWM
    long residentKilobytes = -1; // VmRSS at the end
    bool complete = false;
};

// The probe itself: fills the history of a shown surface through its shell, paints, prints one line.
int runMemoryProbe();
// Starts the probe process and reads its line.
MemoryResult measurePeakMemory(const QString& program);
