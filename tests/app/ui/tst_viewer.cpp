#include "app/ui/WindowTestSupport.h"
#include "conversion/ui/RawConvertConfig.h"
#include "export/HotspotMarker.h"

#include <QLineEdit>
#include <QWheelEvent>

using namespace windowtest;

class TestViewer : public QObject, Fixture {
    Q_OBJECT

    double scale() const { return view()->transform().m11(); }
    bool wheel(QWidget* target, QPointF at, int delta) const {
        QWheelEvent event(at, QPointF(target->mapToGlobal(at.toPoint())), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
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
        start(true);
        // Pixel arithmetic below is done in raw values and grey levels.
        window->rawConfig()->setColorMode(0);
    }

    // Frame label, range fields and the converter's frame after each step.
    QString where(const synth::MovieOptions& options) const {
        const int frame = slider()->value();
        return label("lblCurrentFrame") + " " + get<QLineEdit>("leStartFrame")->text() + "-" +
               get<QLineEdit>("leEndFrame")->text() + (showsMovieFrame(options, frame) ? "" : " ?");
    }

    void openMovieAndStep() {
        const synth::MovieOptions options = smallMovie(5, false);
        QVERIFY(window->openInputFile(path("five.THM")));
        QVERIFY(get("wgVideoControls")->isVisible());
        QCOMPARE(QList<int>({slider()->minimum(), slider()->maximum(), slider()->pageStep()}),
                 QList<int>({1, 5, 1}));
        QCOMPARE(label("lblFilename"), QStringLiteral("five.THM"));
        QCOMPARE(where(options), QStringLiteral("1 / 5 1-5"));
        // The file browser shows the file's folder with the file selected.
        auto* list = get<QListView>("lvFiles");
        auto* files = qobject_cast<QFileSystemModel*>(list->model());
        QCOMPARE(files->filePath(list->rootIndex()), dir);
        QTRY_COMPARE(files->filePath(list->currentIndex()), path("five.THM"));
        QVERIFY(list->selectionModel()->isSelected(list->currentIndex()));

        click("btnFrameUp");
        QCOMPARE(where(options), QStringLiteral("2 / 5 1-5"));
        slider()->setValue(5);
        click("btnFrameUp"); // stays at the last frame
        QCOMPARE(where(options), QStringLiteral("5 / 5 1-5"));
        click("btnFrameDown");
        click("btnSetBegin");
        slider()->setValue(3);
        click("btnSetEnd");
        QCOMPARE(where(options), QStringLiteral("3 / 5 4-3"));
        QCOMPARE(reports(), QStringList());
    }

    void keysStepFrames() {
        QVERIFY(window->openInputFile(path("five.THM")));
        // This window started in the folder remembered by the previous one;
        // the selection must stay on the file.
        auto* list = get<QListView>("lvFiles");
        auto* files = qobject_cast<QFileSystemModel*>(list->model());
        QTRY_COMPARE(files->filePath(list->currentIndex()), path("five.THM"));
        QTest::qWait(300);
        QCOMPARE(files->filePath(list->currentIndex()), path("five.THM"));
        QVERIFY(list->selectionModel()->isSelected(list->currentIndex()));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        // A button's shortcut clicks it after its short press animation.
        const std::pair<Qt::Key, int> keys[] = {
            {Qt::Key_Right, 2}, {Qt::Key_Right, 3}, {Qt::Key_Left, 2}, {Qt::Key_3, 5}};
        for (const auto& [key, frame] : keys) {
            QTest::keyClick(window.get(), key);
            QTRY_COMPARE(slider()->value(), frame);
        }
        QCOMPARE(window->getPlaySpeed(), 3u);
    }

    void pixelReadout_data() {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("radiometry");
        QTest::addColumn<QPoint>("scenePoint");
        QTest::addColumn<QString>("expected");
        // Raw values from 1000 + x + 50 y.
        QTest::newRow("0") << 0 << 0 << QPoint(7, 12) << "X: 007, Y: 012 RAW: 1607";
        QTest::newRow("90 top left") << 90 << 0 << QPoint(0, 0) << "X: 000, Y: 119 RAW: 6950";
        QTest::newRow("90 inside") << 90 << 0 << QPoint(5, 2) << "X: 002, Y: 114 RAW: 6702";
        QTest::newRow("180 top left") << 180 << 0 << QPoint(0, 0) << "X: 159, Y: 119 RAW: 7109";
        QTest::newRow("-90 top left") << 270 << 0 << QPoint(0, 0) << "X: 159, Y: 000 RAW: 1159";
        QTest::newRow("-90 inside") << 270 << 0 << QPoint(3, 9) << "X: 150, Y: 003 RAW: 1300";
        // 1607 x 0.04 K = 64.28 K; 7109 x 0.4 K = 2843.6 K.
        QTest::newRow("high gain") << 0 << 1 << QPoint(7, 12) << "X: 007, Y: 012 Temp: -208.87";
        QTest::newRow("low gain") << 0 << 2 << QPoint(159, 119) << "X: 159, Y: 119 Temp: 2570.45";
    }

    void pixelReadout() {
        QFETCH(int, rotation);
        QFETCH(QPoint, scenePoint);
        QFETCH(QString, expected);
        QVERIFY(window->openInputFile(path("ramp.THR")));
        window->rawConfig()->setRotation(rotation);
        QFETCH(int, radiometry);
        window->rawConfig()->setRadiometryOption(radiometry);
        trigger("actionZoom_to_original_size");
        const bool portrait = rotation == 90 || rotation == 270;
        QCOMPARE(view()->scene()->sceneRect().size(),
                 portrait ? QSizeF(kHeight, kWidth) : QSizeF(kWidth, kHeight));
        QCOMPARE(pointAt(scenePoint.x(), scenePoint.y()), expected);
        if (radiometry != 0) {
            double celsius = 0.0;
            window->processPixel(scenePoint.x(), scenePoint.y(), &celsius);
            QCOMPARE(QString::number(celsius, 'f', 2), expected.section(QLatin1Char(' '), -1));
        }
        // Outside the frame the read-out keeps its last text.
        window->processPixel(160, 0, nullptr);
        QCOMPARE(window->statusBar()->currentMessage(), expected);
    }

    void zoom() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        trigger("actionZoom_to_original_size");
        for (int i = 0; i < 100; ++i)
            trigger("actionZoom_in");
        // 1.2^11 = 7.43 is still below the limit (square 55.2 < 60); 1.2^12 is not.
        QVERIFY(qAbs(scale() - 8.916100448) < 1e-6);
        QVERIFY(qAbs(window->getZoomFactor() - 8.916100448) < 1e-6);
        trigger("actionZoom_to_original_size");
        QCOMPARE(window->getZoomFactor(), 1.0);
        QCOMPARE(scale(), 1.0);
        for (int i = 0; i < 100; ++i)
            trigger("actionZoom_out");
        // 1.2^-10 (square 0.026) may still shrink; 1.2^-11 (square 0.018) may not.
        QVERIFY(qAbs(scale() - 0.134587618) < 1e-6);

        // The wheel zooms over the view only.
        trigger("actionZoom_to_original_size");
        QWidget* viewport = view()->viewport();
        const QPointF centre(viewport->width() / 2.0, viewport->height() / 2.0);
        wheel(viewport, centre, 120);
        wheel(viewport, centre, 120);
        QVERIFY(qAbs(scale() - 1.44) < 1e-9);
        wheel(viewport, centre, -120);
        QVERIFY(qAbs(scale() - 1.2) < 1e-9);
        QVERIFY(wheel(window.get(), QPointF(5, 5), 120));
        QVERIFY(qAbs(scale() - 1.2) < 1e-9);

        // Fit: inside the pane less 10 pixels, touching it in one direction.
        trigger("actionZoom_fit");
        QCOMPARE(window->getZoomFactor(), 1.0);
        const double width = kWidth * scale() - (view()->width() - 10);
        const double height = kHeight * scale() - (view()->height() - 10);
        QVERIFY(width <= 1e-3 && height <= 1e-3);
        QVERIFY(qAbs(width) < 1e-3 || qAbs(height) < 1e-3);
    }

