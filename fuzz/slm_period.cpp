// Texts typed into Palix: the Leq period "hh:nn:ss" and the numbers read with Val.

#include "FuzzSupport.h"

#include "slm/core/Meter.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (const auto p = slm::ParsePeriod(text)) {
        if (p->Hours.size() != 2 || p->Minutes.size() != 2 || p->Seconds.size() != 2)
            fuzzing::fail("a period field is not two characters");
        const double total = p->Total();
        // Two characters a field: nothing beyond 99:99:99, whatever was typed.
        if (!(std::fabs(total) <= 99 * 3600 + 99 * 60 + 99)) fuzzing::fail("a period beyond its fields");
    } else if (text.contains(QLatin1Char(':'))) {
        fuzzing::fail("a text with a colon was refused");
    }
    const double v = vb::Val(text);
    (void)vb::RoundHalfEven(v);
    (void)std::isnan(v);
    return 0;
}
