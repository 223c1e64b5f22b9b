// What a new user met in the viewer: fitting, the details of the file on
// show, key presses, the file test, read-out and selection around a failed
// open, why a file is not a recording, and a movie cut inside its last frame.

#include "app/ui/WindowTestSupport.h"
#include "base/Report.h"
#include "conversion/ui/RawConvertConfig.h"

using namespace windowtest;

Q_DECLARE_METATYPE(synth::MovieOptions)

namespace {

// The counter steps of frames 1 to n of a compressed movie, for the file test.
synth::MovieOptions counterMovie(uint16_t first, std::vector<int> ffc, std::vector<int> gaps) {
    synth::MovieOptions options = smallMovie(4, true);
    options.version = 5;
    options.firstCounter = first;
    options.ffcFrames = std::move(ffc);
    options.counterGapsAfter = std::move(gaps);
    return options;
}

} // namespace

class TestViewerMends : public QObject, Fixture {
    Q_OBJECT

    double scale() const { return view()->transform().m11(); }
    // The scale at which the scene fills the pane less a 10-pixel margin.
    double fitScale() const {
        const QRectF scene = view()->sceneRect();
        return std::min((view()->width() - 10) / scene.width(),
                        (view()->height() - 10) / scene.height());
    }
    QStringList selectedFiles() const {
        auto* list = get<QListView>("lvFiles");
        auto* model = qobject_cast<QFileSystemModel*>(list->model());
        QStringList names;
        for (const QModelIndex& index : list->selectionModel()->selectedIndexes())
            names << QFileInfo(model->filePath(index)).fileName();
        return names;
    }

private slots:
    void initTestCase() {
        dir = testsupport::freshDir(QStringLiteral("mends"));
        QVERIFY(
            synth::writeFile(path("single.THR"), synth::makeSingleFrameFile(smallMovie(1, false))));
        synth::MovieOptions warm = smallMovie(5, true);
        warm.tempFPACelsius = 35.2;
        warm.tempHousingCelsius = 33.33;
        warm.firstCounter = 40;
        QVERIFY(synth::writeFile(path("warm.TMC"), synth::makeMovie(warm)));
        QVERIFY(synth::writeFile(path("twenty.TMC"), synth::makeMovie(smallMovie(20, true))));
        QVERIFY(synth::writeFile(path("five.THM"), synth::makeMovie(smallMovie(5, false))));
    }

    void init() { start(true); }

