#include "app/ui/KX_InfoDialog.h"
#include "app/ui/WindowTestSupport.h"
#include "conversion/HotspotMarker.h"
#include "conversion/ui/RawConvertConfig.h"
#include "telemetry/ui/DateTimeSettings.h"
#include "telemetry/ui/SerialDataExplorer.h"

using namespace windowtest;

namespace {

QStringList split(const char* list) {
    return QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

const QString kNmeaCamera = QStringLiteral("KS 640, 19mm\nslow video\nradiometric");

} // namespace

class TestMainWindow : public QObject, Fixture {
    Q_OBJECT

    // Answers the next file dialog the window opens.
    void onFileDialog(std::function<void(QFileDialog*)> answer) {
        QTimer::singleShot(0, this, [answer]() {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            answer(dialog);
        });
    }

    double scale() const { return view()->transform().m11(); }
    bool wheel(QWidget* target, QPointF at, int delta) const {
        QWheelEvent event(at, QPointF(target->mapToGlobal(at.toPoint())), QPoint(),
                          QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &event);
        return event.isAccepted();
    }

    // Frame label, range fields and the converter's frame after each step.
    QString where(const synth::MovieOptions& options) const {
        const int frame = slider()->value();
        return label("lblCurrentFrame") + " " + get<QLineEdit>("leStartFrame")->text() + "-" +
               get<QLineEdit>("leEndFrame")->text() + (showsMovieFrame(options, frame) ? "" : " ?");
    }

private slots:
    void initTestCase() {
        dir = testsupport::scratchDir() + QStringLiteral("/window");
        QDir().mkpath(dir + QStringLiteral("/other"));
        QVERIFY(synth::writeFile(path("ramp.THR"), rampFrame()));
        QVERIFY(synth::writeFile(path("hot.THR"), rampFrame(40, 30, 9000)));
        QVERIFY(synth::writeFile(path("five.THM"), synth::makeMovie(smallMovie(5, false))));
        QVERIFY(synth::writeFile(path("other/ten.TMC"), synth::makeMovie(smallMovie(10, true))));
        QVERIFY(synth::writeFile(path("garbage.THR"), QByteArray(4000, 'g')));
        QVERIFY(synth::writeFile(path("garbage.TMC"), QByteArray(4000, 'g')));
        // Indexed as one frame that holds a header only.
        QVERIFY(synth::writeFile(path("bare.TMC"), synth::makeHeader({})));
        QImage tiny(1, 1, QImage::Format_RGB32);
        tiny.fill(qRgb(10, 200, 30));
        QVERIFY(tiny.save(path("tiny.png")));
        QVERIFY(synth::writeFile(path("corrupt.png"),
                                 QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(100, '\x01')));
        synth::MovieOptions nmea = smallMovie(3, false);
        nmea.telemetry = synth::Telemetry::Nmea;
        nmea.partNumber = "4664001900SR123";
        QVERIFY(synth::writeFile(path("nmea.THM"), synth::makeMovie(nmea)));
        // Version 5 compressed: frame 1 carries the FFC mark on counter 1.
        synth::MovieOptions ffc = smallMovie(2, true);
        ffc.version = 5;
        ffc.ffcFrames = {1};
        QVERIFY(synth::writeFile(path("ffc.TMC"), synth::makeMovie(ffc)));
        // Version 4 headers carry no part number: the camera is told by width.
        for (const QSize& size : {QSize(160, 128), QSize(336, 256), QSize(324, 256)}) {
            synth::MovieOptions single = smallMovie(1, false);
            single.version = 4;
            single.scene.width = size.width();
            single.scene.height = size.height();
            QVERIFY(synth::writeFile(path(QStringLiteral("w%1.THR").arg(size.width())),
                                     synth::makeSingleFrameFile(single)));
        }
    }

    void init() {
        start(true);
        // Pixel arithmetic below is done in raw values and grey levels, on the
        // frame alone (a first start shows the legend beside it).
        window->rawConfig()->setColorMode(0);
        window->rawConfig()->setLegendVisibility(false);
    }

