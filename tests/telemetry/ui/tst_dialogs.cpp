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

class TestTelemetryDialogs : public QObject {
    Q_OBJECT
private slots:
    void serialDataExplorerForm();
    void serialDataExplorerShowsPlainText();
    void serialDataExplorerButtonsClose_data();
    void serialDataExplorerButtonsClose();
    void dateTimeSettingsForm();
    void dateTimeSettingsOffset();
    void dateTimeSettingsButtonsClose();
};

void TestTelemetryDialogs::serialDataExplorerForm() {
    SerialDataExplorer dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Dialog"));
    QCOMPARE(dialog.size(), QSize(406, 337));
    auto* box = dialog.findChild<QDialogButtonBox*>();
    QVERIFY(box);
    QCOMPARE(box->standardButtons(), QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(box->orientation(), Qt::Horizontal);
    QVERIFY(dialog.findChild<QTextBrowser*>());
}

void TestTelemetryDialogs::serialDataExplorerShowsPlainText() {
    SerialDataExplorer dialog;
    dialog.setDisplayData(QStringLiteral("old text"));
    const QString block = QStringLiteral("\n\n$GPRMC,1,<b>A</b>,&amp;\r\n#7,0,0,0,126");
    dialog.setDisplayData(block);
    // Replaced, not appended; markup characters are shown as they are.
    QString shown = dialog.displayedText();
    QCOMPARE(shown, QString(block)
                        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
                        .replace(QLatin1Char('\r'), QLatin1Char('\n')));
    dialog.setDisplayData(QString());
    QCOMPARE(dialog.displayedText(), QString());
}

void TestTelemetryDialogs::serialDataExplorerButtonsClose_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("OK") << int(QDialogButtonBox::Ok) << int(QDialog::Accepted);
    QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << int(QDialog::Rejected);
}

void TestTelemetryDialogs::serialDataExplorerButtonsClose() {
    QFETCH(int, button);
    QFETCH(int, result);
    SerialDataExplorer dialog;
    dialog.show();
    QVERIFY(dialog.isVisible());
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.findChild<QDialogButtonBox*>()
        ->button(QDialogButtonBox::StandardButton(button))
        ->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toInt(), result);
}

void TestTelemetryDialogs::dateTimeSettingsForm() {
    DateTimeSettings dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Date / Time Settings"));
    auto* group = dialog.findChild<QGroupBox*>();
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Time"));
    auto* label = group->findChild<QLabel*>();
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("Time offset to UTC:"));
    auto* spin = group->findChild<QSpinBox*>();
    QVERIFY(spin);
    QCOMPARE(spin->minimum(), -12);
    QCOMPARE(spin->maximum(), 12);
    QCOMPARE(spin->value(), 0);
    QCOMPARE(dialog.getHourOffset(), 0);
    QCOMPARE(dialog.findChild<QDialogButtonBox*>()->standardButtons(),
             QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
}

void TestTelemetryDialogs::dateTimeSettingsOffset() {
    DateTimeSettings dialog;
    QSignalSpy changed(&dialog, &DateTimeSettings::timeOffsetChanged);
    dialog.setHourOffset(5);
    QCOMPARE(dialog.getHourOffset(), 5);
    dialog.setHourOffset(5);  // no change, no signal
    dialog.setHourOffset(20); // held at the range
    QCOMPARE(dialog.getHourOffset(), 12);
    auto* spin = dialog.findChild<QSpinBox*>();
    spin->stepDown();
    spin->setValue(-30);
    QCOMPARE(dialog.getHourOffset(), -12);
    QCOMPARE(changed.count(), 4);
    QCOMPARE(changed.at(0).at(0).toInt(), 5);
    QCOMPARE(changed.at(1).at(0).toInt(), 12);
    QCOMPARE(changed.at(2).at(0).toInt(), 11);
    QCOMPARE(changed.at(3).at(0).toInt(), -12);
}

void TestTelemetryDialogs::dateTimeSettingsButtonsClose() {
    DateTimeSettings dialog;
    dialog.show();
    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    QVERIFY(!dialog.isVisible());
    dialog.show();
    dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(finished.count(), 2);
    QCOMPARE(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    QCOMPARE(finished.at(1).at(0).toInt(), int(QDialog::Accepted));
}

QTEST_MAIN(TestTelemetryDialogs)
#include "tst_dialogs.moc"
