#pragma once
// The picture types the chart is exported as, in one table: what the export dialog
// calls them, the extension of their files, the data they put on the clipboard beside
// the image, and how each is written.

#include "chart/engine/Engine.h"

#include <QSize>
#include <QString>

#include <optional>
#include <span>

class QIODevice;

namespace chart::engine {

struct ExportOptions {
    std::optional<QString> title; // of a vector picture
    int quality = -1;             // of a JPEG image; -1: the writer's own
};

struct ExportType {
    Engine::ExportFormat format;
    const char *label;     // in the export dialog
    const char *extension; // of its files
    const char *mime;      // its own data on the clipboard beside the image; null: none
    bool (*write)(const Engine &engine, QSize size, QIODevice &out, const ExportOptions &options);
};

// In the export dialog's order.
std::span<const ExportType> exportTypes();
const ExportType &exportType(Engine::ExportFormat format);

} // namespace chart::engine
