#include "export/ui/VideoExportSettings.h"

#include <QtTest>
#include <QtWidgets>

namespace {
template <typename T = QWidget>
T* child(const QObject& dialog, const char* name) {
    T* w = dialog.findChild<T*>(QLatin1String(name));
    return w ? w : (qFatal("control %s is missing", name), nullptr);
}

QString items(const QObject& dialog, const char* name) {
    QStringList list;
    for (int i = 0; i < child<QComboBox>(dialog, name)->count(); ++i)
        list << child<QComboBox>(dialog, name)->itemText(i);
    return list.join('|');
}

const QString kAllMetaTypes =
    QStringLiteral("one CSV per frame|one CSV for all frames|one CSV for all frames (Pix4D)|kml");
} // namespace

class TestVideoExportSettings : public QObject {
    Q_OBJECT
private slots:
    void defaults() {
        VideoExportSettings d;
        QStringList shown{d.windowTitle(), items(d, "cbExtension"), items(d, "cbMetaType")};
        for (const char* name :
             {"lblStartFrame", "lblEndFrame", "lblSkip", "lblFilenamePreview", "cbMetaCSV",
              "cbMetaRAW", "lblDelimiter", "btnExport", "btnCancel", "gbAutomaticFrameSelection",
              "cbAutomaticFrameDetection", "lblHeightOverGround", "lblOverlap"})
            shown << child(d, name)->property(name[0] == 'g' ? "title" : "text").toString();
        for (const char* name : {"sbStartFrame", "sbEndFrame", "sbSkip"})
            shown << QString::asprintf("%d..%d", child<QSpinBox>(d, name)->minimum(),
                                       child<QSpinBox>(d, name)->maximum());
        shown << d.getPath() << d.getFileNamePrefix() << d.getExtension()
              << d.getMetaTypeSelection() << d.getCSVDelimiter()
              << QString::number(child<QSpinBox>(d, "sbOverlap")->value());
        QCOMPARE(shown.join('/'),
                 "Frame export/RJPG|PNG|JPG|TIF|CSV|AVI|SEQ|Meta_only/" + kAllMetaTypes +
                     "/Start Frame: /End Frame:/Frame Step:/name_ABCD.rjpg/Create meta data/"
                     "Export meta data as RAW/Delimiter:/Export/Cancel/Automatic/"
                     "Detect frames automatically/Height over ground [m]:/Overlap:/0..50500/"
                     "0..50500/1..999/" +
                     QStandardPaths::writableLocation(QStandardPaths::DesktopLocation) +
                     "/name/RJPG/one CSV per frame/;/90");
        QVERIFY(!d.getMetaCsvSelection() && !d.getMetaRAWSelection() && d.skipFrames() == 1);
        QVERIFY(!child(d, "cbMetaType")->isEnabled() && d.focusWidget() == child(d, "btnExport"));
        // "Create meta data" enables the list of meta data types.
        child<QAbstractButton>(d, "cbMetaCSV")->click();
        QVERIFY(d.getMetaCsvSelection() && child(d, "cbMetaType")->isEnabled());
        d.setMetaCsvSelection(false);
        QVERIFY(!child(d, "cbMetaType")->isEnabled());
        // The automatic group stays hidden; automatic detection swaps the frame
        // step for the overlap and height fields.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QVERIFY(!child(d, "gbAutomaticFrameSelection")->isVisible());
        for (bool automatic : {true, false}) {
            d.setAutomaticFrameDetectionEnabled(automatic);
            QCOMPARE(
                (QList<bool>{child(d, "sbSkip")->isEnabled(), child(d, "sbOverlap")->isEnabled(),
                             child(d, "sbHeightOverGround")->isEnabled(),
                             child<QCheckBox>(d, "cbAutomaticFrameDetection")->isChecked()}),
                (QList<bool>{!automatic, automatic, automatic, automatic}));
        }
        child<QCheckBox>(d, "cbAutomaticFrameDetection")->setChecked(true);
        QVERIFY(!child(d, "sbSkip")->isEnabled() && child(d, "sbOverlap")->isEnabled());
    }

