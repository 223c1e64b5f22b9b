#include "app/BatchConversion.h"

#include "app/KalorixController.h"
#include "base/Report.h"
#include "conversion/FrameRenderer.h"
#include "export/AtomicFile.h"
#include "export/PictureWriter.h"
#include "recording/DataConverter.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

namespace kx {

QStringList batchFileList(const QString& folder) {
    QDir dir(folder);
    dir.setNameFilters({QStringLiteral("*.THR")});
    // QDir::Files lists regular files (and links to them) only; the name
    // filter compares without regard to case unless told otherwise.
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Unsorted);
    QStringList names = dir.entryList();
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = QString::compare(a, b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
    });
    return names;
}

QString batchPictureName(int number) {
    return QStringLiteral("thermo%1.png").arg(number, 4, 10, QLatin1Char('0'));
}

QString batchOutputName(const QString& targetFolder, int number) {
    return targetFolder + QDir::separator() + batchPictureName(number);
}

namespace {

// Renders the loaded file and writes its picture; false when the batch must
// end because no further picture could be written either.
bool writePicture(DataConverter& converter, FrameRenderer& renderer, const Settings& settings,
                  const QString& path, const QString& output, BatchOutcome& outcome) {
    DecodedFrame frame;
    QImage picture;
    if (!converter.decodeFrame(path, 1, settings.telemetry.serialKind, frame) ||
        !renderer.render(frame, settings.conversion, false, picture)) {
        ++outcome.failures;
        reportError(QStringLiteral("Error while converting \"") + path + QLatin1Char('"'));
        return true;
    }
    const QByteArray bytes = encodePicture(picture, QStringLiteral("png"));
    QString cause;
    int errorNumber = 0;
    if (!bytes.isEmpty() && writeFileAtomically(output, bytes, &cause, &errorNumber)) {
        ++outcome.written;
        return true;
    }
    ++outcome.failures;
    reportError(QStringLiteral("Error while writing image \"") + output +
                QStringLiteral("\" with format png"));
    if (!isLastingWriteFailure(errorNumber))
        return true;
    console(cause);
    outcome.stopped = true;
    return false;
}

} // namespace

BatchOutcome convertBatch(DataConverter& converter, KalorixController& controller,
                          const Settings& settings, const QString& folder, const QStringList& files,
                          const QString& targetFolder, BatchViewerState viewer,
                          const BatchProgress& progress) {
    BatchOutcome outcome;
    QImage ownThermal(1, 1, QImage::Format_RGB888);
    QImage ownDaylight(1, 1, QImage::Format_RGB888);
    QImage& thermal = viewer.thermalImage ? *viewer.thermalImage : ownThermal;
    QImage& daylight = viewer.daylightImage ? *viewer.daylightImage : ownDaylight;
    const ksDefines::serialContent serial = settings.telemetry.serialKind;
    FrameRenderer renderer;

    for (int i = 0; i < files.size(); ++i) {
        const QString path = folder + QDir::separator() + files.at(i);
        const QString output = batchOutputName(targetFolder, i + 1);
        ThermalImageConversionSet set = settings.conversion.conversionSet();
        set.percentageChange = float(settings.conversion.percentageChange / 100.0);
        if (!controller.loadRawDataFile(path, viewer.lastImageWidth, serial, set,
                                        settings.telemetry.checkFrameCounter, thermal, daylight)) {
            ++outcome.failures; // the loader has said why
        } else {
            outcome.lastLoaded = path;
            viewer.lastImageWidth = thermal.width();
            if (!writePicture(converter, renderer, settings, path, output, outcome))
                break;
        }
        if (progress)
            progress(i + 1, int(files.size()));
    }
    return outcome;
}

} // namespace kx
