#pragma once

#include "app/Settings.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>

class DataConverter;
class KalorixController;

namespace kx {

// The single-frame raw files of a folder, by name only: regular files whose
// name ends in ".THR" in any letter case (a folder called "x.THR" is not one),
// sorted without regard to case (names equal but for case keep a fixed order).
QStringList batchFileList(const QString& folder);

// "thermo" + the number, zero-padded to at least four digits, + ".png": the
// source file's own name is never used, so the n-th file of the list is
// always the n-th picture.
QString batchPictureName(int number);
QString batchOutputName(const QString& targetFolder, int number);

struct BatchOutcome {
    int written = 0;
    int failures = 0;     // files that did not load, pictures not written
    bool stopped = false; // the target folder cannot take any more pictures
    QString lastLoaded;   // the last file that loaded; empty when none did
};

// Where the batch leaves the viewer: the loader writes its converted images
// here, so the last file of the batch stays on show.
struct BatchViewerState {
    QImage* thermalImage = nullptr;
    QImage* daylightImage = nullptr;
    int lastImageWidth = 0;
};

// Called after every file with the files done and their number; the window
// repaints its progress from it.
using BatchProgress = std::function<void(int done, int total)>;

// Converts every listed file of the folder into the numbered PNG pictures of
// the target folder with the given settings: each file is loaded through the
// controller (so the converter holds it afterwards and its failures are
// reported as when the user opens it), then rendered (turn and legend of the
// settings) and written whole. A file that does not load keeps its number and
// gets no picture: a picture of the file before it under its number would
// pass for its own. A failure that every further picture would meet as well
// (no space, the folder gone) is reported once and ends the batch.
BatchOutcome convertBatch(DataConverter& converter, KalorixController& controller,
                          const Settings& settings, const QString& folder, const QStringList& files,
                          const QString& targetFolder, BatchViewerState viewer,
                          const BatchProgress& progress = BatchProgress());

} // namespace kx
