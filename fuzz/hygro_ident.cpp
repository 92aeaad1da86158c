// The meter's answer to "K": four bytes, of which only a model code 582, 583, 585 or
// 586 with no NUL among them is accepted.

#include "FuzzSupport.h"

#include "hygro/core/MeterLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 4) return 0;
    const hygro::IdentResult r = hygro::ParseIdentReply(data);
    if (!r.accepted) {
        if (r.model != 0 || r.identByte != 0) fuzzing::fail("a refused reply left a model");
        return 0;
    }
    for (int i = 0; i < 4; ++i)
        if (data[i] == 0) fuzzing::fail("a reply with a NUL was accepted");
    const int code = (data[0] - '0') * 100 + (data[1] - '0') * 10 + (data[2] - '0');
    if (r.model != code || r.identByte != data[3]) fuzzing::fail("accepted reply decoded wrong");
    if (code != 582 && code != 583 && code != 585 && code != 586) fuzzing::fail("unknown model accepted");
    return 0;
}