    void startUpState() {
        QCOMPARE(window->windowTitle(), QStringLiteral("Kalorix 2.1.3 - Velmora Technology"));
        QVERIFY(!window->isImageLoadOk() && !window->isDualCamera());
        for (const char* name :
             {"wgVideoControls", "progressBar", "slThermoOpacity", "sbThermoOpacity", "slShiftX",
              "sbShiftX", "slShiftY", "sbShiftY", "sbScale", "lblThermoOpacity", "lblShiftX",
              "lblShiftY", "lblScale"})
            QVERIFY2(!get(name)->isVisible(), name);
        QCOMPARE(get("btnQuickExport")->toolTip(),
                 QStringLiteral("Exports the current frame using settings from export dialog"));
        // The frame fields take whole numbers up to 100000; six digits may still
        // be edited into range, seven may not (0 invalid, 1 intermediate, 2 acceptable).
        for (const char* name : {"leStartFrame", "leEndFrame"}) {
            QString states;
            for (QString text : split("0 100000 100001 1000000 -1 1.5")) {
                int pos = 0;
                states += QString::number(get<QLineEdit>(name)->validator()->validate(text, pos));
            }
            QCOMPARE(states, QStringLiteral("221000"));
        }
        // Overlay sliders: range and start value (the stored shifts, 0 at a first start).
        QList<int> ranges;
        for (const char* name : {"slThermoOpacity", "slShiftX", "slShiftY"})
            ranges << get<QSlider>(name)->minimum() << get<QSlider>(name)->maximum()
                   << get<QSlider>(name)->value();
        QCOMPARE(ranges, QList<int>({0, 100, 50, -200, 200, 0, -200, 200, 0}));
        auto* scale = get<QDoubleSpinBox>("sbScale");
        QCOMPARE(QList<double>({double(scale->decimals()), scale->maximum(), scale->value()}),
                 QList<double>({2, 99.99, 49}));
        window->setDualCamControlsVisible(true);
        QVERIFY(window->isDualCamera() && scale->isVisible() && get("lblShiftY")->isVisible());
    }

    void radiometryAndPlanck() {
        // Any option but 0, 1 and 2 leaves the resolution as it is.
        const std::pair<int, float> options[] = {{1, 0.04f}, {7, 0.04f}, {0, 4.0f}, {2, 0.4f}};
        for (const auto& [option, resolution] : options) {
            window->radiometryChanged(option);
            QCOMPARE(window->getTLinearResolution(), resolution);
        }
        // The constants start at the dialog's defaults; R2 arrives in ten-thousandths.
        QList<double> constants{window->getPlanckB(), window->getPlanckO(), window->getPlanckR1(),
                                window->getPlanckR2()};
        window->planckR2ValueChanged(999);
        QCOMPARE(constants << window->getPlanckR2(),
                 QList<double>({1600.0, -5030.0, 16030.0, 0.0953, 0.0999}));
    }

    void telemetryLabels() {
        get<QAction>("actionParse_NMEA_Data")->setChecked(true);
        QVERIFY(window->openInputFile(path("nmea.THM")));
        const auto texts = [&]() {
            QStringList list;
            for (const char* name : {"lblLatitude", "lblLongitude", "lblAltitude", "lblSatellites",
                                     "lblDate", "lblTime", "lblTempFPA", "lblTempHousing"})
                list << label(name);
            return list.join(' ') + '|' + label("lblCamera");
        };
        // The flight starts at 47.3977 N, 8.5456 E, 480 m, 11 satellites,
        // 31.05.2016 14:24:23 UTC; the headings move with it.
        QCOMPARE(texts(),
                 "47.39770 8.54560 480.0 11 31.05.2016 14:24:23 31.4 29.87|" + kNmeaCamera);
        QVERIFY(!label("lblTrackHeading").isEmpty() && !label("lblMagHeading").isEmpty());

        // Unchecking blanks the telemetry labels; the header's values stay,
        // and stepping on without parsing leaves them blank.
        trigger("actionParse_NMEA_Data");
        QCOMPARE(texts(), "      31.4 29.87|" + kNmeaCamera);
        QCOMPARE(label("lblTrackHeading") + label("lblMagHeading"), QString());
        slider()->setValue(2);
        QCOMPARE(texts(), "      31.4 29.87|" + kNmeaCamera);
        // Checking again reloads the frame with parsing.
        trigger("actionParse_NMEA_Data");
        QVERIFY(slider()->value() == 2 && texts().startsWith(QLatin1String("47.39")) &&
                label("lblDate") == "31.05.2016");
    }

