// One frame step in the main window, from the key press to the repainted
// pane, on a 640 x 512 compressed movie; run under the offscreen platform
// (set here unless QT_QPA_PLATFORM says otherwise). The baseline is the
// frame's decode and conversion alone, without the window.

#include "app/ui/Kalorix.h"
#include "conversion/ui/MeasurementTools.h"
#include "recording/DataConverter.h"
#include "synth/Synth.h"

#include <QApplication>
#include <QDir>
#include <QGraphicsView>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kFrames = 40;

QString moviePath() {
    return QDir::tempPath() + QStringLiteral("/kalorix-bench-step-640.TMC");
}

Kalorix* theWindow() {
    static std::unique_ptr<Kalorix> window = [] {
        static char program[] = "kalorix";
        static char* argv[] = {program, nullptr};
        auto w = std::make_unique<Kalorix>(1, argv, nullptr);
        w->resize(1280, 800);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get()) || !w->openInputFile(moviePath()))
            qFatal("the window did not open %s", qPrintable(moviePath()));
        // Key presses reach the window's shortcuts only while it is active.
        w->activateWindow();
        if (!QTest::qWaitForWindowActive(w.get()))
            qFatal("the window did not become active");
        return w;
    }();
    return window.get();
}

QSlider* slider() {
    return theWindow()->findChild<QSlider*>(QStringLiteral("slMovieFiles"));
}

// Back to frame 1 at the end of the movie, outside the timing.
void rewindAtEnd(benchmark::State& state) {
    if (slider()->value() < kFrames)
        return;
    state.PauseTiming();
    slider()->setValue(1);
    QApplication::processEvents();
    state.ResumeTiming();
}

// Counts the image pane's paint events.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

PaintCounter& paintCounter() {
    static PaintCounter* counter = [] {
        auto* c = new PaintCounter;
        theWindow()
            ->findChild<QGraphicsView*>(QStringLiteral("gvImage"))
            ->viewport()
            ->installEventFilter(c);
        return c;
    }();
    return *counter;
}

// Runs the event loop until the step has reached the frame and the image pane
// has been painted after it.
void stepAndPaint(int expected) {
    while (slider()->value() != expected)
        QApplication::processEvents();
    const int before = paintCounter().paints;
    while (paintCounter().paints == before)
        QApplication::processEvents();
}

void BM_BaselineDecodeAndConvert(benchmark::State& state) {
    DataConverter converter;
    if (converter.parseVideoFile(moviePath(), true, false) != kFrames)
        state.SkipWithError("movie did not index");
    QImage image;
    int frame = 0;
    for (auto _ : state) {
        ThermalImageConversionSet set;
        bool ok = false;
        converter.getThermalImageFromVideoRawList(frame % kFrames + 1, image, &ok,
                                                  ksDefines::NoSerialData, set);
        benchmark::DoNotOptimize(ok);
        ++frame;
    }
}
BENCHMARK(BM_BaselineDecodeAndConvert)->Unit(benchmark::kMillisecond);

void BM_StepByKey(benchmark::State& state) {
    Kalorix* window = theWindow();
    paintCounter();
    for (auto _ : state) {
        rewindAtEnd(state);
        const int expected = slider()->value() + 1;
        QTest::keyClick(window, Qt::Key_Right);
        stepAndPaint(expected);
    }
}
BENCHMARK(BM_StepByKey)->Unit(benchmark::kMillisecond);

// The same step with a 200 x 200 box, a line across the frame and a spot
// placed: each is measured again and drawn with the new frame.
void BM_StepByKeyWithMeasurements(benchmark::State& state) {
    Kalorix* window = theWindow();
    auto* tools = window->findChild<MeasurementTools*>();
    using kx::measure::Kind;
    tools->addTool(Kind::Box, QPoint(220, 156), QPoint(419, 355));
    tools->addTool(Kind::Line, QPoint(0, 0), QPoint(639, 511));
    tools->addTool(Kind::Spot, QPoint(320, 256), QPoint(320, 256));
    paintCounter();
    for (auto _ : state) {
        rewindAtEnd(state);
        const int expected = slider()->value() + 1;
        QTest::keyClick(window, Qt::Key_Right);
        stepAndPaint(expected);
        if (tools->statistics().size() != 3 || tools->statistics()[0].pixels != 40000)
            state.SkipWithError("the box was not measured");
    }
    while (!tools->tools().empty())
        tools->removeTool(0);
}
BENCHMARK(BM_StepByKeyWithMeasurements)->Unit(benchmark::kMillisecond);

// The press and release alone, at the last frame where a step goes nowhere:
// what the key's delivery costs of the step above.
void BM_KeyPressAtLastFrame(benchmark::State& state) {
    Kalorix* window = theWindow();
    slider()->setValue(kFrames);
    QApplication::processEvents();
    for (auto _ : state) {
        QTest::keyClick(window, Qt::Key_Right);
        QApplication::processEvents();
    }
    slider()->setValue(1);
}
BENCHMARK(BM_KeyPressAtLastFrame)->Unit(benchmark::kMillisecond);

void BM_StepByButton(benchmark::State& state) {
    auto* button = theWindow()->findChild<QPushButton*>(QStringLiteral("btnFrameUp"));
    paintCounter();
    for (auto _ : state) {
        rewindAtEnd(state);
        const int expected = slider()->value() + 1;
        button->click();
        stepAndPaint(expected);
    }
}
BENCHMARK(BM_StepByButton)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A settings store of its own, so the run neither reads nor changes the user's.
    const QString home = QDir::tempPath() + QStringLiteral("/kalorix-bench-step-home");
    QDir().mkpath(home);
    qputenv("HOME", home.toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.toLocal8Bit());
    QApplication app(argc, argv);
    if (!QFileInfo::exists(moviePath())) {
        synth::MovieOptions options;
        options.frames = kFrames;
        options.compressed = true;
        if (!synth::writeFile(moviePath(), synth::makeMovie(options)))
            return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
