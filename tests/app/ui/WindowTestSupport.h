#pragma once

// Shared by the main window's test programs: a private settings store and
// home folder, recorder files with hand-made pixel values, and a fixture that
// drives the window the way a user does.

#include "app/ui/Kalorix.h"
#include "recording/DataConverter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QtTest>
#include <QtWidgets>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace windowtest {

// Width and height of the hand-made frames: the smallest sensor.
constexpr int kWidth = 160;
constexpr int kHeight = 120;

// A .THR frame whose pixel (x, y) holds 1000 + x + 50 y (1000 at the top
// left, 7109 at the bottom right), with an optional single hot pixel.
inline QByteArray rampFrame(int hotX = -1, int hotY = -1, uint16_t hotValue = 0) {
    std::vector<uint16_t> raw(size_t(kWidth) * kHeight);
    for (size_t i = 0; i < raw.size(); ++i)
        raw[i] = uint16_t(1000 + i % kWidth + 50 * (i / kWidth));
    if (hotX >= 0)
        raw[size_t(hotY) * kWidth + size_t(hotX)] = hotValue;
    synth::HeaderOptions header;
    header.version = 6;
    header.partNumber = "4640019S R01234";
    return synth::makeRawFrame(header,
                               synth::makeWordStream(raw, kWidth, kHeight, synth::StreamOptions()));
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
    for (const char* var : {"XDG_CONFIG_HOME", "HOME"}) {
        const QString folder = base + QLatin1Char('/') + QLatin1String(var);
        QDir().mkpath(folder);
        qputenv(var, folder.toLocal8Bit());
    }
}

inline std::unique_ptr<Kalorix> makeWindow() {
    static char program[] = "kalorix";
    static char* argv[] = {program, nullptr};
    return std::make_unique<Kalorix>(1, argv, nullptr);
}

// The window test's own process started again as the "Quit" child (see
// windowTestMain): what it printed, its exit code, " crashed" if it did.
inline QByteArray runQuitChild() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("KALORIX_QUIT_CHILD"), QStringLiteral("1"));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    if (!child.waitForFinished(60000))
        return "did not finish";
    return child.readAllStandardOutput() + QByteArray::number(child.exitCode()) +
           (child.exitStatus() == QProcess::NormalExit ? "" : " crashed");
}

// main() of a window test, in the private environment (QTEST_MAIN would
// let the window clear and save the user's own store). With `quitChild`,
// the process started by runQuitChild opens a window, lets quitChild
// change it, says "before quit" and triggers "Quit", which must end the
// process before "after quit".
template <typename Test>
int windowTestMain(int argc, char** argv, std::function<void(Kalorix&)> quitChild = {}) {
    usePrivateEnvironment();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (quitChild && qEnvironmentVariableIsSet("KALORIX_QUIT_CHILD")) {
        const std::unique_ptr<Kalorix> window = makeWindow();
        quitChild(*window);
        std::puts("before quit");
        std::fflush(stdout);
        window->findChild<QAction*>(QStringLiteral("actionQuit"))->trigger();
        return std::puts("after quit");
    }
    Test test;
    return QTest::qExec(&test, argc, argv);
}

// A fresh window and report recorder for every test function; the window
// goes first, so that what it reports while closing is still recorded.
struct Fixture {
    QString dir;
    std::unique_ptr<testsupport::Recorder> recorder;
    std::unique_ptr<Kalorix> window;

    // Each window starts from a store that holds only `stored`: the window
    // before saved its choices when it went.
    void start(bool show, const QVariantMap& stored = {}) {
        window.reset();
        QSettings store(QStringLiteral("Velmora Technology"), QStringLiteral("Kalorix"));
        store.clear();
        for (auto it = stored.begin(); it != stored.end(); ++it)
            store.setValue(it.key(), it.value());
        store.sync();
        recorder.reset(); // before the next one hooks in: it restores the hooks it found
        recorder = std::make_unique<testsupport::Recorder>();
        window = makeWindow();
        if (show) {
            window->resize(1280, 800);
            window->show();
            QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        }
    }
    QString path(const QString& name) const { return dir + QLatin1Char('/') + name; }
    template <typename T = QWidget>
    T* get(const char* name) const {
        T* found = window->findChild<T*>(QLatin1String(name));
        if (found == nullptr)
            qFatal("widget %s not found", name);
        return found;
    }
    QString label(const char* name) const { return get<QLabel>(name)->text(); }
    QSlider* slider() const { return get<QSlider>("slMovieFiles"); }
    void trigger(const char* action) const { get<QAction>(action)->trigger(); }
    void click(const char* button) const { get<QPushButton>(button)->click(); }
    // Every report as "kind|title|text", kind E, W or I, to compare in one go.
    QStringList reports() const {
        QStringList list;
        for (const testsupport::Report& r : recorder->reports)
            list << QString::fromLatin1("EWI" + int(r.kind), 1) + '|' + r.title + '|' + r.text;
        return list;
    }
    QGraphicsView* view() const { return get<QGraphicsView>("gvImage"); }

    // The picture the image pane shows, as the scene holds it.
    QImage shownImage() const {
        for (QGraphicsItem* item : view()->scene()->items()) {
            if (auto* pixmapItem = dynamic_cast<QGraphicsPixmapItem*>(item))
                return pixmapItem->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
        }
        return QImage();
    }

    // The converter's current raw frame must be frame `frame` of the scene.
    bool showsMovieFrame(const synth::MovieOptions& options, int frame) const {
        rawVideoChunk chunk;
        window->converter()->getCurrentRawVideoChunk(chunk);
        return chunk.rawData == synth::renderScene(options.scene, frame - 1);
    }

    // Moves the pointer over scene pixel (x, y) and returns the status bar
    // text. The view's scroll offset is whole pixels and the mapping rounds,
    // so a quarter pixel inside lands on the pixel itself.
    QString pointAt(int x, int y) const {
        QGraphicsView* v = view();
        const QPoint pos = v->mapFromScene(QPointF(x + 0.25, y + 0.25));
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), v->viewport()->mapToGlobal(pos),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(v->viewport(), &move);
        return window->statusBar()->currentMessage();
    }

    // Selects a file in the file list as a click does, once the list has
    // read the file's folder.
    void chooseInFileList(const QString& fileName) const {
        auto* list = get<QListView>("lvFiles");
        QModelIndex index;
        QTRY_VERIFY(
            (index = qobject_cast<QFileSystemModel*>(list->model())->index(fileName)).isValid());
        list->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    }
};

} // namespace windowtest

#define KALORIX_WINDOW_TEST_MAIN(Test)                                                             \
    int main(int argc, char** argv) {                                                              \
        return windowtest::windowTestMain<Test>(argc, argv);                                       \
    }
