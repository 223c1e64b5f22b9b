#include "export/FormatRegistry.h"

#include "export/PictureWriter.h"

namespace kx {
namespace {

std::vector<FormatEntry> buildRegistry() {
    const auto picture = [] { return std::make_unique<PictureWriter>(); };
    // The dialog's order; its first entry is the dialog's default.
    return {
        {QStringLiteral("rjpg"), QStringLiteral("RJPG"), nullptr},
        {QStringLiteral("png"), QStringLiteral("PNG"), picture},
        {QStringLiteral("jpg"), QStringLiteral("JPG"), picture},
        {QStringLiteral("tif"), QStringLiteral("TIF"), nullptr},
        {QStringLiteral("csv"), QStringLiteral("CSV"), nullptr},
        {QStringLiteral("avi"), QStringLiteral("AVI"), nullptr},
        {QStringLiteral("seq"), QStringLiteral("SEQ"), nullptr},
        {QStringLiteral("meta_only"), QStringLiteral("Meta_only"), nullptr},
        {QStringLiteral("tiff"), QString(), nullptr},
        {QStringLiteral("jpeg"), QString(), picture},
    };
}

} // namespace

const std::vector<FormatEntry>& formatRegistry() {
    static const std::vector<FormatEntry> registry = buildRegistry();
    return registry;
}

const FormatEntry* findFormat(const QString& key) {
    const QString lower = key.toLower();
    for (const FormatEntry& entry : formatRegistry()) {
        if (entry.key == lower)
            return &entry;
    }
    return nullptr;
}

QStringList exportDialogFormats() {
    QStringList labels;
    for (const FormatEntry& entry : formatRegistry()) {
        if (!entry.dialogLabel.isEmpty())
            labels << entry.dialogLabel;
    }
    return labels;
}

QStringList availableFormatKeys() {
    QStringList keys;
    for (const FormatEntry& entry : formatRegistry()) {
        if (entry.create)
            keys << entry.key;
    }
    return keys;
}

QString formatRefusal(const QString& key) {
    const FormatEntry* entry = findFormat(key);
    if (entry == nullptr) {
        return QStringLiteral("Unsupported image format selected. Available are .") +
               availableFormatKeys().join(QStringLiteral(", ."));
    }
    if (!entry->create) {
        return QStringLiteral("Export format \"") + key +
               QStringLiteral("\" is not available in this version; nothing was exported");
    }
    return QString();
}

} // namespace kx
