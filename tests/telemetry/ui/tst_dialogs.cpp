#include "telemetry/ui/DateTimeSettings.h"
#include "telemetry/ui/SerialDataExplorer.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTextBrowser>
#include <QtTest>

namespace {

// OK and Cancel in a horizontal box; each closes the dialog with its result.
void checkButtonsClose(QDialog& dialog) {
    auto* box = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(box);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box->orientation(), Qt::Horizontal);
    QSignalSpy finished(&dialog, &QDialog::finished);
    for (const auto button : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
        dialog.show();
        box->button(button)->click();
        QVERIFY(!dialog.isVisible());
    }
    QCOMPARE(finished.count(), 2);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    QCOMPARE(finished.at(1).at(0).toInt(), int(QDialog::Accepted));
}

} // namespace

class TestTelemetryDialogs : public QObject {
    Q_OBJECT
private slots:
    void serialDataExplorer();
    void dateTimeSettings();
};

void TestTelemetryDialogs::serialDataExplorer() {
    SerialDataExplorer dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(dialog.size(), QSize(406, 337));
    QVERIFY(dialog.findChild<QTextBrowser*>());
    checkButtonsClose(dialog);
    // Replaced, not appended; markup characters are shown as they are.
    dialog.setDisplayData(QStringLiteral("old text"));
    dialog.setDisplayData(QStringLiteral("\n\n$GPRMC,1,<b>A</b>,&amp;\n#7,0,0,0,126"));
    QCOMPARE(dialog.displayedText(), QStringLiteral("\n\n$GPRMC,1,<b>A</b>,&amp;\n#7,0,0,0,126"));
}

void TestTelemetryDialogs::dateTimeSettings() {
    DateTimeSettings dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Date / Time Settings"));
    auto* group = dialog.findChild<QGroupBox*>();
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Time"));
    QCOMPARE(group->findChild<QLabel*>()->text(), QStringLiteral("Time offset to UTC:"));
    auto* spin = group->findChild<QSpinBox*>();
    QVERIFY(spin);
    QCOMPARE(dialog.getHourOffset(), 0);
    checkButtonsClose(dialog);

    // Every change is signalled; the value is held within -12 to 12.
    QSignalSpy changed(&dialog, &DateTimeSettings::timeOffsetChanged);
    dialog.setHourOffset(5);
    dialog.setHourOffset(5); // no change, no signal
    dialog.setHourOffset(20);
    QCOMPARE(dialog.getHourOffset(), 12);
    spin->stepDown();
    spin->setValue(-30);
    QCOMPARE(dialog.getHourOffset(), -12);
    QStringList values;
    for (const QList<QVariant>& signal : changed)
        values << signal.at(0).toString();
    QCOMPARE(values.join(' '), QStringLiteral("5 12 11 -12"));
}

QTEST_MAIN(TestTelemetryDialogs)
#include "tst_dialogs.moc"
