#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace kx {

// One export request and the side-file choices that go with it: what the
// export dialog shows, what the command line sets and what the settings store
// keeps of it.
struct ExportSettings {
    QString path;   // target folder, without a trailing separator
    QString prefix; // file name prefix
    QString format; // format key as given ("png", "JPG", "tiff", ...)
    uint32_t start = 0;
    uint32_t end = 0;
    uint32_t step = 1;
    bool metaCsv = false; // "Create meta data"
    bool metaRaw = false; // "Export meta data as RAW"
    // 0 one CSV per frame, 1 one CSV for all frames, 2 Pix4D, 3 kml
    int metaType = 0;
    QString csvDelimiter = QStringLiteral(";");
    bool markHotspot = false; // the hot-spot marker drawn into exported pictures
};

// The meta data list's entries, in the order of metaType.
inline QStringList metaTypeNames() {
    return {QStringLiteral("one CSV per frame"), QStringLiteral("one CSV for all frames"),
            QStringLiteral("one CSV for all frames (Pix4D)"), QStringLiteral("kml")};
}

} // namespace kx