    void cameraAndFrameLabels() {
        // The frame number without the FFC mark (counter 8193 = mark + 1).
        QVERIFY(window->openInputFile(path("ffc.TMC")));
        QCOMPARE(window->converter()->getCurrentFrameNumber(), 8193u);
        const QString first = label("lblFrameNumber");
        slider()->setValue(2);
        QCOMPARE(first + ' ' + label("lblFrameNumber"), QStringLiteral("1 2"));
        // The part number's description is checked with its decoding (and
        // shown in telemetryLabels). Version 4 headers carry no part number:
        // the camera is told by width.
        for (const char* width : {"160", "336", "324"}) {
            QVERIFY(window->openInputFile(path(QStringLiteral("w%1.THR").arg(width))));
            QCOMPARE(label("lblCamera"), QStringLiteral("KS ") + width);
        }
    }

    void customLogo() {
        const QString logo = QDir::currentPath() + QStringLiteral("/logo.png");
        QFile::remove(logo);
        QVERIFY(get<QLabel>("lblLogo")->pixmap(Qt::ReturnByValue).isNull());
        QVERIFY(QImage(path("tiny.png")).scaled(30, 12).save(logo));
        window = makeWindow();
        QCOMPARE(get<QLabel>("lblLogo")->pixmap(Qt::ReturnByValue).size(), QSize(30, 12));
        QVERIFY(QFile::remove(logo));
    }

    // The 32 actions in the form's order, each as "name without "action"=
    // text|shortcut|flags|tool tip where it differs from the text"; flags: o
    // checkable, x checked, i with icon. The check states are a first start's:
    // the store's defaults replace the form's (no parsing, drift compensation
    // on, updates checked); "Show legend" follows the dialog, switched off above. Help (F1) and
    // Export (until a file is open) are disabled: they do nothing.
    void actions() {
        QStringList descriptions;
        for (QAction* a : window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (a->objectName().startsWith(QLatin1String("action")))
                descriptions << a->objectName().mid(6) + '=' + a->text() + '|' +
                                    a->shortcut().toString() + '|' +
                                    (a->isCheckable() ? (a->isChecked() ? "x" : "o") : "") +
                                    (a->icon().pixmap(24).isNull() ? "" : "i") + '|' +
                                    (a->toolTip() == a->text() ? QString() : a->toolTip());
        }
        QVERIFY(!get<QAction>("actionHelp")->isEnabled() &&
                !get<QAction>("actionExport_frames")->isEnabled());
        QCOMPARE(
            descriptions,
            QString(
                "Open_File=Open Raw Data File(s)|Ctrl+O|i|;Open_Files=Open Files|||;Quit=Quit||i|;"
                "Radiometric_Parameters=Radiometric parameters||i|;RAW_conversion_parameters=RAW "
                "conversion parameters||i|Display RAW conversion parameters dialog;"
                "Parse_NMEA_Data=Parse NMEA data||o|;Help=Help|F1|i|;About_Kalorix=About "
                "Kalorix||i|;Parse_md_downlink_data=Parse md downlink data||o|;"
                "Batch_conversion=Batch conversion (for THR files)||i|;Start_playing_movie=Start "
                "playing movie||i|;Show_legend=Show legend||oi|Toggle display of legend;"
                "Export_frames=Export frames||i|Export frames into other file formats;"
                "Zoom_in=Zoom in|Ctrl++|i|;Zoom_out=Zoom out|Ctrl+-|i|;Zoom_to_original_size=Zoom "
                "to original size||i|;Merge=Merge Files||i|Merge multiple files into one;"
                "Mark_Hotspot=Mark Hotspot||oi|Enable/Disable display of hotspot marker;"
                "Toogle_mouse_dragging=Toogle mouse dragging||oi|Toogle mouse dragging for image "
                "preview pane;Display_Serial_Data=Display Serial "
                "Data||oi|<html><head/><body><p>Displays serial data for each individual "
                "frame</p></body></html>;Export_To_Tiff=Export To Tiff||i|;Split_file=Split "
                "file||i|Exports the frames defined by \"Set begin\" and \"Set end\" to a new .TMC "
                "file;TEST=TEST|||;Parse_MAVLink_data=Parse Mavlink data||o|;Test_TMC_file=Test "
                "TMC file|Ctrl+Alt+T|i|;Check_frame_counter_on_open=Check frame counter on "
                "open||o|;Drift_compensation_beta=Drift compensation (beta)||o|;"
                "Date_Time_settings=Date / Time settings||i|;Drift_compensation=Drift "
                "compensation||x|;Automatic_Updates=Disable Automatic Updates||o|;Zoom_fit=Zoom "
                "fit||i|;NUC_Settings=NUC Settings||i|")
                .split(';'));
    }

