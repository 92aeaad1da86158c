#include "slm/core/FileTransfer.h"

#include "slm/core/Meter.h"

namespace slm {

bool PauseFlag = false;
vb::Boolean MemoryOpen = vb::False;
bool LeqArmed = false;
double LeqPeriod = 0;
double LeqStart = 0;
double SamplingTime = 0;
double SampleCounter = 0;
vb::Boolean FileRecording = vb::False;
vb::Boolean ListShown = vb::False;
vb::Boolean GraphShown = vb::False;
double GraphRangeTop = 0;
double ListRangeTop = 0;
QString ListFreqWeighting, ListTimeWeighting;
double RecRangeTop = 0;
QString RecFreqWeighting, RecTimeWeighting;
double ListMax = 0, ListMin = 0, RecMax = 0, RecMin = 0;
QString MaxLine, MinLine;
QString ListMaxLine, ListMinLine;
QString FileName;
vb::Boolean FileChosen = vb::False;
int FileNo = 0;
double RecordNo = 0, FilePartNo = 0, ListRows = 0;
vb::Boolean UsePcSampling = vb::False;
std::array<QByteArray, 256> DataSets;
double PlotTop = 0, PlotBottom = 0, PlotCount = 0;
double PlotHigh = 0, PlotLow = 0, PlotFirst = 0, PlotLast = 0, PlotSpan = 0;

void ResetFileTransferState() {
    PauseFlag = false;
    MemoryOpen = vb::False;
    LeqArmed = false;
    LeqPeriod = LeqStart = SamplingTime = SampleCounter = 0;
    FileRecording = ListShown = GraphShown = FileChosen = UsePcSampling = vb::False;
    GraphRangeTop = ListRangeTop = RecRangeTop = 0;
    ListFreqWeighting.clear();
    ListTimeWeighting.clear();
    RecFreqWeighting.clear();
    RecTimeWeighting.clear();
    ListMax = ListMin = RecMax = RecMin = 0;
    MaxLine.clear();
    MinLine.clear();
    FileName.clear();
    ListMaxLine.clear();
    ListMinLine.clear();
    FileNo = 0;
    RecordNo = FilePartNo = ListRows = 0;
    for (auto &s : DataSets) s.clear();
    PlotTop = PlotBottom = PlotCount = PlotHigh = PlotLow = PlotFirst = PlotLast = PlotSpan = 0;
}

void ClearListExtremes() {
    ListMin = 130;
    ListMax = 0;
    ListMaxLine.clear();
    ListMinLine.clear();
}

void StartListFeed() {
    ListRangeTop = RangeTop;
    ListFreqWeighting = FreqWeighting;
    ListTimeWeighting = TimeWeighting;
    ClearListExtremes();
    ListRows = 0;
}

void ClearRecordExtremes() {
    RecMin = 130;
    RecMax = 0;
    MaxLine.clear();
    MinLine.clear();
}

void StartRecordingState() {
    FilePartNo = 0;
    RecRangeTop = RangeTop;
    RecFreqWeighting = FreqWeighting;
    RecTimeWeighting = TimeWeighting;
    ClearRecordExtremes();
}

} // namespace slm
