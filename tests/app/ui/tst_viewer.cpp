#include "app/ui/WindowTestSupport.h"
#include "conversion/ui/RawConvertConfig.h"
#include "recording/DataConverter.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWheelEvent>

using namespace windowtest;

class TestViewer : public QObject {
    Q_OBJECT

private:
    QString dir;
    std::unique_ptr<Kalorix> window;
    std::unique_ptr<testsupport::Recorder> recorder;

    QString path(const QString& name) const { return dir + QLatin1Char('/') + name; }
    QSlider* slider() const { return child<QSlider>(*window, "slMovieFiles"); }
    QString label(const char* name) const { return child<QLabel>(*window, name)->text(); }
    void trigger(const char* action) { child<QAction>(*window, action)->trigger(); }
    void click(const char* button) { child<QPushButton>(*window, button)->click(); }

    // The converter's current raw frame must be frame `frame` of the scene.
    bool showsMovieFrame(const synth::MovieOptions& options, int frame) const {
        rawVideoChunk chunk;
        window->converter()->getCurrentRawVideoChunk(chunk);
        return chunk.rawData == synth::renderScene(options.scene, frame - 1);
    }

private slots:
    void initTestCase() {
        dir = testsupport::scratchDir() + QStringLiteral("/viewer");
        QDir().mkpath(dir);
        QVERIFY(synth::writeFile(path("ramp.THR"), rampFrame()));
        QVERIFY(synth::writeFile(path("hot.THR"), rampFrame(40, 30, 9000)));
        QVERIFY(synth::writeFile(path("five.THM"), synth::makeMovie(smallMovie(5, false))));
        QVERIFY(synth::writeFile(path("ten.TMC"), synth::makeMovie(smallMovie(10, true))));
        QVERIFY(synth::writeFile(path("garbage.THR"), QByteArray(4000, 'g')));
        QVERIFY(synth::writeFile(path("garbage.TMC"), QByteArray(4000, 'g')));
        QImage tiny(1, 1, QImage::Format_RGB32);
        tiny.fill(qRgb(10, 200, 30));
        QVERIFY(tiny.save(path("tiny.png")));
        QVERIFY(synth::writeFile(path("corrupt.png"),
                                 QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(100, '\x01')));
    }