    // Each menu as its title and entries (names without "action"), "|" for a
    // separator, then the tool bar.
    void menusAndToolBar() {
        QStringList entries;
        QList<QPair<QString, QList<QAction*>>> bars;
        for (QAction* menu : window->menuBar()->actions())
            bars.append({menu->text() + ':', menu->menu()->actions()});
        bars.append({"Tools:", get<QToolBar>("mainToolBar")->actions()});
        for (const auto& [title, actions] : bars) {
            entries << title;
            for (QAction* action : actions)
                entries << (action->isSeparator() ? QStringLiteral("|")
                                                  : action->objectName().mid(6));
        }
        // "Test TMC file" joins the editing of files; "Radiometric parameters"
        // sits beside the other conversion parameters.
        QCOMPARE(
            entries,
            split(
                "File: Open_File | Batch_conversion Export_frames | Quit Edit: Split_file Merge | "
                "Test_TMC_file Settings: RAW_conversion_parameters Radiometric_Parameters | "
                "Parse_NMEA_Data Parse_md_downlink_data Parse_MAVLink_data Date_Time_settings | "
                "Toogle_mouse_dragging | Mark_Hotspot Display_Serial_Data "
                "Check_frame_counter_on_open | Drift_compensation_beta Drift_compensation | "
                "NUC_Settings | Automatic_Updates View: Zoom_in Zoom_out Zoom_to_original_size "
                "Zoom_fit | Show_legend Start_playing_movie | Flight_track &Measure: MeasureSpot "
                "MeasureBox MeasureLine DeleteMeasurement CopyMeasurements | MeasurePlanck Help: "
                "Help | About_Kalorix Tools: Open_File | Export_frames | RAW_conversion_parameters "
                "| Zoom_in Zoom_out Zoom_to_original_size Zoom_fit | Merge Split_file | "
                "Toogle_mouse_dragging NUC_Settings | MeasureSpot MeasureBox MeasureLine "
                "DeleteMeasurement"));
    }

    void openFromMenuOpensTheFirstFile() {
        onFileDialog([&](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Open raw file(s)"));
            QCOMPARE(dialog->nameFilters(),
                     QStringList{QStringLiteral("Kestrum (*.thr *.thc *.thm *.tmc *.tfc)")});
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            dialog->setDirectory(dir);
            dialog->selectFile(QStringLiteral("\"hot.THR\" \"ramp.THR\" \"five.THM\""));
            static_cast<QDialog*>(dialog)->accept();
        });
        trigger("actionOpen_File");
        QCOMPARE(window->chosenFileNames().size(), 3);
        QCOMPARE(window->getCurrentFileName(), path("hot.THR"));
        QCOMPARE(reports(), QStringList());
        QVERIFY(get<QAction>("actionExport_frames")->isEnabled());

        // The next dialog starts in that folder; cancelling opens nothing.
        onFileDialog([&](QFileDialog* dialog) {
            QCOMPARE(dialog->directory().absolutePath(), dir);
            dialog->reject();
        });
        trigger("actionOpen_File");
        QCOMPARE(window->getCurrentFileName(), path("hot.THR"));
    }

