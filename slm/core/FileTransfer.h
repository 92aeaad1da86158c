#pragma once
// Code module FileTransfer: the program-wide state of recording, the Leq/SEL period,
// the list and chart windows, the memory download and the plots.

#include "platform/vb/Runtime.h"

#include <QByteArray>
#include <QString>

#include <array>

namespace slm {

extern bool PauseFlag;
extern vb::Boolean MemoryOpen;
extern bool LeqArmed;
extern double LeqPeriod; // s
extern double LeqStart;  // seconds since midnight
extern double SamplingTime;
extern double SampleCounter;
extern vb::Boolean FileRecording;
extern vb::Boolean ListShown;
extern vb::Boolean GraphShown;
extern double GraphRangeTop;
extern double ListRangeTop;
extern QString ListFreqWeighting, ListTimeWeighting;
extern double RecRangeTop;
extern QString RecFreqWeighting, RecTimeWeighting;
extern double ListMax, ListMin, RecMax, RecMin;
extern QString MaxLine, MinLine;
extern QString ListMaxLine, ListMinLine;
extern QString FileName;
extern vb::Boolean FileChosen;
extern int FileNo;
extern double RecordNo, FilePartNo, ListRows;
extern vb::Boolean UsePcSampling;
extern std::array<QByteArray, 256> DataSets;
extern double PlotTop, PlotBottom, PlotCount;
extern double PlotHigh, PlotLow, PlotFirst, PlotLast, PlotSpan;

void ResetFileTransferState();

// The live list starts afresh under the settings the meter shows now: no extremes, no
// rows counted.
void StartListFeed();
// The list's maximum and minimum start again at 0 and 130, without texts.
void ClearListExtremes();
// A recording starts under the settings the meter shows now, at part 0, without extremes.
void StartRecordingState();
// The maximum and minimum of a record file (or of its next part) start again.
void ClearRecordExtremes();

} // namespace slm