    void init() {
        recorder = std::make_unique<testsupport::Recorder>();
        window = makeWindow();
        window->resize(1280, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        // Pixel arithmetic below is done in raw values and grey levels.
        window->rawConfig()->setColorMode(0);
    }

    void cleanup() {
        window.reset();
        recorder.reset();
    }

    void openMovieAndStep() {
        const synth::MovieOptions options = smallMovie(5, false);
        QVERIFY(window->openInputFile(path("five.THM")));
        QVERIFY(child<QWidget>(*window, "wgVideoControls")->isVisible());
        QCOMPARE(slider()->maximum(), 5);
        QCOMPARE(slider()->value(), 1);
        QCOMPARE(slider()->pageStep(), 1);
        QCOMPARE(label("lblCurrentFrame"), QStringLiteral("1 / 5"));
        QCOMPARE(child<QLineEdit>(*window, "leStartFrame")->text(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>(*window, "leEndFrame")->text(), QStringLiteral("5"));
        QCOMPARE(label("lblFilename"), QStringLiteral("five.THM"));
        QVERIFY(showsMovieFrame(options, 1));
        // The file browser shows the file's folder with the file selected.
        auto* list = child<QListView>(*window, "lvFiles");
        auto* files = qobject_cast<QFileSystemModel*>(list->model());
        QCOMPARE(files->filePath(list->rootIndex()), dir);
        QTRY_COMPARE(files->filePath(list->currentIndex()), path("five.THM"));
        QVERIFY(list->selectionModel()->isSelected(list->currentIndex()));

        click("btnFrameUp");
        QCOMPARE(slider()->value(), 2);
        QCOMPARE(label("lblCurrentFrame"), QStringLiteral("2 / 5"));
        QVERIFY(showsMovieFrame(options, 2));

        slider()->setValue(5);
        QCOMPARE(label("lblCurrentFrame"), QStringLiteral("5 / 5"));
        QVERIFY(showsMovieFrame(options, 5));
        click("btnFrameUp"); // stays at the last frame
        QCOMPARE(slider()->value(), 5);
        click("btnFrameDown");
        QVERIFY(showsMovieFrame(options, 4));

        click("btnSetBegin");
        slider()->setValue(3);
        click("btnSetEnd");
        QCOMPARE(child<QLineEdit>(*window, "leStartFrame")->text(), QStringLiteral("4"));
        QCOMPARE(child<QLineEdit>(*window, "leEndFrame")->text(), QStringLiteral("3"));
        QCOMPARE(recorder->reports.size(), size_t(0));
    }

    void keysStepFrames() {
        QVERIFY(window->openInputFile(path("five.THM")));
        // This window started in the folder remembered by the previous one.
        auto* list = child<QListView>(*window, "lvFiles");
        auto* files = qobject_cast<QFileSystemModel*>(list->model());
        QTRY_COMPARE(files->filePath(list->currentIndex()), path("five.THM"));
        QTest::qWait(300);
        QCOMPARE(files->filePath(list->currentIndex()), path("five.THM"));
        QVERIFY(list->selectionModel()->isSelected(list->currentIndex()));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // A button's shortcut clicks it after its short press animation.
        QTest::keyClick(window.get(), Qt::Key_Right);
        QTRY_COMPARE(slider()->value(), 2);
        QTest::keyClick(window.get(), Qt::Key_Right);
        QTRY_COMPARE(slider()->value(), 3);
        QTest::keyClick(window.get(), Qt::Key_Left);
        QTRY_COMPARE(slider()->value(), 2);
        QTest::keyClick(window.get(), Qt::Key_3);
        QTRY_COMPARE(slider()->value(), 5);
        QCOMPARE(window->getPlaySpeed(), 3u);
    }

    void pixelReadout_data() {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("sceneX");
        QTest::addColumn<int>("sceneY");
        QTest::addColumn<QString>("expected");
        // Raw values from 1000 + x + 50 y.
        QTest::newRow("0") << 0 << 7 << 12 << "X: 007, Y: 012 RAW: 1607";
        QTest::newRow("90 top left") << 90 << 0 << 0 << "X: 000, Y: 119 RAW: 6950";
        QTest::newRow("90 inside") << 90 << 5 << 2 << "X: 002, Y: 114 RAW: 6702";
        QTest::newRow("180 top left") << 180 << 0 << 0 << "X: 159, Y: 119 RAW: 7109";
        QTest::newRow("-90 top left") << 270 << 0 << 0 << "X: 159, Y: 000 RAW: 1159";
        QTest::newRow("-90 inside") << 270 << 3 << 9 << "X: 150, Y: 003 RAW: 1300";
    }

    void pixelReadout() {
        QFETCH(int, rotation);
        QFETCH(int, sceneX);
        QFETCH(int, sceneY);
        QFETCH(QString, expected);
        QVERIFY(window->openInputFile(path("ramp.THR")));
        window->rawConfig()->setRotation(rotation);
        trigger("actionZoom_to_original_size");
        const bool portrait = rotation == 90 || rotation == 270;
        QCOMPARE(view(*window)->scene()->sceneRect().size(),
                 portrait ? QSizeF(kHeight, kWidth) : QSizeF(kWidth, kHeight));
        QCOMPARE(pointAt(*window, sceneX, sceneY), expected);
    }

    void temperatureReadout() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        trigger("actionZoom_to_original_size");
        window->rawConfig()->setRadiometryOption(1);
        QCOMPARE(window->getTLinearResolution(), 0.04f);
        // 1607 x 0.04 K = 64.28 K = -208.87 degrees Celsius.
        QCOMPARE(pointAt(*window, 7, 12), QStringLiteral("X: 007, Y: 012 Temp: -208.87"));
        double celsius = 0.0;
        window->processPixel(7, 12, &celsius);
        QCOMPARE(QString::number(celsius, 'f', 2), QStringLiteral("-208.87"));
        window->rawConfig()->setRadiometryOption(2);
        // 7109 x 0.4 K = 2843.6 K.
        QCOMPARE(pointAt(*window, 159, 119), QStringLiteral("X: 159, Y: 119 Temp: 2570.45"));
        // Outside the frame the read-out keeps its last text.
        window->processPixel(160, 0, nullptr);
        QCOMPARE(window->statusBar()->currentMessage(),
                 QStringLiteral("X: 159, Y: 119 Temp: 2570.45"));
    }

    void zoomLimits() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        trigger("actionZoom_to_original_size");
        for (int i = 0; i < 100; ++i)
            trigger("actionZoom_in");
        // 1.2^11 = 7.43 is still below the limit (square 55.2 < 60); 1.2^12 is not.
        QVERIFY(qAbs(view(*window)->transform().m11() - 8.916100448) < 1e-6);
        QVERIFY(qAbs(window->getZoomFactor() - 8.916100448) < 1e-6);
        trigger("actionZoom_to_original_size");
        QCOMPARE(window->getZoomFactor(), 1.0);
        QCOMPARE(view(*window)->transform().m11(), 1.0);
        for (int i = 0; i < 100; ++i)
            trigger("actionZoom_out");
        // 1.2^-10 (square 0.026) may still shrink; 1.2^-11 (square 0.018) may not.
        QVERIFY(qAbs(view(*window)->transform().m11() - 0.134587618) < 1e-6);
    }

