#pragma once

#include "base/Radiometry.h"
#include "conversion/ConversionSettings.h"
#include "export/ExportSettings.h"
#include "telemetry/TelemetrySettings.h"

#include <QString>

namespace kx {

// Choices of the window itself that outlive a run.
struct DisplaySettings {
    bool mouseDragging = false;
    bool driftCompensationEnabled = true;
    double fusionScaleFactor = 49.0;
    int fusionShiftX = 0;
    int fusionShiftY = 0;
    int fusionOpacity = 50;
    // True means "no check at start" (the action reads "Disable Automatic Updates").
    bool automaticUpdates = false;
    QString lastBrowserFolder; // empty: the home folder
};

// Everything a run is configured with. The command line fills it, the settings
// store loads and saves it, the window shows it and the export job reads it.
struct Settings {
    ConversionSettings conversion;
    radiometry::PlanckConstants planck;
    TelemetrySettings telemetry;
    ExportSettings exportSettings;
    DisplaySettings display;
};

} // namespace kx
