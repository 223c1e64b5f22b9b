#pragma once

// Shared by the main window's test programs: a private settings store and
// home folder, recorder files with hand-made pixel values, and small helpers
// that drive the window the way a user does.

#include "app/ui/Kalorix.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QGraphicsPixmapItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QListView>
#include <QMouseEvent>
#include <QStatusBar>
#include <QtTest>
#include <memory>
#include <vector>

namespace windowtest {

// Width and height of the hand-made frames: the smallest sensor.
constexpr int kWidth = 160;
constexpr int kHeight = 120;

// Raw value of pixel (x, y) of the ramp frame: 1000 + x + 50 y, so every
// pixel's value can be worked out by hand (1000 at the top left, 7109 at the
// bottom right).
inline uint16_t rampValue(int x, int y) {
    return uint16_t(1000 + x + 50 * y);
}

// A .THR frame holding the ramp, with an optional single hot pixel.
inline QByteArray rampFrame(int hotX = -1, int hotY = -1, uint16_t hotValue = 0) {
    std::vector<uint16_t> raw(size_t(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            raw[size_t(y) * kWidth + x] = rampValue(x, y);
    if (hotX >= 0)
        raw[size_t(hotY) * kWidth + size_t(hotX)] = hotValue;
    synth::HeaderOptions header;
    header.version = 6;
    header.partNumber = "4640019S R01234";
    const std::vector<uint16_t> words =
        synth::makeWordStream(raw, kWidth, kHeight, synth::StreamOptions());
    return synth::makeRawFrame(header, words);
}

inline synth::MovieOptions smallMovie(int frames, bool compressed) {
    synth::MovieOptions options;
    options.frames = frames;
    options.compressed = compressed;
    options.scene.width = kWidth;
    options.scene.height = kHeight;
    // Without drift, frame n holds exactly renderScene(scene, n - 1).
    options.driftPerFrameRaw = 0.0;
    return options;
}

// The settings store and the home folder of the test program are its own,
// so a run never reads or changes the user's. Call before QApplication.
inline void usePrivateEnvironment() {
    const QString base = testsupport::scratchDir();
    QDir().mkpath(base + QStringLiteral("/config"));
    QDir().mkpath(base + QStringLiteral("/home"));
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toLocal8Bit());
    qputenv("HOME", (base + QStringLiteral("/home")).toLocal8Bit());
}

inline std::unique_ptr<Kalorix> makeWindow() {
    static char program[] = "kalorix";
    static char* argv[] = {program, nullptr};
    return std::make_unique<Kalorix>(1, argv, nullptr);
}

template <typename T>
T* child(const Kalorix& window, const char* name) {
    T* found = window.findChild<T*>(QLatin1String(name));
    if (found == nullptr)
        qFatal("widget %s not found", name);
    return found;
}

inline QGraphicsView* view(const Kalorix& window) {
    return child<QGraphicsView>(window, "gvImage");
}

// The picture the image pane shows, as the scene holds it.
inline QImage shownImage(const Kalorix& window) {
    const QList<QGraphicsItem*> items = view(window)->scene()->items();
    for (QGraphicsItem* item : items) {
        if (auto* pixmapItem = dynamic_cast<QGraphicsPixmapItem*>(item))
            return pixmapItem->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    }
    return QImage();
}

// Moves the pointer over scene pixel (x, y) and returns the status bar text.
// The view's scroll offset is whole pixels and the mapping rounds, so a
// quarter pixel inside lands on the pixel itself.
inline QString pointAt(Kalorix& window, int x, int y) {
    QGraphicsView* v = view(window);
    const QPoint pos = v->mapFromScene(QPointF(x + 0.25, y + 0.25));
    QMouseEvent move(QEvent::MouseMove, QPointF(pos), v->viewport()->mapToGlobal(pos), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(v->viewport(), &move);
    return window.statusBar()->currentMessage();
}

// Selects a file in the file list as a click does, once the list has read
// the file's folder.
inline bool chooseInFileList(Kalorix& window, const QString& fileName) {
    auto* list = child<QListView>(window, "lvFiles");
    auto* model = qobject_cast<QFileSystemModel*>(list->model());
    if (model == nullptr)
        return false;
    QModelIndex index;
    QElapsedTimer timer;
    timer.start();
    while (!(index = model->index(QFileInfo(fileName).absoluteFilePath())).isValid() &&
           timer.elapsed() < 10000)
        QTest::qWait(20);
    if (!index.isValid())
        return false;
    list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    return true;
}

} // namespace windowtest
