#pragma once
// The pictures of the toolbar's buttons, drawn rather than loaded from files.

#include <QIcon>
#include <QString>

namespace slm {

QIcon ToolbarIcon(const QString &key);

} // namespace slm
