// The sound level meter's memory image as the download collects it, split into its
// data sets, and every set decoded as a click on its row does.

#include "FuzzSupport.h"

#include "slm/core/MeterMemory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray received(reinterpret_cast<const char *>(data), qsizetype(size));
    slm::JudgeImageStart(received);
    const std::vector<slm::StoredSet> sets = slm::SplitMemoryImage(received);
    if (sets.size() > size_t(slm::MaxStoredSets)) fuzzing::fail("more sets than the slots hold");
    // The data between the leading and the trailing byte, then the end mark (the first
    // set's marker again). The sets follow each other there, each starts inside the
    // data and ends where the next marker or the data's end stands.
    const QByteArray stored = received.size() > 2 ? received.mid(1, received.size() - 2) : QByteArray();
    const QByteArray image = stored + received.mid(1, 4);
    const QByteArray marker(reinterpret_cast<const char *>(slm::SetMarker), 4);
    qsizetype total = 0, at = 0;
    for (const slm::StoredSet &s : sets) {
        total += s.Bytes.size();
        if (s.Records < 0) fuzzing::fail("a negative record count");
        const qsizetype whole = slm::SetHeaderBytes + 2 * qsizetype(s.Records);
        if (s.Bytes.size() != whole && !(s.Records == 1 && s.Bytes.size() < whole))
            fuzzing::fail("a set is not its header and its records");
        if (!s.Bytes.startsWith(marker)) fuzzing::fail("a set does not start with a marker");
        // Bytes where no marker stands are skipped up to the next marker.
        const qsizetype start = image.indexOf(marker, at);
        if (start < 0 || image.mid(start, s.Bytes.size()) != s.Bytes)
            fuzzing::fail("a set is not the bytes at the next marker");
        if (start >= stored.size()) fuzzing::fail("the end mark was taken for a set");
        const qsizetype end = start + s.Bytes.size();
        if (s.Records > 1 && end > stored.size()) fuzzing::fail("a set's records run into the end mark");
        if (s.Bytes.size() == whole && end < stored.size() - 1 && image.mid(end, 4) != marker)
            fuzzing::fail("a set ends before the next marker");
        at = end;
        // Sets and records decode alike: the first few sets and the last, and the first
        // 64 records of each, are enough. A full memory (255 sets, or one set of
        // thousands of records) would otherwise make an input cost milliseconds.
        if (&s - sets.data() >= 4 && &s != &sets.back()) continue;
        const QByteArray head = s.Bytes.left(slm::SetHeaderBytes + 2 * 64);
        const slm::DecodedSet d = slm::DecodeDataSet(head, s.Sampling > 0 ? s.Sampling : 1, 2026);
        if (d.DamagedRecords > int(d.Records.size())) fuzzing::fail("more damaged records than records");
        d.MaxText();
        d.MinText();
    }
    // The first set's marker is copied to the end as the last set's end mark.
    if (total > received.size() + 4) fuzzing::fail("the sets hold more bytes than were received");
    return 0;
}
