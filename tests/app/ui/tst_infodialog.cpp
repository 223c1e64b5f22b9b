#include "app/ui/KX_InfoDialog.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPixmap>
#include <QtTest>

namespace {

QLabel* label(const KX_InfoDialog& dialog, const char* name) {
    QLabel* l = dialog.findChild<QLabel*>(QLatin1String(name));
    if (!l)
        qFatal("label %s is missing", name);
    return l;
}

} // namespace

class TestInfoDialog : public QObject {
    Q_OBJECT
private slots:
    void texts() {
        KX_InfoDialog dialog;
        QCOMPARE(dialog.windowTitle(), QStringLiteral("About Kalorix"));
        QCOMPARE(label(dialog, "lblVersion")->text(), QStringLiteral("2.1.3"));
        QCOMPARE(label(dialog, "lblBuildDateCaption")->text(), QStringLiteral("Built on"));
        QCOMPARE(label(dialog, "lblBuildDate")->text(), QStringLiteral("July, 13th 2017"));
        const QString rights = label(dialog, "lblRights")->text();
        QVERIFY2(rights.contains(QLatin1String("Velmora Technology")), qPrintable(rights));
        QVERIFY2(rights.contains(QLatin1String("All rights reserved")), qPrintable(rights));
        const QString warranty = label(dialog, "lblWarranty")->text();
        QVERIFY2(warranty.contains(QLatin1String("without warranty of any kind")),
                 qPrintable(warranty));
    }

    void logoFromResources() {
        KX_InfoDialog dialog; // registers the resources of the widgets library
        const QPixmap logo(QStringLiteral(":/Velmora_logo_small.png"));
        QVERIFY(!logo.isNull());
        QVERIFY(logo.width() <= 256 && logo.height() <= 96); // "small": fits the dialog
        const QPixmap shown = label(dialog, "lblLogo")->pixmap(Qt::ReturnByValue);
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.toImage(), logo.toImage());
    }

    void oneButtonCloses() {
        KX_InfoDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QList<QAbstractButton*> buttons = dialog.findChildren<QAbstractButton*>();
        QCOMPARE(buttons.size(), 1);
        buttons.first()->click();
        QVERIFY(!dialog.isVisible());
    }
};

QTEST_MAIN(TestInfoDialog)
#include "tst_infodialog.moc"
