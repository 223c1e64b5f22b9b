#include "app/SettingsStore.h"

#include <QSettings>
#include <QVariant>
#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace kx {
namespace {

// Earlier versions keep this key beside the 25: the folder the browser showed.
const char* const kBrowserFolderKey = "lastBrowserFolder";

QSettings openStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope,
                     QStringLiteral("Velmora Technology"), QStringLiteral("Kalorix"));
}

// The native store on Unix is a text file, so every value comes back as text
// there; the registry and property lists keep the type. Both are accepted,
// anything else is a value of the wrong type.
bool isText(const QVariant& v) {
    return v.userType() == QMetaType::QString;
}

bool isInteger(const QVariant& v) {
    switch (v.userType()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

std::optional<bool> readBool(const QVariant& v) {
    if (v.userType() == QMetaType::Bool)
        return v.toBool();
    if (isText(v)) {
        const QString text = v.toString().trimmed().toLower();
        if (text == QLatin1String("true"))
            return true;
        if (text == QLatin1String("false"))
            return false;
    }
    return std::nullopt;
}

std::optional<int> readInt(const QVariant& v) {
    if (!isText(v) && !isInteger(v))
        return std::nullopt;
    bool ok = false;
    const qlonglong value = isText(v) ? v.toString().trimmed().toLongLong(&ok) : v.toLongLong(&ok);
    if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

std::optional<int> readIntIn(const QVariant& v, int lowest, int highest) {
    const std::optional<int> value = readInt(v);
    if (!value || *value < lowest || *value > highest)
        return std::nullopt;
    return value;
}

std::optional<double> readDouble(const QVariant& v) {
    if (!isText(v) && !isInteger(v) && v.userType() != QMetaType::Double)
        return std::nullopt;
    bool ok = false;
    const double value = isText(v) ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// The range dialog shows 0, 90, 180 and -90; 270 is the same turn. Any other
// angle is shown as 0 by the dialog, so it loads as 0.
std::optional<int> readRotation(const QVariant& v) {
    const std::optional<int> angle = readInt(v);
    if (!angle)
        return std::nullopt;
    switch (*angle) {
    case 0:
    case 90:
    case 180:
    case -90:
        return angle;
    case 270:
        return -90;
    default:
        return 0;
    }
}

constexpr int kHighestRaw = 16383;

// One key: how it is read into the values and written from them. A reader
// leaves the value untouched when the stored one cannot be used.
struct Key {
    const char* name;
    std::function<void(Settings&, const QVariant&)> read;
    std::function<QVariant(const Settings&)> write;
};

// A key that holds one field of one part of the settings.
template <typename Part, typename Value, typename Reader>
Key field(const char* name, Part Settings::*part, Value Part::*member, Reader reader) {
    return {name,
            [=](Settings& s, const QVariant& v) {
                if (const auto value = reader(v))
                    (s.*part).*member = Value(*value);
            },
            [=](const Settings& s) { return QVariant::fromValue((s.*part).*member); }};
}

auto intIn(int lowest, int highest) {
    return [=](const QVariant& v) { return readIntIn(v, lowest, highest); };
}

// An empty delimiter would run the columns of the CSV files together.
std::optional<QString> readDelimiter(const QVariant& v) {
    if (!isText(v) || v.toString().isEmpty())
        return std::nullopt;
    return v.toString();
}

// The three parse keys are one choice; the first one checked wins, in the order
// the window asks its actions.
Key parseKey(const char* name, ksDefines::serialContent kind) {
    return {name,
            [kind](Settings& s, const QVariant& v) {
                if (readBool(v).value_or(false) &&
                    s.telemetry.serialKind == ksDefines::NoSerialData)
                    s.telemetry.serialKind = kind;
            },
            [kind](const Settings& s) { return QVariant(s.telemetry.serialKind == kind); }};
}

// In the order in which both operations handle them.
const std::vector<Key>& keys() {
    using C = ConversionSettings;
    using E = ExportSettings;
    using T = TelemetrySettings;
    using D = DisplaySettings;
    const auto conversion = &Settings::conversion;
    const auto exporting = &Settings::exportSettings;
    const auto telemetry = &Settings::telemetry;
    const auto display = &Settings::display;
    static const std::vector<Key> table = {
        field("displayLegend", conversion, &C::legendVisible, readBool),
        // Any number is kept: the window leaves its temperature step alone for
        // an option it does not know, and saves the option its dialog shows.
        field("radiometryOption", conversion, &C::radiometryOption, readInt),
        // The palette list has four entries; another index would select none.
        field("colorMode", conversion, &C::colorMode, intIn(0, 3)),
        field("colorInverted", conversion, &C::inverted, readBool),
        field("autoGainEnabled", conversion, &C::autoGainEnabled, readBool),
        field("lowRawValue", conversion, &C::lowerRawBound, intIn(0, kHighestRaw)),
        field("highRawValue", conversion, &C::upperRawBound, intIn(0, kHighestRaw)),
        field("percentageChange", conversion, &C::percentageChange, intIn(0, 100)),
        field("rotation", conversion, &C::rotation, readRotation),
        parseKey("parseNMEA", ksDefines::NMEA),
        parseKey("parseMdDownlink", ksDefines::MdDownlink),
        parseKey("parseMAVLink", ksDefines::MAVLink),
        field("metaCSV", exporting, &E::metaCsv, readBool),
        field("showHotSpot", exporting, &E::markHotspot, readBool),
        field("mouseDragging", display, &D::mouseDragging, readBool),
        field("metaRAW", exporting, &E::metaRaw, readBool),
        field("CSVDelimiter", exporting, &E::csvDelimiter, readDelimiter),
        field("CheckFrameCounter", telemetry, &T::checkFrameCounter, readBool),
        field("HourOffset", telemetry, &T::hourOffset, intIn(-12, 12)),
        field("driftCompensationEnabled", display, &D::driftCompensationEnabled, readBool),
        field("fusionScaleFactor", display, &D::fusionScaleFactor, readDouble),
        field("fusionShiftX", display, &D::fusionShiftX, readInt),
        field("fusionShiftY", display, &D::fusionShiftY, readInt),
        field("fusionOpacity", display, &D::fusionOpacity, readInt),
        field("automaticUpdates", display, &D::automaticUpdates, readBool),
    };
    return table;
}

} // namespace

Settings SettingsStore::load() const {
    const QSettings store = openStore();
    Settings settings;
    for (const Key& key : keys()) {
        const QVariant value = store.value(QLatin1String(key.name));
        if (value.isValid())
            key.read(settings, value);
    }
    // The range sliders take a pair only when it is a window; a stored pair
    // that is not one would leave the dialog at what it showed before.
    ConversionSettings& conversion = settings.conversion;
    if (conversion.lowerRawBound >= conversion.upperRawBound) {
        conversion.lowerRawBound = ConversionSettings().lowerRawBound;
        conversion.upperRawBound = ConversionSettings().upperRawBound;
    }
    const QVariant folder = store.value(QLatin1String(kBrowserFolderKey));
    if (isText(folder))
        settings.display.lastBrowserFolder = folder.toString();
    return settings;
}

void SettingsStore::save(const Settings& settings) {
    QSettings store = openStore();
    for (const Key& key : keys())
        store.setValue(QLatin1String(key.name), key.write(settings));
    store.setValue(QLatin1String(kBrowserFolderKey), settings.display.lastBrowserFolder);
}

void SettingsStore::saveBrowserFolder(const QString& folder) {
    QSettings store = openStore();
    store.setValue(QLatin1String(kBrowserFolderKey), folder);
}

QString SettingsStore::fileName() const {
    return openStore().fileName();
}

} // namespace kx
