// A ".slm" record file opened with the main window's Open key, and one record line
// written and read back.

#include "FuzzSupport.h"

#include "slm/core/SlmFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const slm::SlmContents c = slm::ReadSlm(bytes);
    if (c.Numbers.size() != c.Stamps.size() || c.Numbers.size() != c.Levels.size())
        fuzzing::fail("the three columns differ in length");
    if (c.ItemsRead < c.Numbers.size()) fuzzing::fail("more records than items read");

    // A line the recording writes, from fields without the file's separators, reads back
    // as it was written.
    QString fields[3];
    fuzzing::Input in(data, size);
    for (QString &f : fields)
        for (char ch : in.bytes(in.byte() % 24))
            if (ch != '\t' && ch != '\r' && ch != '\n' && ch != ',' && ch != '*' && ch != '\0') f += QLatin1Char(ch);
    const QByteArray line = slm::SlmFileLine(slm::SlmRecordLine(fields[0].toLongLong(), fields[1], fields[2]));
    slm::SlmItemReader reader(line);
    const slm::SlmItem item = slm::ParseSlmItem(reader.Next());
    if (item.kind != slm::SlmItem::Record || item.Stamp != fields[1] || item.Level != fields[2])
        fuzzing::fail("a written record line reads back changed");
    return 0;
}