    void dialogsFollowTheirActions() {
        auto* about = window->findChild<KX_InfoDialog*>();
        auto* dateTime = window->findChild<DateTimeSettings*>();
        auto* explorer = window->findChild<SerialDataExplorer*>();
        QVERIFY(about && dateTime && explorer);
        QVERIFY(!about->isVisible() && !dateTime->isVisible() && !explorer->isVisible());
        trigger("actionAbout_Kalorix");
        QVERIFY(about->isVisible());
        QStringList texts{about->windowTitle()};
        for (const char* name : {"lblVersion", "lblBuildDateCaption", "lblBuildDate"})
            texts << about->findChild<QLabel*>(name)->text();
        QCOMPARE(texts.join('|'), QStringLiteral("About Kalorix|2.1.3|Built on|July, 13th 2017"));
        const QString legal = about->findChild<QLabel*>("lblRights")->text() + '|' +
                              about->findChild<QLabel*>("lblWarranty")->text();
        QVERIFY2(legal.contains(QLatin1String("Velmora Technology. All rights reserved.|")) &&
                     legal.contains(QLatin1String("without warranty of any kind")),
                 qPrintable(legal));
        // The small logo of the resources, small enough to fit the dialog.
        const QPixmap logo(QStringLiteral(":/Velmora_logo_small.png"));
        QVERIFY(!logo.isNull() && logo.width() <= 256 && logo.height() <= 96);
        QCOMPARE(about->findChild<QLabel*>("lblLogo")->pixmap(Qt::ReturnByValue).toImage(),
                 logo.toImage());
        // One button, and it closes the dialog.
        QCOMPARE(about->findChildren<QAbstractButton*>().size(), 1);
        about->findChild<QAbstractButton*>()->click();
        QVERIFY(!about->isVisible());
        trigger("actionDate_Time_settings");
        QVERIFY(dateTime->isVisible());
        dateTime->setHourOffset(-5);
        QCOMPARE(window->converter()->getHourOffset(), -5);

        trigger("actionDisplay_Serial_Data");
        QVERIFY(explorer->isVisible());
        trigger("actionDisplay_Serial_Data");
        QVERIFY(!explorer->isVisible());
        // Closing the window itself unchecks the action.
        trigger("actionDisplay_Serial_Data");
        explorer->reject();
        QVERIFY(!get<QAction>("actionDisplay_Serial_Data")->isChecked());
    }

    void parseActionsExcludeEachOther() {
        const std::tuple<const char*, const char*, ksDefines::serialContent> steps[] = {
            {"actionParse_NMEA_Data", "x--", ksDefines::NMEA},
            {"actionParse_MAVLink_data", "--x", ksDefines::MAVLink},
            {"actionParse_md_downlink_data", "-x-", ksDefines::MdDownlink},
            {"actionParse_md_downlink_data", "---", ksDefines::NoSerialData}};
        for (const auto& [action, checked, content] : steps) {
            if (action != nullptr)
                trigger(action);
            QString state;
            for (const char* name : {"actionParse_NMEA_Data", "actionParse_md_downlink_data",
                                     "actionParse_MAVLink_data"})
                state += get<QAction>(name)->isChecked() ? 'x' : '-';
            QCOMPARE(state, QLatin1String(checked));
            QCOMPARE(window->currentSerialContent(), content);
        }
    }

