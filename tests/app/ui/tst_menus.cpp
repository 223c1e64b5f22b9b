#include "app/ui/KX_InfoDialog.h"
#include "app/ui/WindowTestSupport.h"
#include "recording/DataConverter.h"
#include "telemetry/ui/DateTimeSettings.h"
#include "telemetry/ui/SerialDataExplorer.h"

#include <QAction>
#include <QFileDialog>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QUrl>

using namespace windowtest;

namespace {

// Object names of a menu's or tool bar's entries, "|" for a separator.
QStringList entries(const QList<QAction*>& actions) {
    QStringList names;
    for (QAction* action : actions)
        names << (action->isSeparator() ? QStringLiteral("|") : action->objectName());
    return names;
}

QStringList split(const char* list) {
    return QString::fromLatin1(list).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestMenus : public QObject {
    Q_OBJECT

private:
    QString dir;
    std::unique_ptr<Kalorix> window;
    std::unique_ptr<testsupport::Recorder> recorder;

    QString path(const QString& name) const { return dir + QLatin1Char('/') + name; }

private slots:
    void initTestCase() {
        dir = testsupport::scratchDir() + QStringLiteral("/menus");
        QDir().mkpath(dir + QStringLiteral("/other"));
        QVERIFY(synth::writeFile(path("a.THR"), rampFrame()));
        QVERIFY(synth::writeFile(path("b.THR"), rampFrame(3, 3, 9000)));
        QVERIFY(synth::writeFile(path("c.THM"), synth::makeMovie(smallMovie(3, false))));
        QVERIFY(synth::writeFile(path("other/d.TMC"), synth::makeMovie(smallMovie(4, true))));
    }

    void init() {
        recorder = std::make_unique<testsupport::Recorder>();
        window = makeWindow();
        window->resize(1280, 800);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }

    void cleanup() {
        window.reset();
        recorder.reset();
    }

    void title() {
        QCOMPARE(window->windowTitle(), QStringLiteral("Kalorix 2.1.3 - Velmora Technology"));
    }

    void actionTable_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<QString>("toolTip");
        const QString none;
        auto row = [](const char* name, const char* text, const char* shortcut, bool checkable,
                      bool checked, const QString& tip) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromUtf8(text)
                                << QString::fromLatin1(shortcut) << checkable << checked << tip;
        };
        row("actionOpen_File", "Open Raw Data File(s)", "Ctrl+O", false, false, none);
        row("actionOpen_Files", "Open Files", "", false, false, none);
        row("actionQuit", "Quit", "", false, false, none);
        row("actionRadiometric_Parameters", "Radiometric parameters", "", false, false, none);
        row("actionRAW_conversion_parameters", "RAW conversion parameters", "", false, false,
            QStringLiteral("Display RAW conversion parameters dialog"));
        row("actionParse_NMEA_Data", "Parse NMEA data", "", true, true, none);
        row("actionHelp", "Help", "F1", false, false, none);
        row("actionAbout_Kalorix", "About Kalorix", "", false, false, none);
        row("actionParse_md_downlink_data", "Parse md downlink data", "", true, false, none);
        row("actionBatch_conversion", "Batch conversion (for THR files)", "", false, false, none);
        row("actionStart_playing_movie", "Start playing movie", "", false, false, none);
        row("actionShow_legend", "Show legend", "", true, false,
            QStringLiteral("Toggle display of legend"));
        row("actionExport_frames", "Export frames", "", false, false,
            QStringLiteral("Export frames into other file formats"));
        row("actionZoom_in", "Zoom in", "Ctrl++", false, false, none);
        row("actionZoom_out", "Zoom out", "Ctrl+-", false, false, none);
        row("actionZoom_to_original_size", "Zoom to original size", "", false, false, none);
        row("actionMerge", "Merge Files", "", false, false,
            QStringLiteral("Merge multiple files into one"));
        row("actionMark_Hotspot", "Mark Hotspot", "", true, false,
            QStringLiteral("Enable/Disable display of hotspot marker"));
        row("actionToogle_mouse_dragging", "Toogle mouse dragging", "", true, false,
            QStringLiteral("Toogle mouse dragging for image preview pane"));
        row("actionDisplay_Serial_Data", "Display Serial Data", "", true, false,
            QStringLiteral("<html><head/><body><p>Displays serial data for each individual "
                           "frame</p></body></html>"));
        row("actionExport_To_Tiff", "Export To Tiff", "", false, false, none);
        row("actionSplit_file", "Split file", "", false, false,
            QStringLiteral("Exports the frames defined by \"Set begin\" and \"Set end\" to a new "
                           ".TMC file"));
        row("actionTEST", "TEST", "", false, false, none);
        row("actionParse_MAVLink_data", "Parse Mavlink data", "", true, false, none);
        row("actionTest_TMC_file", "Test TMC file", "Ctrl+Alt+T", false, false, none);
        row("actionCheck_frame_counter_on_open", "Check frame counter on open", "", true, false,
            none);
        row("actionDrift_compensation_beta", "Drift compensation (beta)", "", true, false, none);
        row("actionDate_Time_settings", "Date / Time settings", "", false, false, none);
        row("actionDrift_compensation", "Drift compensation", "", true, false, none);
        row("actionAutomatic_Updates", "Disable Automatic Updates", "", true, true, none);
        row("actionZoom_fit", "Zoom fit", "", false, false, none);
        row("actionNUC_Settings", "NUC Settings", "", false, false, none);
    }