    void fitsOnEveryOpen() {
        // A file named on the command line is opened before the window shows.
        static char program[] = "kalorix";
        QByteArray file = path("twenty.TMC").toLocal8Bit();
        char* argv[] = {program, file.data(), nullptr};
        window = std::make_unique<Kalorix>(2, argv, nullptr);
        window->resize(1280, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(window->getCurrentFileName(), path("twenty.TMC"));
        QTRY_VERIFY2(qAbs(scale() - fitScale()) < 1e-3,
                     qPrintable(QStringLiteral("%1 %2").arg(scale()).arg(fitScale())));
        // Zoomed by hand, the next file of the same size opens fitted again.
        get<QAction>("actionZoom_in")->trigger();
        QVERIFY(window->openInputFile(path("five.THM")));
        QVERIFY(qAbs(scale() - fitScale()) < 1e-3);
    }

    void detailsShowTheOpenFile() {
        const auto details = [&]() {
            return QStringList{label("lblTempFPA"), label("lblTempHousing"),
                               label("lblFrameNumber"), label("lblCamera")}
                .join(QLatin1Char('|'));
        };
        // The simulator's own part number describes a real core.
        const QString single = QStringLiteral("31.4|29.87|1|KS 160, 9mm\nfast video\nradiometric");
        QVERIFY(window->openInputFile(path("single.THR")));
        QCOMPARE(details(), single);
        QVERIFY(window->openInputFile(path("warm.TMC")));
        slider()->setValue(3);
        QCOMPARE(details(), QStringLiteral("35.2|33.33|42|KS 160, 9mm\nfast video\nradiometric"));
        QVERIFY(window->openInputFile(path("single.THR")));
        QCOMPARE(details(), single);
    }

    void everyKeyPressCounts() {
        QVERIFY(window->openInputFile(path("twenty.TMC")));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        for (int press = 0; press < 10; ++press) {
            QTest::keyClick(window.get(), Qt::Key_Right);
            QTest::qWait(30);
        }
        QTRY_COMPARE(slider()->value(), 11);
        // Presses that come faster than frames decode all count too.
        for (int press = 0; press < 3; ++press)
            QTest::keyClick(window.get(), Qt::Key_Left);
        QTRY_COMPARE(slider()->value(), 8);
        QVERIFY(showsMovieFrame(smallMovie(20, true), 8));
    }

    void fileTestAcceptsRecorderSteps_data() {
        QTest::addColumn<synth::MovieOptions>("options");
        QTest::addColumn<QStringList>("lines");
        const QStringList ok{"Testing TMC file", "File ok"};
        // Counters 1 2 3 8196 5: steps 1, 8193 (mark set), -8191 (mark cleared).
        QTest::newRow("FFC mark") << counterMovie(1, {4}, {}) << ok;
        // 8190 8191|mark 0 1: steps 8193 and -16383 (wrap while the mark goes).
        QTest::newRow("wrap under the mark") << counterMovie(8190, {2}, {}) << ok;
        QTest::newRow("wrap") << counterMovie(8190, {}, {}) << ok;
        QTest::newRow("gap") << counterMovie(1, {}, {2})
                             << QStringList{"Testing TMC file",
                                            "Current: 4  |  Last: 2  |  Diff: 2", "File CORRUPT"};
    }

    void fileTestAcceptsRecorderSteps() {
        QFETCH(synth::MovieOptions, options);
        QFETCH(QStringList, lines);
        const QString file = path(QStringLiteral("counters.TMC"));
        QVERIFY(synth::writeFile(file, synth::makeMovie(options)));
        QVERIFY(window->openInputFile(file));
        slider()->setValue(2);
        recorder->clear();
        get<QAction>("actionTest_TMC_file")->trigger();
        QCOMPARE(recorder->outLines(), lines);
        QCOMPARE(reports(), QStringList{"I|Test TMC file|" + lines.last()});
        // The test walked to the last frame; the window shows frame 2 again.
        QVERIFY(showsMovieFrame(options, 2));
    }

    void readoutAndSelectionFollowTheScreen_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"garbage.THR", "garbage.TMC"})
            QTest::newRow(name) << QString(name);
    }

    void readoutAndSelectionFollowTheScreen() {
        QFETCH(QString, name);
        QVERIFY(synth::writeFile(path(name), QByteArray(4000, 'g')));
        window->rawConfig()->setRadiometryOption(1);
        window->radiometryChanged(1);
        chooseInFileList(path("five.THM"));
        QTRY_COMPARE(window->getCurrentFileName(), path("five.THM"));
        const QString before = pointAt(3, 3);
        QVERIFY2(before.contains(QLatin1String("Temp: ")), qPrintable(before));
        // What the read-out says while the error box is up.
        QString during;
        const kx::ReportHook recording = kx::setReportHook({});
        kx::setReportHook([&](kx::ReportKind kind, const QString& title, const QString& text) {
            during = pointAt(3, 3);
            recording(kind, title, text);
        });
        chooseInFileList(path(name));
        QTRY_VERIFY(!during.isEmpty());
        kx::setReportHook(recording);
        QCOMPARE(during, before);
        QCOMPARE(window->getCurrentFileName(), path("five.THM"));
        QCOMPARE(selectedFiles(), QStringList{"five.THM"});
        QCOMPARE(pointAt(3, 3), before);
    }

    void reasonsForFilesThatAreNoRecordings_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("reason");
        const QByteArray frame = synth::makeSingleFrameFile(smallMovie(1, false));
        const QString movie = QStringLiteral("Error while loading file ");
        QTest::newRow("random bytes")
            << "random.TMC" << QByteArray(4000, 'g') << movie << "no frame signature";
        QTest::newRow("empty") << "empty.TMC" << QByteArray() << movie << "empty file";
        QTest::newRow("cut after 20 bytes")
            << "cut20.TMC" << frame.left(20) << movie
            << "header shorter than its length field: 20 of 2048 bytes";
        QTest::newRow("header only") << "header.THR" << frame.left(2048)
                                     << "Error while loading image (in Kalorix::loadRawImage) "
                                     << "last frame cut short";
    }

    void reasonsForFilesThatAreNoRecordings() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        QFETCH(QString, reason);
        QVERIFY(synth::writeFile(path(name), bytes));
        QString informative;
        const kx::ReportHook recording = kx::setReportHook({});
        kx::setReportHook([&](kx::ReportKind kind, const QString& title, const QString& text) {
            informative = kx::reportInformativeText();
            recording(kind, title, text);
        });
        recorder->clear();
        QVERIFY(!window->openInputFile(path(name)));
        kx::setReportHook(recording);
        QCOMPARE(reports().value(reports().size() - 1),
                 "E|Error|" + message + '"' + path(name) + '"');
        QCOMPARE(informative, reason);
        const QStringList out = recorder->outLines();
        const int at = out.lastIndexOf(QRegularExpression("^Error while loading .*"));
        QVERIFY2(at >= 0, qPrintable(out.join('\n')));
        QCOMPARE(out.value(at + 1), reason);
        // A report without a reason carries none, also after one with.
        kx::setReportHook([&](kx::ReportKind, const QString&, const QString&) {
            informative = kx::reportInformativeText();
        });
        kx::reportError(QStringLiteral("plain"));
        kx::setReportHook(recording);
        QCOMPARE(informative, QString());
    }

    void fitsTheScreen_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QSize>("least");
        // Screens less a panel at the bottom.
        QTest::newRow("1024 x 700") << QRect(0, 0, 1024, 672) << QSize(960, 600);
        QTest::newRow("1920 x 1080") << QRect(0, 0, 1920, 1040) << QSize(1700, 900);
    }

    void fitsTheScreen() {
        QFETCH(QRect, available);
        QFETCH(QSize, least);
        start(false);
        window->placeOnScreen(available);
        // Room is left for the title bar and borders the window system adds.
        const QRect outer = window->geometry().adjusted(0, 0, 16, 40);
        QVERIFY2(available.contains(outer), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                           .arg(outer.x())
                                                           .arg(outer.y())
                                                           .arg(outer.width())
                                                           .arg(outer.height())));
        QVERIFY(window->width() >= least.width() && window->height() >= least.height());
        QVERIFY(window->minimumSize().boundedTo(available.size() - QSize(16, 40)) ==
                window->minimumSize());

        // At the smallest size it opens with, nothing of the navigation or the
        // details is cut off.
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->openInputFile(path("single.THR")));
        const QString camera = label("lblCamera");
        QVERIFY(window->openInputFile(path("twenty.TMC")));
        get<QLabel>("lblCamera")->setText(camera + QStringLiteral(" and a longer description"));
        QTest::qWait(50);
        QStringList cut;
        const auto whole = [&](QWidget* w, QWidget* area) {
            const QRect inArea(w->mapTo(area, QPoint(0, 0)), w->size());
            QSize needed = w->hasHeightForWidth()
                               ? QSize(w->minimumSizeHint().width(), w->heightForWidth(w->width()))
                               : w->sizeHint();
            // A button is cut when its text and icon (and a little bevel) are:
            // the style's least width for text buttons is not a need.
            if (auto* button = qobject_cast<QPushButton*>(w))
                needed.setWidth(button->fontMetrics().horizontalAdvance(button->text()) +
                                (button->icon().isNull() ? 0 : button->iconSize().width() + 4) + 8);
            if (!w->isVisible() || !area->rect().contains(inArea) || w->width() < needed.width() ||
                w->height() < needed.height())
                cut << QStringLiteral("%1 %2x%3 of %4x%5")
                           .arg(w->objectName())
                           .arg(w->width())
                           .arg(w->height())
                           .arg(needed.width())
                           .arg(needed.height());
        };
        for (const char* name : {"btnFrameDown", "btnFrameUp", "btnPlayVideo", "btnPlayDoubleSpeed",
                                 "btnPlayTrippleSpeed", "lblStartFrame", "btnSetBegin",
                                 "lblEndFrame", "btnSetEnd", "lblCurrentFrame"})
            whole(get(name), get("wgVideoControls"));
        for (const char* name : {"lblCaptionCamera", "lblCamera", "lblCaptionTrackHeading",
                                 "lblTempHousing", "lblFrameNumber"})
            whole(get(name), get("gbImageDetails"));
        QCOMPARE(cut.join(QStringLiteral(", ")), QString());
    }

    void playbackShowsOnItsButton() {
        QVERIFY(window->openInputFile(path("twenty.TMC")));
        const auto pressed = [&]() {
            QString state;
            for (const char* name : {"btnPlayVideo", "btnPlayDoubleSpeed", "btnPlayTrippleSpeed"})
                state += get<QPushButton>(name)->isChecked() ? 'x' : '-';
            return state;
        };
        QString during;
        QTimer::singleShot(100, this, [&]() {
            during = pressed();
            click("btnPlayDoubleSpeed"); // stops
        });
        click("btnPlayDoubleSpeed");
        QCOMPARE(during + ' ' + pressed(), QStringLiteral("-x- ---"));
        QVERIFY(!window->isPlaying() && slider()->value() < 20);
    }

    void cutLastFrameIsNamed() {
        // Rows of 160 values, each after two blanking words: cutting the last
        // frame right after its row 100 leaves 100 of its 120 rows.
        synth::MovieOptions options = smallMovie(3, false);
        options.stream.blankingMin = 2;
        options.stream.blankingMax = 2;
        const QByteArray movie = synth::makeMovie(options);
        QVERIFY(movie.size() % 3 == 0);
        const int frameBytes = movie.size() / 3;
        const int streamStart = 2 * 2048;
        const int cut = 2 * frameBytes + streamStart + 2 * 100 * (2 + kWidth);
        QVERIFY(synth::writeFile(path("cut.THM"), movie.left(cut)));
        QVERIFY(window->openInputFile(path("cut.THM")));
        QString notes = label("lblFrameNote");
        for (int frame : {3, 2})
            slider()->setValue(frame), notes += '|' + label("lblFrameNote");
        QCOMPARE(notes, QStringLiteral("|frame cut short: 100 of 120 rows|"));
    }
};

KALORIX_WINDOW_TEST_MAIN(TestViewerMends)

#include "tst_viewermends.moc"