    void draggingTogglesHandMode() {
        QAction* drag = get<QAction>("actionToogle_mouse_dragging");
        const QImage hand = QIcon(QStringLiteral(":/icons/cursorHand")).pixmap(24).toImage();
        const QImage arrow = QIcon(QStringLiteral(":/icons/cursorArrow")).pixmap(24).toImage();
        QVERIFY(!hand.isNull() && hand != arrow);
        for (const auto& [mode, icon] : {std::pair(QGraphicsView::NoDrag, hand),
                                         std::pair(QGraphicsView::ScrollHandDrag, arrow),
                                         std::pair(QGraphicsView::NoDrag, hand)}) {
            QCOMPARE(view()->dragMode(), mode);
            QCOMPARE(drag->icon().pixmap(24).toImage(), icon);
            drag->trigger();
        }
    }

    void hotSpotMarker() {
        QVERIFY(window->openInputFile(path("hot.THR")));
        // The decoder counts columns and rows of the hot spot from 1.
        QCOMPARE(window->getMarkerX(), 41u);
        QCOMPARE(window->getMarkerY(), 31u);
        QCOMPARE(window->getMarkerValue(), 9000u);
        const QImage plain = shownImage();
        trigger("actionMark_Hotspot");
        // The same marker as on exported pictures, centred on the hot pixel
        // itself: white outline at column 29, black at 30 and 31.
        QImage expected = plain;
        kx::paintHotspotMarker(expected, 40, 30);
        QCOMPARE(shownImage(), expected);
        QCOMPARE(
            QList<QRgb>({expected.pixel(29, 30), expected.pixel(30, 30), expected.pixel(40, 30)}),
            QList<QRgb>({qRgb(255, 255, 255), qRgb(0, 0, 0), plain.pixel(40, 30)}));
        trigger("actionMark_Hotspot");
        QCOMPARE(shownImage(), plain);
    }