    // Formats picked in turn, from a meta data type: the preview, the meta data
    // types offered (all, or for a movie all but the per-frame CSV), the type
    // kept and whether the delimiter shows.
    void extensionUpdate_data() {
        QTest::addColumn<QString>("formats");
        QTest::addColumn<int>("metaType");
        QTest::addColumn<QString>("expected");
        QTest::newRow("AVI, PNG") << "AVI PNG" << 0 << "name_ABCD.png/all/one CSV for all frames/0";
        QTest::newRow("AVI, Pix4D")
            << "AVI" << 2 << "name.avi/movie/one CSV for all frames (Pix4D)/0";
        QTest::newRow("TIF") << "AVI SEQ AVI TIF" << 3 << "name_ABCD.tif/all/kml/0";
        QTest::newRow("CSV") << "CSV" << 0 << "name_ABCD.csv/all/one CSV per frame/1";
        QTest::newRow("CSV, JPG") << "CSV JPG" << 0 << "name_ABCD.jpg/all/one CSV per frame/0";
        QTest::newRow("meta") << "Meta_only" << 1
                              << "name_ABCD.meta_only/all/one CSV for all frames/0";
    }
    void extensionUpdate() {
        QFETCH(QString, formats);
        QFETCH(int, metaType);
        VideoExportSettings d;
        d.setMetaTypeSelection(metaType);
        for (const QString& format : formats.split(' '))
            child<QComboBox>(d, "cbExtension")->setCurrentText(format);
        const bool delimiter = !child(d, "lblDelimiter")->isHidden();
        QCOMPARE(delimiter, !child(d, "leDelimiter")->isHidden());
        QString offered = items(d, "cbMetaType").replace(kAllMetaTypes, "all");
        QTEST(child<QLabel>(d, "lblFilenamePreview")->text() + '/' +
                  offered.replace(kAllMetaTypes.mid(18), "movie") + '/' + d.getMetaTypeSelection() +
                  '/' + QString::number(delimiter),
              "expected");
        // A typed prefix shows at once.
        const QString preview = child<QLabel>(d, "lblFilenamePreview")->text();
        QTest::keyClicks(child(d, "leFilename"), "_2");
        QCOMPARE(child<QLabel>(d, "lblFilenamePreview")->text(), "name_2" + preview.mid(4));
    }

    // The dialog closes first and then reports the choice; Return exports,
    // "Cancel" does not; a cancelled directory choice leaves an empty path.
    void exportAndChoices() {
        VideoExportSettings d;
        child<QLineEdit>(d, "lePath")->setText(QStringLiteral("/home/pilot"));
        QStringList asked;
        d.setDirectoryChooser([&](QWidget* parent, const QString& start) {
            asked << QString::number(parent == &d) + start;
            return asked.size() == 1 ? QStringLiteral("/data/out") : QString();
        });
        child<QPushButton>(d, "btnChooseDirectory")->click();
        child<QLineEdit>(d, "leFilename")->setText(QStringLiteral("scan"));
        child<QComboBox>(d, "cbExtension")->setCurrentText("Meta_only");
        d.setFrames(3, 17);
        d.setSkipFrames(2);
        QStringList exports;
        connect(&d, &VideoExportSettings::executeExport,
                [&](QString p, QString n, QString e, uint start, uint end, uint step) {
                    exports << p + ' ' + n + ' ' + e +
                                   QString::asprintf(" %u %u %u %d", start, end, step,
                                                     d.isVisible());
                });
        d.show();
        child<QPushButton>(d, "btnExport")->click();
        d.show();
        child<QPushButton>(d, "btnCancel")->click();
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QTest::keyClick(child(d, "leFilename"), Qt::Key_Return);
        const QString once = "/data/out scan meta_only 3 17 2 0";
        QCOMPARE(exports, (QStringList{once, once}));
        QVERIFY(!d.isVisible() && d.getExtension() == "Meta_only"); // the list keeps its case
        child<QPushButton>(d, "btnChooseDirectory")->click();
        QCOMPARE(d.getPath(), QString());
        QCOMPARE(asked, (QStringList{"1/home/pilot", "1/data/out"}));
        // The end frame is capped at the index limit; a step of 0 is taken as 1.
        d.setFrames(5, 60000);
        d.setSkipFrames(0);
        QCOMPARE(QString::asprintf("%d %d %d", child<QSpinBox>(d, "sbStartFrame")->value(),
                                   child<QSpinBox>(d, "sbEndFrame")->value(), d.skipFrames()),
                 QStringLiteral("5 50500 1"));
    }
};

QTEST_MAIN(TestVideoExportSettings)
#include "tst_videoexportsettings.moc"
