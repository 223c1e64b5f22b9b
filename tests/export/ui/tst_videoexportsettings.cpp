#include "export/ui/VideoExportSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardPaths>
#include <QtTest>

namespace {

template <typename T>
T* child(const VideoExportSettings& dialog, const char* name) {
    T* w = dialog.findChild<T*>(QLatin1String(name));
    if (!w)
        qFatal("control %s is missing", name);
    return w;
}

QStringList items(const QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}

const QStringList kAllMetaTypes{"one CSV per frame", "one CSV for all frames",
                                "one CSV for all frames (Pix4D)", "kml"};

} // namespace

class TestVideoExportSettings : public QObject {
    Q_OBJECT
private slots:
    void defaults() {
        VideoExportSettings dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Frame export"));
        const QSpinBox* start = child<QSpinBox>(dialog, "sbStartFrame");
        const QSpinBox* end = child<QSpinBox>(dialog, "sbEndFrame");
        const QSpinBox* skip = child<QSpinBox>(dialog, "sbSkip");
        QCOMPARE((QList<int>{start->minimum(), start->maximum(), end->minimum(), end->maximum()}),
                 (QList<int>{0, 50500, 0, 50500}));
        QCOMPARE((QList<int>{skip->minimum(), skip->maximum(), skip->value()}),
                 (QList<int>{1, 999, 1}));
        QCOMPARE(child<QLabel>(dialog, "lblStartFrame")->text(), QStringLiteral("Start Frame: "));
        QCOMPARE(child<QLabel>(dialog, "lblEndFrame")->text(), QStringLiteral("End Frame:"));
        QCOMPARE(child<QLabel>(dialog, "lblSkip")->text(), QStringLiteral("Frame Step:"));

        QCOMPARE(dialog.getPath(),
                 QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
        QCOMPARE(dialog.getFileNamePrefix(), QStringLiteral("name"));
        QCOMPARE(child<QLabel>(dialog, "lblFilenamePreview")->text(),
                 QStringLiteral("name_ABCD.rjpg"));
        QCOMPARE(items(child<QComboBox>(dialog, "cbExtension")),
                 (QStringList{"RJPG", "PNG", "JPG", "TIF", "CSV", "AVI", "SEQ", "Meta_only"}));
        QCOMPARE(dialog.getExtension(), QStringLiteral("RJPG"));

        QCOMPARE(child<QCheckBox>(dialog, "cbMetaCSV")->text(), QStringLiteral("Create meta data"));
        QCOMPARE(dialog.getMetaCsvSelection(), false);
        QCOMPARE(items(child<QComboBox>(dialog, "cbMetaType")), kAllMetaTypes);
        QCOMPARE(dialog.getMetaTypeSelection(), QStringLiteral("one CSV per frame"));
        QVERIFY(!child<QComboBox>(dialog, "cbMetaType")->isEnabled());
        QCOMPARE(child<QCheckBox>(dialog, "cbMetaRAW")->text(),
                 QStringLiteral("Export meta data as RAW"));
        QCOMPARE(dialog.getMetaRAWSelection(), false);
        QCOMPARE(dialog.getCSVDelimiter(), QStringLiteral(";"));
        QCOMPARE(child<QLabel>(dialog, "lblDelimiter")->text(), QStringLiteral("Delimiter:"));
        QVERIFY(child<QLabel>(dialog, "lblDelimiter")->isHidden());
        QVERIFY(child<QLineEdit>(dialog, "leDelimiter")->isHidden());

        QCOMPARE(child<QPushButton>(dialog, "btnExport")->text(), QStringLiteral("Export"));
        QCOMPARE(child<QPushButton>(dialog, "btnCancel")->text(), QStringLiteral("Cancel"));
        QCOMPARE(dialog.focusWidget(), child<QWidget>(dialog, "btnExport"));
    }

    void automaticGroupHidden() {
        VideoExportSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QGroupBox* group = child<QGroupBox>(dialog, "gbAutomaticFrameSelection");
        QVERIFY(!group->isVisible());
        QCOMPARE(group->title(), QStringLiteral("Automatic"));
        QCOMPARE(child<QCheckBox>(dialog, "cbAutomaticFrameDetection")->text(),
                 QStringLiteral("Detect frames automatically"));
        QCOMPARE(child<QLabel>(dialog, "lblHeightOverGround")->text(),
                 QStringLiteral("Height over ground [m]:"));
        QCOMPARE(child<QLabel>(dialog, "lblOverlap")->text(), QStringLiteral("Overlap:"));
        QCOMPARE(child<QSpinBox>(dialog, "sbOverlap")->value(), 90);
    }

    void automaticDetectionRule_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("automatic");
        QTest::newRow("setter on") << "setter" << true;
        QTest::newRow("setter off") << "setter" << false;
        QTest::newRow("check box on") << "toggle" << true;
    }
    void automaticDetectionRule() {
        QFETCH(QString, how);
        QFETCH(bool, automatic);
        VideoExportSettings dialog;
        QVERIFY(child<QSpinBox>(dialog, "sbSkip")->isEnabled());
        QVERIFY(!child<QSpinBox>(dialog, "sbOverlap")->isEnabled());
        QVERIFY(!child<QSpinBox>(dialog, "sbHeightOverGround")->isEnabled());
        if (how == QLatin1String("setter"))
            dialog.setAutomaticFrameDetectionEnabled(automatic);
        else
            child<QCheckBox>(dialog, "cbAutomaticFrameDetection")->setChecked(automatic);
        QCOMPARE(child<QSpinBox>(dialog, "sbSkip")->isEnabled(), !automatic);
        QCOMPARE(child<QSpinBox>(dialog, "sbOverlap")->isEnabled(), automatic);
        QCOMPARE(child<QSpinBox>(dialog, "sbHeightOverGround")->isEnabled(), automatic);
        QCOMPARE(child<QCheckBox>(dialog, "cbAutomaticFrameDetection")->isChecked(), automatic);
        QVERIFY(child<QGroupBox>(dialog, "gbAutomaticFrameSelection")->isHidden());
    }