    // A missing file is passed over; of the others only the first opens.
    void droppedFilesOpen() {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path("notes.txt")), QUrl::fromLocalFile(path("five.THM")),
                      QUrl::fromLocalFile(path("tiny.png"))});
        QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &drop);
        QCOMPARE(window->getCurrentFileName(), path("five.THM"));
        QCOMPARE(slider()->maximum(), 5);
        QCOMPARE(reports(), QStringList());
    }

    void browserFolderIsRemembered() {
        start(true);
        auto* tree = get<QTreeView>("tvFolders");
        auto* dirModel = qobject_cast<QFileSystemModel*>(tree->model());
        // The first start shows the home folder, its name in sight however
        // deep it is nested (the scratch folder is deeper than the pane is wide).
        QCOMPARE(dirModel->filePath(tree->currentIndex()), QDir::homePath());
        const auto nameInSight = [&tree](const QModelIndex& index) {
            const QRect name = tree->visualRect(index);
            return name.left() >= 0 && name.left() + 20 < tree->viewport()->width() &&
                   name.top() >= 0 && name.bottom() < tree->viewport()->height();
        };
        QTRY_VERIFY(nameInSight(tree->currentIndex()));
        const QString folder = dir + QStringLiteral("/other");
        const QModelIndex index = dirModel->index(folder);
        QVERIFY(index.isValid());
        // As the user would: scroll the folder's name into sight and click it.
        tree->scrollTo(index);
        tree->horizontalScrollBar()->setValue(tree->horizontalScrollBar()->value() +
                                              tree->visualRect(index).left());
        QVERIFY(nameInSight(index));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualRect(index).topLeft() + QPoint(10, 4));
        for (int round = 0; round < 2; ++round) {
            auto* list = get<QListView>("lvFiles");
            auto* fileModel = qobject_cast<QFileSystemModel*>(list->model());
            QCOMPARE(fileModel->filePath(list->rootIndex()), folder);
            // Only recordings and pictures are listed.
            QVERIFY(!fileModel->nameFilterDisables());
            QCOMPARE(fileModel->nameFilters(),
                     split("*.TMC *.THM *.THR *.TFC *.THC *.JPG *.JPEG *.PNG"));
            window = makeWindow();
        }
        const QString deep = dir + QStringLiteral("/a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r");
        QVERIFY(QDir().mkpath(deep));
        start(true, {{QStringLiteral("lastBrowserFolder"), deep}});
        tree = get<QTreeView>("tvFolders");
        QVERIFY(tree->viewport()->width() < 18 * tree->indentation());
        QCOMPARE(qobject_cast<QFileSystemModel*>(tree->model())->filePath(tree->currentIndex()),
                 deep);
        QTRY_VERIFY(nameInSight(tree->currentIndex()));
    }

    void movieNavigation() {
        const synth::MovieOptions options = smallMovie(5, false);
        QVERIFY(window->openInputFile(path("five.THM")));
        QVERIFY(get("wgVideoControls")->isVisible());
        QCOMPARE(QList<int>({slider()->minimum(), slider()->maximum(), slider()->pageStep()}),
                 QList<int>({1, 5, 1}));
        QCOMPARE(label("lblFilename") + ' ' + where(options), QStringLiteral("five.THM 1 / 5 1-5"));
        // The file browser shows the file's folder.
        auto* list = get<QListView>("lvFiles");
        auto* files = qobject_cast<QFileSystemModel*>(list->model());
        QCOMPARE(files->filePath(list->rootIndex()), dir);
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

        // The file is selected in the list, also in a window that started in
        // the folder remembered by the previous one, and the selection stays.
        start(true);
        QVERIFY(window->openInputFile(path("five.THM")));
        list = get<QListView>("lvFiles");
        files = qobject_cast<QFileSystemModel*>(list->model());
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

        // Playback runs to the last frame: four steps of 120 / 3 = 40 ms; each
        // step measures whole milliseconds, so it may end up to a millisecond
        // early. Without the wait the four steps take a few milliseconds.
        slider()->setValue(1);
        QElapsedTimer timer;
        timer.start();
        click("btnPlayTrippleSpeed");
        const qint64 elapsed = timer.elapsed();
        QVERIFY2(elapsed >= 155, qPrintable(QString::number(elapsed)));
        QVERIFY(!window->isPlaying() && showsMovieFrame(options, 5));
    }

    void pixelReadout_data() {
        QTest::addColumn<int>("rotation");
        QTest::addColumn<int>("radiometry");
        QTest::addColumn<QPoint>("scenePoint");
        QTest::addColumn<QString>("expected");
        // Raw values from 1000 + x + 50 y.
        QTest::newRow("0") << 0 << 0 << QPoint(7, 12) << "X: 007, Y: 012 RAW: 1607";
        QTest::newRow("90 inside") << 90 << 0 << QPoint(5, 2) << "X: 002, Y: 114 RAW: 6702";
        QTest::newRow("180 top left") << 180 << 0 << QPoint(0, 0) << "X: 159, Y: 119 RAW: 7109";
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
        QCOMPARE(pointAt(scenePoint.x(), scenePoint.y()), expected);
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
        QVERIFY(qAbs(scale() - 8.916100448) < 1e-6 &&
                qAbs(window->getZoomFactor() - 8.916100448) < 1e-6);
        trigger("actionZoom_to_original_size");
        QVERIFY(window->getZoomFactor() == 1.0 && scale() == 1.0);
        for (int i = 0; i < 100; ++i)
            trigger("actionZoom_out");
        // 1.2^-10 (square 0.026) may still shrink; 1.2^-11 (square 0.018) may not.
        QVERIFY(qAbs(scale() - 0.134587618) < 1e-6);

        // The wheel zooms over the view only.
        trigger("actionZoom_to_original_size");
        const std::pair<int, double> steps[] = {{120, 1.2}, {120, 1.44}, {-120, 1.2}};
        for (const auto& [delta, expected] : steps) {
            wheel(view()->viewport(), QPointF(view()->viewport()->rect().center()), delta);
            QVERIFY(qAbs(scale() - expected) < 1e-9);
        }
        QVERIFY(wheel(window.get(), QPointF(5, 5), 120));
        QVERIFY(qAbs(scale() - 1.2) < 1e-9);

        // Fit: inside the pane less 10 pixels, touching it in one direction.
        trigger("actionZoom_fit");
        QCOMPARE(window->getZoomFactor(), 1.0);
        const double width = kWidth * scale() - (view()->width() - 10);
        const double height = kHeight * scale() - (view()->height() - 10);
        QVERIFY(width <= 1e-3 && height <= 1e-3 && (width > -1e-3 || height > -1e-3));
    }

    void draggingTogglesHandMode() {
        const QImage hand = QIcon(QStringLiteral(":/icons/cursorHand")).pixmap(24).toImage();
        const QImage arrow = QIcon(QStringLiteral(":/icons/cursorArrow")).pixmap(24).toImage();
        QVERIFY(!hand.isNull() && hand != arrow);
        for (const QImage& icon : {hand, arrow, hand}) {
            QAction* drag = get<QAction>("actionToogle_mouse_dragging");
            QCOMPARE(drag->icon().pixmap(24).toImage(), icon);
            QCOMPARE(view()->dragMode(),
                     drag->isChecked() ? QGraphicsView::ScrollHandDrag : QGraphicsView::NoDrag);
            drag->trigger();
        }
    }

    void hotSpotMarker() {
        QVERIFY(window->openInputFile(path("hot.THR")));
        // The decoder counts columns and rows of the hot spot from 1.
        QCOMPARE(
            QList<uint>({window->getMarkerX(), window->getMarkerY(), window->getMarkerValue()}),
            QList<uint>({41, 31, 9000}));
        const QImage plain = shownImage();
        trigger("actionMark_Hotspot");
        // Centred on the hot pixel itself, as on exported pictures.
        QImage expected = plain;
        kx::paintHotspotMarker(expected, 40, 30);
        QCOMPARE(shownImage(), expected);
        trigger("actionMark_Hotspot");
        QCOMPARE(shownImage(), plain);
    }

    void legendAndSingleFramePlay() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        QAction* legend = get<QAction>("actionShow_legend");
        legend->trigger();
        QVERIFY(window->rawConfig()->getLegendVisibility());
        // The strip is 61 pixels wide, squeezed to the frame's height.
        QCOMPARE(shownImage().size(), QSize(kWidth + 61, kHeight));
        window->rawConfig()->setLegendVisibility(false);
        QVERIFY(!legend->isChecked());
        const QImage before = shownImage();
        QCOMPARE(before.size(), QSize(kWidth, kHeight));
        // Playing a single frame does nothing.
        click("btnPlayVideo");
        trigger("actionStart_playing_movie");
        QVERIFY(!window->isPlaying() && window->isImageLoadOk());
        QCOMPARE(shownImage(), before);
        QCOMPARE(reports(), QStringList());
    }

    // Pressing "2x" while playing, or closing the window, stops the playback
    // at its next step; "2x" leaves the speed at 2 for the next start.
    void playbackStops_data() {
        QTest::addColumn<bool>("close");
        QTest::newRow("2x") << false;
        QTest::newRow("window closed") << true;
    }

    void playbackStops() {
        QFETCH(bool, close);
        QVERIFY(window->openInputFile(path("other/ten.TMC")));
        int valueWhenStopped = 0;
        QTimer::singleShot(300, this, [&]() {
            QVERIFY(window->isPlaying());
            if (close)
                QVERIFY(window->close());
            else
                click("btnPlayDoubleSpeed");
            valueWhenStopped = slider()->value();
        });
        click("btnPlayVideo");
        QVERIFY(!window->isPlaying() && valueWhenStopped >= 2);
        QVERIFY(slider()->value() <= valueWhenStopped + 1);
        QCOMPARE(QList<int>({int(window->getPlaySpeed()), window->isVisible()}),
                 QList<int>({close ? 1 : 2, !close}));
    }

    // The loaders' messages are checked with the loaders; here: one error
    // naming the file, and the movie stays.
    void failedOpenKeepsTheMovie_data() {
        QTest::addColumn<QString>("file");
        for (const char* file : {"garbage.THR", "garbage.TMC", "missing.TFC", "bare.TMC"})
            QTest::newRow(file) << QString(file);
    }

    void failedOpenKeepsTheMovie() {
        QFETCH(QString, file);
        const synth::MovieOptions options = smallMovie(5, false);
        QVERIFY(window->openInputFile(path("five.THM")));
        slider()->setValue(3);
        const QImage before = shownImage();
        recorder->clear();
        QVERIFY(!window->openInputFile(path(file)));
        QVERIFY(reports().size() == 1 && reports()[0].startsWith(QLatin1String("E|Error|Error")) &&
                reports()[0].endsWith(" \"" + path(file) + "\""));
        QCOMPARE(window->getCurrentFileName(), path("five.THM"));
        QVERIFY(window->isImageLoadOk() && get("wgVideoControls")->isVisible());
        QCOMPARE(shownImage(), before);
        click("btnFrameUp");
        QCOMPARE(label("lblFilename") + ' ' + where(options), QStringLiteral("five.THM 4 / 5 1-5"));
    }

    void picturesFromTheFileList() {
        QVERIFY(window->openInputFile(path("ramp.THR")));
        chooseInFileList(path("tiny.png"));
        QCOMPARE(window->getCurrentFileType(), ksDefines::Image);
        QCOMPARE(shownImage(), QImage(path("tiny.png")).convertToFormat(QImage::Format_RGB32));
        QCOMPARE(label("lblFilename"), QStringLiteral("tiny.png"));
        // A picture has neither raw values nor camera details.
        QCOMPARE(pointAt(0, 0) + label("lblCamera") + label("lblTempFPA"), QString());

        chooseInFileList(path("corrupt.png"));
        QCOMPARE(reports(),
                 QStringList{"E|Error|Error while loading image \"" + path("corrupt.png") + "\""});
        QCOMPARE(shownImage().size(), QSize(1, 1));

        // A recording opened after a picture is painted again.
        chooseInFileList(path("ramp.THR"));
        QCOMPARE(window->getCurrentFileType(), ksDefines::RawRecording);
        QCOMPARE(shownImage().size(), QSize(kWidth, kHeight));

        // A huge picture opens and fits.
        QImage big(10000, 10000, QImage::Format_RGB888);
        big.fill(qRgb(1, 2, 3));
        QVERIFY(big.save(path("huge.png")));
        chooseInFileList(path("huge.png"));
        QCOMPARE(window->getDisplayImage().size(), QSize(10000, 10000));
        trigger("actionZoom_fit");
        QVERIFY(scale() < 0.2);
        QCOMPARE(reports().size(), 1);
    }

    // Quit ends the process at once with exit code 0: nothing after it runs,
    // not even the window's destructor.
    void quitEndsTheProcess() {
        // Several times: ending the process while the file browser's threads
        // still ran crashed only now and then.
        for (int run = 0; run < 8; ++run)
            QCOMPARE(runQuitChild(), QByteArray("before quit\n0"));
    }
};

int main(int argc, char** argv) {
    return windowTestMain<TestMainWindow>(argc, argv, [](Kalorix&) {});
}

#include "tst_mainwindow.moc"
