// The sound level meter's memory image as the download collects it, split into its
// data sets, and every set decoded as a click on its row does.

#include "FuzzSupport.h"

#include "slm/core/MeterMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray received(reinterpret_cast<const char *>(data), qsizetype(size));
    slm::JudgeImageStart(received);
    const std::vector<slm::StoredSet> sets = slm::SplitMemoryImage(received);
    if (sets.size() > size_t(slm::MaxStoredSets)) fuzzing::fail("more sets than the slots hold");
    qsizetype total = 0;
    for (const slm::StoredSet &s : sets) {
        total += s.Bytes.size();
        if (s.Records < 0) fuzzing::fail("a negative record count");
        const slm::DecodedSet d = slm::DecodeDataSet(s.Bytes, s.Sampling > 0 ? s.Sampling : 1, 2026);
        if (d.DamagedRecords > int(d.Records.size())) fuzzing::fail("more damaged records than records");
        d.MaxText();
        d.MinText();
    }
    // The first set's marker is copied to the end as the last set's end mark.
    if (total > received.size() + 4) fuzzing::fail("the sets hold more bytes than were received");
    return 0;
}