    void wheelZoomsOverTheView() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        trigger("actionZoom_to_original_size");
        QWidget* viewport = view(*window)->viewport();
        const QPointF centre(viewport->width() / 2.0, viewport->height() / 2.0);
        QWheelEvent away(centre, QPointF(viewport->mapToGlobal(centre.toPoint())), QPoint(),
                         QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(viewport, &away);
        QApplication::sendEvent(viewport, &away);
        QVERIFY(qAbs(view(*window)->transform().m11() - 1.44) < 1e-9);
        QWheelEvent towards(centre, QPointF(viewport->mapToGlobal(centre.toPoint())), QPoint(),
                            QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                            false);
        QApplication::sendEvent(viewport, &towards);
        QVERIFY(qAbs(view(*window)->transform().m11() - 1.2) < 1e-9);
        // Over the rest of the window the wheel does nothing.
        QWheelEvent elsewhere(QPointF(5, 5), QPointF(window->mapToGlobal(QPoint(5, 5))), QPoint(),
                              QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                              false);
        QApplication::sendEvent(window.get(), &elsewhere);
        QVERIFY(elsewhere.isAccepted());
        QVERIFY(qAbs(view(*window)->transform().m11() - 1.2) < 1e-9);
    }

    void zoomFitFillsThePane() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        trigger("actionZoom_in");
        trigger("actionZoom_fit");
        QCOMPARE(window->getZoomFactor(), 1.0);
        QGraphicsView* v = view(*window);
        const double scale = v->transform().m11();
        const double width = kWidth * scale;
        const double height = kHeight * scale;
        // Inside the pane less 10 pixels, touching it in one direction.
        QVERIFY(width <= v->width() - 10 + 1e-3);
        QVERIFY(height <= v->height() - 10 + 1e-3);
        QVERIFY(qAbs(width - (v->width() - 10)) < 1e-3 || qAbs(height - (v->height() - 10)) < 1e-3);
    }

    void draggingTogglesHandMode() {
        QAction* drag = child<QAction>(*window, "actionToogle_mouse_dragging");
        const QImage hand = QIcon(QStringLiteral(":/icons/cursorHand")).pixmap(24).toImage();
        const QImage arrow = QIcon(QStringLiteral(":/icons/cursorArrow")).pixmap(24).toImage();
        QVERIFY(!hand.isNull());
        QVERIFY(hand != arrow);
        QCOMPARE(drag->icon().pixmap(24).toImage(), hand);
        drag->trigger();
        QCOMPARE(view(*window)->dragMode(), QGraphicsView::ScrollHandDrag);
        QCOMPARE(drag->icon().pixmap(24).toImage(), arrow);
        drag->trigger();
        QCOMPARE(view(*window)->dragMode(), QGraphicsView::NoDrag);
        QCOMPARE(drag->icon().pixmap(24).toImage(), hand);
    }

    void hotSpotMarker() {
        QVERIFY(window->openInputFile(path("hot.THR")));
        // The decoder counts columns and rows of the hot spot from 1.
        QCOMPARE(window->getMarkerX(), 41u);
        QCOMPARE(window->getMarkerY(), 31u);
        QCOMPARE(window->getMarkerValue(), 9000u);
        const QImage plain = shownImage(*window);
        trigger("actionMark_Hotspot");
        const QImage marked = shownImage(*window);
        QCOMPARE(marked.size(), plain.size());
        const QRgb black = qRgb(0, 0, 0);
        const QRgb white = qRgb(255, 255, 255);
        // Left edge: the 3-pixel black line covers columns 29 to 31, the
        // white outline then repaints column 29; column 32 is untouched.
        QCOMPARE(marked.pixel(29, 30), white);
        QCOMPARE(marked.pixel(30, 30), black);
        QCOMPARE(marked.pixel(31, 30), black);
        QCOMPARE(marked.pixel(32, 30), plain.pixel(32, 30));
        QCOMPARE(marked.pixel(28, 30), plain.pixel(28, 30));
        // Right and bottom edges mirror it around column and row 50 and 40.
        QCOMPARE(marked.pixel(51, 30), white);
        QCOMPARE(marked.pixel(50, 30), black);
        QCOMPARE(marked.pixel(49, 30), black);
        QCOMPARE(marked.pixel(48, 30), plain.pixel(48, 30));
        QCOMPARE(marked.pixel(40, 19), white);
        QCOMPARE(marked.pixel(40, 20), black);
        QCOMPARE(marked.pixel(40, 41), white);
        // The hot pixel itself is not covered.
        QCOMPARE(marked.pixel(40, 30), plain.pixel(40, 30));
        trigger("actionMark_Hotspot");
        QCOMPARE(shownImage(*window), plain);
    }

    void legendWidensTheImage() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        QAction* legend = child<QAction>(*window, "actionShow_legend");
        if (legend->isChecked())
            legend->trigger();
        QCOMPARE(shownImage(*window).size(), QSize(kWidth, kHeight));
        legend->trigger();
        QVERIFY(window->rawConfig()->getLegendVisibility());
        // The strip is 61 pixels wide, squeezed to the frame's height.
        QCOMPARE(shownImage(*window).size(), QSize(kWidth + 61, kHeight));
        window->rawConfig()->setLegendVisibility(false);
        QVERIFY(!legend->isChecked());
        QCOMPARE(shownImage(*window).size(), QSize(kWidth, kHeight));
    }

    void playbackRunsToTheLastFrame() {
        QVERIFY(window->openInputFile(path("five.THM")));
        QElapsedTimer timer;
        timer.start();
        click("btnPlayTrippleSpeed");
        const qint64 elapsed = timer.elapsed();
        QCOMPARE(slider()->value(), 5);
        QVERIFY(!window->isPlaying());
        QCOMPARE(window->getPlaySpeed(), 3u);
        // Four steps of 120 / 3 = 40 ms; each step measures whole milliseconds,
        // so it may end up to a millisecond early. Without the wait the four
        // steps take a few milliseconds.
        QVERIFY2(elapsed >= 155, qPrintable(QString::number(elapsed)));
        QVERIFY(showsMovieFrame(smallMovie(5, false), 5));
    }

    void secondPressStopsPlayback() {
        QVERIFY(window->openInputFile(path("ten.TMC")));
        int valueWhenStopped = 0;
        QTimer::singleShot(300, this, [&]() {
            QVERIFY(window->isPlaying());
            click("btnPlayDoubleSpeed");
            valueWhenStopped = slider()->value();
        });
        click("btnPlayVideo");
        QVERIFY(!window->isPlaying());
        QCOMPARE(window->getPlaySpeed(), 2u);
        QVERIFY(valueWhenStopped >= 2);
        QVERIFY(slider()->value() < 10);
        QVERIFY(slider()->value() <= valueWhenStopped + 1);
    }

    void playOnSingleFrameIsHarmless() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        const QImage before = shownImage(*window);
        click("btnPlayVideo");
        trigger("actionStart_playing_movie");
        QVERIFY(!window->isPlaying());
        QVERIFY(window->isImageLoadOk());
        QCOMPARE(shownImage(*window), before);
        QCOMPARE(recorder->reports.size(), size_t(0));
    }

    void failedOpenKeepsTheMovie_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("message");
        QTest::newRow("THR") << "garbage.THR"
                             << "Error while loading image (in Kalorix::loadRawImage) \"%1\"";
        QTest::newRow("TMC") << "garbage.TMC"
                             << "Error while loading file \"%1\"";
        QTest::newRow("TFC") << "missing.TFC"
                             << "Error while loading video file \"%1\"";
    }

    void failedOpenKeepsTheMovie() {
        QFETCH(QString, file);
        QFETCH(QString, message);
        const synth::MovieOptions options = smallMovie(5, false);
        QVERIFY(window->openInputFile(path("five.THM")));
        slider()->setValue(3);
        const QImage before = shownImage(*window);
        recorder->clear();
        QVERIFY(!window->openInputFile(path(file)));
        QCOMPARE(recorder->reports.size(), size_t(1));
        QCOMPARE(recorder->reports[0].title, QStringLiteral("Error"));
        QCOMPARE(recorder->reports[0].text, message.arg(path(file)));
        QCOMPARE(window->getCurrentFileName(), path("five.THM"));
        QVERIFY(window->isImageLoadOk());
        QCOMPARE(slider()->value(), 3);
        QCOMPARE(slider()->maximum(), 5);
        QVERIFY(child<QWidget>(*window, "wgVideoControls")->isVisible());
        QCOMPARE(label("lblFilename"), QStringLiteral("five.THM"));
        QVERIFY(showsMovieFrame(options, 3));
        QCOMPARE(shownImage(*window), before);
        click("btnFrameUp");
        QVERIFY(showsMovieFrame(options, 4));
    }

    void picturesFromTheFileList() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        QVERIFY(chooseInFileList(*window, path("tiny.png")));
        QCOMPARE(window->getCurrentFileType(), ksDefines::Image);
        QCOMPARE(shownImage(*window).size(), QSize(1, 1));
        QCOMPARE(shownImage(*window).pixel(0, 0), qRgb(10, 200, 30));
        QCOMPARE(label("lblFilename"), QStringLiteral("tiny.png"));
        // A picture has neither raw values nor camera details.
        QCOMPARE(pointAt(*window, 0, 0), QString());
        QCOMPARE(label("lblCamera"), QString());
        QCOMPARE(label("lblTempFPA"), QString());

        QVERIFY(chooseInFileList(*window, path("corrupt.png")));
        QCOMPARE(recorder->reports.size(), size_t(1));
        QCOMPARE(recorder->reports[0].text,
                 QStringLiteral("Error while loading image \"%1\"").arg(path("corrupt.png")));
        QCOMPARE(shownImage(*window).size(), QSize(1, 1));

        // A recording opened after a picture is painted again.
        QVERIFY(chooseInFileList(*window, path("ramp.THR")));
        QCOMPARE(window->getCurrentFileType(), ksDefines::RawRecording);
        QCOMPARE(shownImage(*window).size(), QSize(kWidth, kHeight));
    }

    void hugePicture() {
        const QString huge = path("huge.png");
        if (!QFileInfo::exists(huge)) {
            QImage big(10000, 10000, QImage::Format_RGB888);
            big.fill(qRgb(1, 2, 3));
            big.setPixel(9999, 9999, qRgb(250, 0, 0));
            QVERIFY(big.save(huge));
        }
        QVERIFY(window->openInputFile(path("ramp.THR")));
        QVERIFY(chooseInFileList(*window, huge));
        QCOMPARE(window->getCurrentFileType(), ksDefines::Image);
        QCOMPARE(window->getDisplayImage().size(), QSize(10000, 10000));
        trigger("actionZoom_fit");
        QVERIFY(view(*window)->transform().m11() < 0.2);
        QCOMPARE(recorder->reports.size(), size_t(0));
    }
};

int main(int argc, char** argv) {
    usePrivateEnvironment();
    QApplication app(argc, argv);
    TestViewer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_viewer.moc"
