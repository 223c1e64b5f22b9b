#include "app/ui/KX_InfoDialog.h"

#include <QtTest>
#include <QtWidgets>

class TestInfoDialog : public QObject {
    Q_OBJECT
private slots:
    void dialog() {
        KX_InfoDialog d; // also registers the resources of the widgets library
        QStringList texts{d.windowTitle()};
        for (const char* name : {"lblVersion", "lblBuildDateCaption", "lblBuildDate"})
            texts << d.findChild<QLabel*>(name)->text();
        QCOMPARE(texts.join('|'), QStringLiteral("About Kalorix|2.1.3|Built on|July, 13th 2017"));
        const QString legal =
            d.findChild<QLabel*>("lblRights")->text() + d.findChild<QLabel*>("lblWarranty")->text();
        for (const char* part :
             {"Velmora Technology", "All rights reserved", "without warranty of any kind"})
            QVERIFY2(legal.contains(QLatin1String(part)), part);
        // The small logo of the resources, small enough to fit the dialog.
        const QPixmap logo(QStringLiteral(":/Velmora_logo_small.png"));
        QVERIFY(!logo.isNull() && logo.width() <= 256 && logo.height() <= 96);
        QCOMPARE(d.findChild<QLabel*>("lblLogo")->pixmap(Qt::ReturnByValue).toImage(),
                 logo.toImage());
        // One button, and it closes the dialog.
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        const QList<QAbstractButton*> buttons = d.findChildren<QAbstractButton*>();
        QCOMPARE(buttons.size(), 1);
        buttons.first()->click();
        QVERIFY(!d.isVisible());
    }
};

QTEST_MAIN(TestInfoDialog)
#include "tst_infodialog.moc"