    void legendWidensTheImage() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        QAction* legend = get<QAction>("actionShow_legend");
        QVERIFY(!legend->isChecked());
        QCOMPARE(shownImage().size(), QSize(kWidth, kHeight));
        legend->trigger();
        QVERIFY(window->rawConfig()->getLegendVisibility());
        // The strip is 61 pixels wide, squeezed to the frame's height.
        QCOMPARE(shownImage().size(), QSize(kWidth + 61, kHeight));
        window->rawConfig()->setLegendVisibility(false);
        QVERIFY(!legend->isChecked());
        QCOMPARE(shownImage().size(), QSize(kWidth, kHeight));
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
        QVERIFY(slider()->value() < 10 && slider()->value() <= valueWhenStopped + 1);
    }

    void playOnSingleFrameIsHarmless() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        const QImage before = shownImage();
        click("btnPlayVideo");
        trigger("actionStart_playing_movie");
        QVERIFY(!window->isPlaying());
        QVERIFY(window->isImageLoadOk());
        QCOMPARE(shownImage(), before);
        QCOMPARE(reports(), QStringList());
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
        const QImage before = shownImage();
        recorder->clear();
        QVERIFY(!window->openInputFile(path(file)));
        QCOMPARE(reports(), QStringList{"E|Error|" + message.arg(path(file))});
        QCOMPARE(window->getCurrentFileName(), path("five.THM"));
        QVERIFY(window->isImageLoadOk());
        QCOMPARE(slider()->value(), 3);
        QCOMPARE(slider()->maximum(), 5);
        QVERIFY(get("wgVideoControls")->isVisible());
        QCOMPARE(label("lblFilename"), QStringLiteral("five.THM"));
        QVERIFY(showsMovieFrame(options, 3));
        QCOMPARE(shownImage(), before);
        click("btnFrameUp");
        QVERIFY(showsMovieFrame(options, 4));
    }

    void picturesFromTheFileList() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        QVERIFY(chooseInFileList(path("tiny.png")));
        QCOMPARE(window->getCurrentFileType(), ksDefines::Image);
        QCOMPARE(shownImage().size(), QSize(1, 1));
        QCOMPARE(shownImage().pixel(0, 0), qRgb(10, 200, 30));
        QCOMPARE(label("lblFilename"), QStringLiteral("tiny.png"));
        // A picture has neither raw values nor camera details.
        QCOMPARE(pointAt(0, 0) + label("lblCamera") + label("lblTempFPA"), QString());

        QVERIFY(chooseInFileList(path("corrupt.png")));
        QCOMPARE(reports(),
                 QStringList{"E|Error|Error while loading image \"" + path("corrupt.png") + "\""});
        QCOMPARE(shownImage().size(), QSize(1, 1));

        // A recording opened after a picture is painted again.
        QVERIFY(chooseInFileList(path("ramp.THR")));
        QCOMPARE(window->getCurrentFileType(), ksDefines::RawRecording);
        QCOMPARE(shownImage().size(), QSize(kWidth, kHeight));

        // A huge picture opens and fits.
        QImage big(10000, 10000, QImage::Format_RGB888);
        big.fill(qRgb(1, 2, 3));
        QVERIFY(big.save(path("huge.png")));
        QVERIFY(chooseInFileList(path("huge.png")));
        QCOMPARE(window->getDisplayImage().size(), QSize(10000, 10000));
        trigger("actionZoom_fit");
        QVERIFY(scale() < 0.2);
        QCOMPARE(reports().size(), 1);
    }
};

int main(int argc, char** argv) {
    usePrivateEnvironment();
    QApplication app(argc, argv);
    TestViewer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_viewer.moc"