    void metaCsvEnablesType() {
        VideoExportSettings dialog;
        const QComboBox* type = child<QComboBox>(dialog, "cbMetaType");
        child<QCheckBox>(dialog, "cbMetaCSV")->click();
        QVERIFY(type->isEnabled());
        QVERIFY(dialog.getMetaCsvSelection());
        dialog.setMetaCsvSelection(false);
        QVERIFY(!type->isEnabled());
    }

    // Each row picks the listed formats in turn, starting from the given meta
    // data type.
    void extensionUpdate_data() {
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<int>("metaType");
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QStringList>("metaTypes");
        QTest::addColumn<QString>("selectedType");
        QTest::addColumn<bool>("delimiterShown");
        const QStringList withoutPerFrame = kAllMetaTypes.mid(1);
        QTest::newRow("AVI") << QStringList{"AVI"} << 0 << "name.avi" << withoutPerFrame
                             << "one CSV for all frames" << false;
        QTest::newRow("AVI then PNG") << QStringList{"AVI", "PNG"} << 0 << "name_ABCD.png"
                                      << kAllMetaTypes << "one CSV for all frames" << false;
        QTest::newRow("AVI keeps Pix4D") << QStringList{"AVI"} << 2 << "name.avi" << withoutPerFrame
                                         << "one CSV for all frames (Pix4D)" << false;
        QTest::newRow("AVI, SEQ, AVI, TIF") << QStringList{"AVI", "SEQ", "AVI", "TIF"} << 3
                                            << "name_ABCD.tif" << kAllMetaTypes << "kml" << false;
        QTest::newRow("CSV") << QStringList{"CSV"} << 0 << "name_ABCD.csv" << kAllMetaTypes
                             << "one CSV per frame" << true;
        QTest::newRow("CSV then JPG") << QStringList{"CSV", "JPG"} << 0 << "name_ABCD.jpg"
                                      << kAllMetaTypes << "one CSV per frame" << false;
        QTest::newRow("meta only") << QStringList{"Meta_only"} << 1 << "name_ABCD.meta_only"
                                   << kAllMetaTypes << "one CSV for all frames" << false;
    }
    void extensionUpdate() {
        QFETCH(QStringList, formats);
        QFETCH(int, metaType);
        QFETCH(bool, delimiterShown);
        VideoExportSettings dialog;
        dialog.setMetaTypeSelection(metaType);
        QComboBox* extension = child<QComboBox>(dialog, "cbExtension");
        for (const QString& format : formats)
            extension->setCurrentText(format);
        QCOMPARE(dialog.getExtension(), formats.last());
        QTEST(child<QLabel>(dialog, "lblFilenamePreview")->text(), "preview");
        QTEST(items(child<QComboBox>(dialog, "cbMetaType")), "metaTypes");
        QTEST(dialog.getMetaTypeSelection(), "selectedType");
        QCOMPARE(!child<QLabel>(dialog, "lblDelimiter")->isHidden(), delimiterShown);
        QCOMPARE(!child<QLineEdit>(dialog, "leDelimiter")->isHidden(), delimiterShown);
    }

