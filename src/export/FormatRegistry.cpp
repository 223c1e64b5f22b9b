#include "export/FormatRegistry.h"

#include "export/PictureWriter.h"
#include "export/RadiometricFormats.h"
#include "export/TiffExporter.h"

#include <algorithm>

namespace kx {
namespace {

std::vector<FormatEntry> buildRegistry() {
    const auto picture = [] { return std::make_unique<PictureWriter>(); };
    const auto rjpg = [] { return std::make_unique<RadiometricJpegFormat>(); };
    const auto csv = [] { return std::make_unique<TemperatureCsvFormat>(); };
    const auto seq = [] { return std::make_unique<FffSequenceFormat>(); };
    const auto avi = [] { return std::make_unique<AviFormat>(); };
    const auto tiff = [] { return std::make_unique<TiffFormatWriter>(); };
    const auto metaOnly = [] { return std::make_unique<MetaOnlyFormat>(); };
    // The dialog's order; its first entry is the dialog's default.
    return {
        {QStringLiteral("rjpg"), QStringLiteral("RJPG"), rjpg, 6},
        {QStringLiteral("png"), QStringLiteral("PNG"), picture, 1},
        {QStringLiteral("jpg"), QStringLiteral("JPG"), picture, 2},
        {QStringLiteral("tif"), QStringLiteral("TIF"), tiff, 3},
        {QStringLiteral("csv"), QStringLiteral("CSV"), csv, 5},
        {QStringLiteral("avi"), QStringLiteral("AVI"), avi, 4},
        {QStringLiteral("seq"), QStringLiteral("SEQ"), seq},
        {QStringLiteral("meta_only"), QStringLiteral("Meta_only"), metaOnly},
        {QStringLiteral("tiff"), QString(), tiff},
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

QString helpFormatList() {
    std::vector<const FormatEntry*> listed;
    for (const FormatEntry& entry : formatRegistry()) {
        if (entry.helpPosition > 0)
            listed.push_back(&entry);
    }
    std::sort(listed.begin(), listed.end(), [](const FormatEntry* a, const FormatEntry* b) {
        return a->helpPosition < b->helpPosition;
    });
    QStringList keys;
    for (const FormatEntry* entry : listed)
        keys << entry->key;
    return keys.join(QStringLiteral(", "));
}

QString formatRefusal(const QString& key) {
    const FormatEntry* entry = findFormat(key);
    if (entry == nullptr) {
        // Any other key is taken as a picture format, which the picture
        // writer refuses with the list of the picture formats it encodes.
        return QStringLiteral("Unsupported image format selected. Available are .png, .jpg, "
                              ".jpeg");
    }
    if (!entry->create) {
        return QStringLiteral("Export format \"") + key +
               QStringLiteral("\" is not available in this version; nothing was exported");
    }
    return QString();
}

} // namespace kx
