#include "telemetry/ui/DateTimeSettings.h"
#include "telemetry/ui/SerialDataExplorer.h"

#include <QtTest>
#include <QtWidgets>

class TestTelemetryDialogs : public QObject {
    Q_OBJECT
private slots:
    void dialogs() {
        SerialDataExplorer serial;
        DateTimeSettings dateTime;
        QCOMPARE(serial.windowTitle() + '/' + dateTime.windowTitle() + '/' +
                     dateTime.findChild<QGroupBox*>()->title() + '/' +
                     dateTime.findChild<QLabel*>()->text(),
                 QStringLiteral("Dialog/Date / Time Settings/Time/Time offset to UTC:"));
        QVERIFY(serial.size() == QSize(406, 337) && serial.findChild<QTextBrowser*>());
        // Both close with OK (accepted) and Cancel (rejected) of a horizontal box.
        for (QDialog* dialog : {static_cast<QDialog*>(&serial), static_cast<QDialog*>(&dateTime)}) {
            auto* box = dialog->findChild<QDialogButtonBox*>();
            QVERIFY(box->standardButtons() == (QDialogButtonBox::Ok | QDialogButtonBox::Cancel) &&
                    box->orientation() == Qt::Horizontal);
            QSignalSpy finished(dialog, &QDialog::finished);
            for (const auto button : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok})
                box->button(button)->click();
            QCOMPARE(finished, (QList<QList<QVariant>>{{QDialog::Rejected}, {QDialog::Accepted}}));
        }
        // The text replaces the previous one; markup is shown as it is.
        serial.setDisplayData(QStringLiteral("old text"));
        serial.setDisplayData(QStringLiteral("\n$GPRMC,1,<b>A</b>,&amp;"));
        QCOMPARE(serial.displayedText(), QStringLiteral("\n$GPRMC,1,<b>A</b>,&amp;"));
        // Every change of the offset is signalled; it is held within -12 to 12.
        QSignalSpy changed(&dateTime, &DateTimeSettings::timeOffsetChanged);
        QCOMPARE(dateTime.getHourOffset(), 0);
        dateTime.setHourOffset(5);
        dateTime.setHourOffset(5); // no change, no signal
        dateTime.setHourOffset(20);
        dateTime.findChild<QSpinBox*>()->stepDown();
        dateTime.setHourOffset(-30);
        QCOMPARE(changed, (QList<QList<QVariant>>{{5}, {12}, {11}, {-12}}));
    }
};

QTEST_MAIN(TestTelemetryDialogs)
#include "tst_dialogs.moc"