    void filenameUpdatesPreview_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("preview");
        QTest::newRow("rjpg") << "RJPG"
                              << "scan"
                              << "scan_ABCD.rjpg";
        QTest::newRow("avi") << "AVI"
                             << "flight 3"
                             << "flight 3.avi";
        QTest::newRow("empty") << "PNG"
                               << ""
                               << "_ABCD.png";
    }
    void filenameUpdatesPreview() {
        QFETCH(QString, format);
        QFETCH(QString, typed);
        VideoExportSettings dialog;
        child<QComboBox>(dialog, "cbExtension")->setCurrentText(format);
        QLineEdit* name = child<QLineEdit>(dialog, "leFilename");
        name->clear();
        QTest::keyClicks(name, typed);
        QCOMPARE(dialog.getFileNamePrefix(), typed);
        QTEST(child<QLabel>(dialog, "lblFilenamePreview")->text(), "preview");
    }

    void executeExportArguments_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("extension");
        QTest::newRow("rjpg") << "RJPG"
                              << "rjpg";
        QTest::newRow("tif") << "TIF"
                             << "tif";
        QTest::newRow("meta only") << "Meta_only"
                                   << "meta_only";
        QTest::newRow("avi") << "AVI"
                             << "avi";
    }
    void executeExportArguments() {
        QFETCH(QString, format);
        VideoExportSettings dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        child<QLineEdit>(dialog, "lePath")->setText(QStringLiteral("/data/out"));
        child<QLineEdit>(dialog, "leFilename")->setText(QStringLiteral("scan"));
        child<QComboBox>(dialog, "cbExtension")->setCurrentText(format);
        dialog.setFrames(3, 17);
        dialog.setSkipFrames(2);
        bool visibleAtEmit = true;
        connect(&dialog, &VideoExportSettings::executeExport,
                [&] { visibleAtEmit = dialog.isVisible(); });
        QSignalSpy spy(&dialog, &VideoExportSettings::executeExport);
        child<QPushButton>(dialog, "btnExport")->click();
        QCOMPARE(spy.count(), 1);
        const QList<QVariant> args = spy.at(0);
        QCOMPARE(args.at(0).toString(), QStringLiteral("/data/out"));
        QCOMPARE(args.at(1).toString(), QStringLiteral("scan"));
        QTEST(args.at(2).toString(), "extension");
        QCOMPARE(args.at(3).value<uint>(), 3u);
        QCOMPARE(args.at(4).value<uint>(), 17u);
        QCOMPARE(args.at(5).value<uint>(), 2u);
        QVERIFY(!visibleAtEmit); // closed first, so the export runs without the dialog
        QCOMPARE(dialog.getExtension(), format); // the list itself keeps its case
    }

    void returnExportsAndCancelDoesNot() {
        VideoExportSettings dialog;
        QSignalSpy spy(&dialog, &VideoExportSettings::executeExport);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        child<QPushButton>(dialog, "btnCancel")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(spy.count(), 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(child<QLineEdit>(dialog, "leFilename"), Qt::Key_Return);
        QCOMPARE(spy.count(), 1);
        QVERIFY(!dialog.isVisible());
    }

    void chooseDirectory_data() {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("path");
        QTest::newRow("chosen") << "/media/card/flight"
                                << "/media/card/flight";
        QTest::newRow("cancelled") << ""
                                   << "";
    }
    void chooseDirectory() {
        QFETCH(QString, answer);
        VideoExportSettings dialog;
        dialog.setCSVDelimiter(QStringLiteral(","));
        child<QLineEdit>(dialog, "lePath")->setText(QStringLiteral("/home/pilot"));
        QString askedFrom;
        QWidget* askedParent = nullptr;
        int asked = 0;
        dialog.setDirectoryChooser([&](QWidget* parent, const QString& start) {
            ++asked;
            askedParent = parent;
            askedFrom = start;
            return answer;
        });
        child<QPushButton>(dialog, "btnChooseDirectory")->click();
        QCOMPARE(asked, 1);
        QCOMPARE(askedParent, static_cast<QWidget*>(&dialog));
        QCOMPARE(askedFrom, QStringLiteral("/home/pilot"));
        QTEST(dialog.getPath(), "path");
        QCOMPARE(dialog.getCSVDelimiter(), QStringLiteral(","));
    }

    void accessors() {
        VideoExportSettings dialog;
        dialog.setFrames(5, 60000);
        QCOMPARE(child<QSpinBox>(dialog, "sbStartFrame")->value(), 5);
        QCOMPARE(child<QSpinBox>(dialog, "sbEndFrame")->value(), 50500); // the index limit
        dialog.setSkipFrames(7);
        QCOMPARE(dialog.skipFrames(), 7);
        dialog.setSkipFrames(0);
        QCOMPARE(dialog.skipFrames(), 1);
        dialog.setMetaTypeSelection(3);
        QCOMPARE(dialog.getMetaTypeSelection(), QStringLiteral("kml"));
        dialog.setMetaTypeSelection(2);
        QCOMPARE(dialog.getMetaTypeSelection(), QStringLiteral("one CSV for all frames (Pix4D)"));
    }
};

QTEST_MAIN(TestVideoExportSettings)
#include "tst_videoexportsettings.moc"