    // "Show legend" follows the settings dialog's switch, which starts off.
    void actionTable() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        QFETCH(bool, checkable);
        QFETCH(bool, checked);
        QFETCH(QString, toolTip);
        auto* action = window->findChild<QAction*>(name);
        QVERIFY(action != nullptr);
        QCOMPARE(action->text(), text);
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
        QCOMPARE(action->isCheckable(), checkable);
        QCOMPARE(action->isChecked(), checked);
        if (!toolTip.isEmpty())
            QCOMPARE(action->toolTip(), toolTip);
    }

    void thirtyTwoActionsInFormOrder() {
        QStringList names;
        for (QAction* action :
             window->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly))
            if (action->objectName().startsWith(QLatin1String("action")))
                names << action->objectName();
        QCOMPARE(names.size(), 32);
        QCOMPARE(names.first(), QStringLiteral("actionOpen_File"));
        QCOMPARE(names.last(), QStringLiteral("actionNUC_Settings"));
    }

    void menus() {
        QMenuBar* bar = window->menuBar();
        QStringList titles;
        for (QAction* menu : bar->actions())
            titles << menu->text();
        QCOMPARE(titles, split("File Edit Settings View Help"));
        auto menu = [&](const char* name) {
            return entries(child<QMenu>(*window, name)->actions());
        };
        QCOMPARE(
            menu("menuFile"),
            split("actionOpen_File | actionBatch_conversion actionExport_frames | actionQuit"));
        // "Test TMC file" joins the editing of files.
        QCOMPARE(menu("menuEdit"), split("actionSplit_file actionMerge | actionTest_TMC_file"));
        // "Radiometric parameters" sits beside the other conversion parameters.
        QCOMPARE(menu("menuSettings"),
                 split("actionRAW_conversion_parameters actionRadiometric_Parameters | "
                       "actionParse_NMEA_Data actionParse_md_downlink_data "
                       "actionParse_MAVLink_data actionDate_Time_settings | "
                       "actionToogle_mouse_dragging | actionMark_Hotspot "
                       "actionDisplay_Serial_Data actionCheck_frame_counter_on_open | "
                       "actionDrift_compensation_beta actionDrift_compensation | "
                       "actionNUC_Settings | actionAutomatic_Updates"));
        QCOMPARE(menu("menuView"),
                 split("actionZoom_in actionZoom_out actionZoom_to_original_size actionZoom_fit | "
                       "actionShow_legend actionStart_playing_movie"));
        QCOMPARE(menu("menuHelp"), split("actionHelp | actionAbout_Kalorix"));
        QCOMPARE(entries(child<QToolBar>(*window, "mainToolBar")->actions()),
                 split("actionOpen_File | actionExport_frames | actionRAW_conversion_parameters | "
                       "actionZoom_in actionZoom_out actionZoom_to_original_size actionZoom_fit | "
                       "actionMerge actionSplit_file | actionToogle_mouse_dragging "
                       "actionNUC_Settings"));
    }

    void everyOfferedActionHasAnIcon() {
        const QStringList withoutIcon =
            split("actionOpen_Files actionTEST actionParse_NMEA_Data actionParse_md_downlink_data "
                  "actionParse_MAVLink_data actionCheck_frame_counter_on_open "
                  "actionDrift_compensation_beta actionDrift_compensation actionAutomatic_Updates");
        for (QAction* action : window->findChildren<QAction*>()) {
            if (!action->objectName().startsWith(QLatin1String("action")) ||
                withoutIcon.contains(action->objectName()))
                continue;
            QVERIFY2(!action->icon().pixmap(24).isNull(), qPrintable(action->objectName()));
        }
    }

    void helpIsDisabled() {
        QAction* help = child<QAction>(*window, "actionHelp");
        QVERIFY(!help->isEnabled());
        QSignalSpy triggered(help, &QAction::triggered);
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(window.get(), Qt::Key_F1);
        QCOMPARE(triggered.count(), 0);
    }

    void openFromMenuOpensTheFirstFile() {
        bool dialogSeen = false;
        QTimer::singleShot(0, this, [&]() {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            dialogSeen = true;
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Open raw file(s)"));
            QCOMPARE(dialog->nameFilters(),
                     QStringList{QStringLiteral("Kestrum (*.thr *.thc *.thm *.tmc *.tfc)")});
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
            dialog->setDirectory(dir);
            dialog->selectFile(QStringLiteral("\"b.THR\" \"a.THR\" \"c.THM\""));
            static_cast<QDialog*>(dialog)->accept();
        });
        child<QAction>(*window, "actionOpen_File")->trigger();
        QVERIFY(dialogSeen);
        QCOMPARE(window->chosenFileNames().size(), 3);
        QCOMPARE(window->getCurrentFileName(), path("b.THR"));
        QCOMPARE(window->getMarkerX(), 4u); // hot pixel in column 3, counted from 1
        QCOMPARE(recorder->reports.size(), size_t(0));
        QVERIFY(child<QAction>(*window, "actionExport_frames")->isEnabled());

        // The next dialog starts in that folder; cancelling opens nothing.
        QTimer::singleShot(0, this, [&]() {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->directory().absolutePath(), dir);
            dialog->reject();
        });
        child<QAction>(*window, "actionOpen_File")->trigger();
        QCOMPARE(window->getCurrentFileName(), path("b.THR"));
    }

    void aboutAndDateTimeDialogs() {
        auto* about = window->findChild<KX_InfoDialog*>();
        QVERIFY(about != nullptr);
        QVERIFY(!about->isVisible());
        child<QAction>(*window, "actionAbout_Kalorix")->trigger();
        QVERIFY(about->isVisible());

        auto* dateTime = window->findChild<DateTimeSettings*>();
        QVERIFY(dateTime != nullptr);
        QVERIFY(!dateTime->isVisible());
        child<QAction>(*window, "actionDate_Time_settings")->trigger();
        QVERIFY(dateTime->isVisible());
        dateTime->setHourOffset(-5);
        QCOMPARE(window->converter()->getHourOffset(), -5);
    }

    void serialDataWindowFollowsTheAction() {
        auto* explorer = window->findChild<SerialDataExplorer*>();
        QVERIFY(explorer != nullptr);
        QAction* show = child<QAction>(*window, "actionDisplay_Serial_Data");
        show->trigger();
        QVERIFY(explorer->isVisible());
        show->trigger();
        QVERIFY(!explorer->isVisible());
        // Closing the window itself unchecks the action.
        show->trigger();
        explorer->reject();
        QVERIFY(!show->isChecked());
    }

    void parseActionsExcludeEachOther() {
        QAction* nmea = child<QAction>(*window, "actionParse_NMEA_Data");
        QAction* md = child<QAction>(*window, "actionParse_md_downlink_data");
        QAction* mav = child<QAction>(*window, "actionParse_MAVLink_data");
        QVERIFY(nmea->isChecked());
        QCOMPARE(window->currentSerialContent(), ksDefines::NMEA);
        mav->trigger();
        QVERIFY(!nmea->isChecked() && !md->isChecked() && mav->isChecked());
        QCOMPARE(window->currentSerialContent(), ksDefines::MAVLink);
        md->trigger();
        QVERIFY(!nmea->isChecked() && md->isChecked() && !mav->isChecked());
        QCOMPARE(window->currentSerialContent(), ksDefines::MdDownlink);
        md->trigger();
        QCOMPARE(window->currentSerialContent(), ksDefines::NoSerialData);
    }

    void fileTestReportsAndRestoresTheFrame() {
        QVERIFY(window->openInputFile(path("other/d.TMC")));
        child<QSlider>(*window, "slMovieFiles")->setValue(2);
        recorder->clear();
        child<QAction>(*window, "actionTest_TMC_file")->trigger();
        QCOMPARE(recorder->outLines(),
                 (QStringList{QStringLiteral("Testing TMC file"), QStringLiteral("File ok")}));
        // The test walked to frame 4; the window shows frame 2 again.
        rawVideoChunk chunk;
        window->converter()->getCurrentRawVideoChunk(chunk);
        QCOMPARE(chunk.rawData, synth::renderScene(smallMovie(4, true).scene, 1));
    }

    void droppedFilesOpen() {
        auto drop = [&](const QString& fileName) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(fileName)});
            QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton,
                                  Qt::NoModifier);
            QApplication::sendEvent(window.get(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent dropEvent(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton,
                                 Qt::NoModifier);
            QApplication::sendEvent(window.get(), &dropEvent);
        };
        drop(path("c.THM"));
        QCOMPARE(window->getCurrentFileName(), path("c.THM"));
        QCOMPARE(child<QSlider>(*window, "slMovieFiles")->maximum(), 3);
        QImage picture(4, 3, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(path("dropped.png")));
        drop(path("dropped.png"));
        QCOMPARE(window->getCurrentFileType(), ksDefines::Image);
        QCOMPARE(window->getDisplayImage().size(), QSize(4, 3));
        // Anything else is ignored.
        drop(path("notes.txt"));
        QCOMPARE(window->getCurrentFileName(), path("dropped.png"));
        QCOMPARE(recorder->reports.size(), size_t(0));
    }

    void browserFolderIsRemembered() {
        // The previous test's window must be gone before the key is removed:
        // it would write its folder back when it is destroyed.
        window.reset();
        QSettings(QStringLiteral("Velmora Technology"), QStringLiteral("Kalorix"))
            .remove(QStringLiteral("lastBrowserFolder"));
        window = makeWindow();
        window->show();
        auto* tree = child<QTreeView>(*window, "tvFolders");
        auto* dirModel = qobject_cast<QFileSystemModel*>(tree->model());
        QVERIFY(dirModel != nullptr);
        // The first start shows the home folder.
        QCOMPARE(dirModel->filePath(tree->currentIndex()), QDir::homePath());
        const QString folder = dir + QStringLiteral("/other");
        QModelIndex index;
        QTRY_VERIFY((index = dirModel->index(folder)).isValid());
        tree->scrollTo(index);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          tree->visualRect(index).center());
        auto* list = child<QListView>(*window, "lvFiles");
        auto* fileModel = qobject_cast<QFileSystemModel*>(list->model());
        QCOMPARE(fileModel->filePath(list->rootIndex()), folder);

        window = makeWindow();
        list = child<QListView>(*window, "lvFiles");
        fileModel = qobject_cast<QFileSystemModel*>(list->model());
        QCOMPARE(fileModel->filePath(list->rootIndex()), folder);
        // Only recordings and pictures are listed.
        QCOMPARE(fileModel->nameFilters(),
                 split("*.TMC *.THM *.THR *.TFC *.THC *.JPG *.JPEG *.PNG"));
        QVERIFY(!fileModel->nameFilterDisables());
    }

    void closeStopsPlayback() {
        QVERIFY(window->openInputFile(path("other/d.TMC")));
        bool closed = false;
        QTimer::singleShot(150, this, [&]() {
            QVERIFY(window->isPlaying());
            closed = window->close();
        });
        child<QPushButton>(*window, "btnPlayVideo")->click();
        QVERIFY(closed);
        QVERIFY(!window->isPlaying());
        QVERIFY(!window->isVisible());
        QVERIFY(child<QSlider>(*window, "slMovieFiles")->value() < 4);
    }

    // Quit ends the process at once with exit code 0: nothing after it runs,
    // not even the window's destructor.
    void quitEndsTheProcess() {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KALORIX_MENUS_QUIT_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(60000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        QVERIFY2(out.contains(QLatin1String("before quit")), qPrintable(out));
        QVERIFY2(!out.contains(QLatin1String("after quit")), qPrintable(out));
    }
};

int main(int argc, char** argv) {
    usePrivateEnvironment();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    if (qEnvironmentVariableIsSet("KALORIX_MENUS_QUIT_CHILD")) {
        const std::unique_ptr<Kalorix> window = makeWindow();
        std::printf("before quit\n");
        std::fflush(stdout);
        window->findChild<QAction*>(QStringLiteral("actionQuit"))->trigger();
        std::printf("after quit\n");
        return 3;
    }
    TestMenus test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_menus.moc"
