#pragma once
// What the forms runtime said: the message boxes shown and the runtime errors raised.

#include "platform/forms/Dialogs.h"
#include "platform/vb/Runtime.h"

#include <QString>

#include <functional>

namespace testsupport {

// Message boxes and prompts shown so far whose text is `text`.
inline int messagesSaying(const QString &text) {
    int n = 0;
    for (const forms::DialogRecord &r : forms::DialogScript().log())
        if (r.text == text) ++n;
    return n;
}

// The number of the vb::RuntimeError that `f` raises, 0 when none.
inline int errorOf(const std::function<void()> &f) {
    try {
        f();
    } catch (const vb::RuntimeError &e) {
        return e.Number();
    }
    return 0;
}

} // namespace testsupport
