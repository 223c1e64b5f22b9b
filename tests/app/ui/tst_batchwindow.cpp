#include "../BatchFolder.h"
#include "app/ui/WindowTestSupport.h"
#include "conversion/ui/RawConvertConfig.h"

using namespace windowtest;
using namespace batchtest;

class TestBatchWindow : public QObject, Fixture {
    Q_OBJECT

    QStringList asked; // "parent title" of every folder dialog, in order

    // Answers the source and the target folder dialogs with the given folders.
    void answer(const QString& source, const QString& target) {
        asked.clear();
        window->setBatchFolderChoosers(
            [this, source](QWidget* parent, const QString& title) {
                asked << QString(parent ? "window " : "none ") + title;
                return source;
            },
            [this, target](QWidget* parent, const QString& title) {
                asked << QString(parent == window.get() ? "window " : "other ") + title;
                return target;
            });
    }

private slots:
    void initTestCase() {
        qunsetenv("KALORIX_UPDATE_URL");
        dir = makeBatchFolder("batch");
        QVERIFY(!dir.isEmpty());
        QVERIFY(QDir().mkpath(path("out")));
        QVERIFY(QDir().mkpath(path("x.THR/empty")));
    }

    void cancelled_data() {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected");
        QTest::newRow("source cancelled") << ""
                                          << "out"
                                          << "none ";
        QTest::newRow("no .THR files") << "x.THR"
                                       << "out"
                                       << "none /E|Error|No files for conversion selected";
        // Before: the pictures went to "/thermo0001.png" and on.
        QTest::newRow("target cancelled") << "."
                                          << ""
                                          << "none /window Select directory to store results in";
    }
    void cancelled() {
        QFETCH(QString, source);
        QFETCH(QString, target);
        QFETCH(QString, expected);
        start(false);
        answer(source.isEmpty() ? source : path(source), target.isEmpty() ? target : path(target));
        trigger("actionBatch_conversion");
        QCOMPARE((asked + reports()).join('/'), expected);
        QCOMPARE(picturesIn(path("out")), QStringList());
        QVERIFY(!QFileInfo::exists(QDir::rootPath() + "thermo0001.png"));
    }

    void convertsFolder() {
        start(true);
        // The pictures follow the viewer's settings: turned, with the legend.
        window->rawConfig()->setRotation(90);
        answer(dir, path("out"));
        trigger("actionBatch_conversion");
        QCOMPARE(reports(),
                 (QStringList{"I|Start batch processing|Will convert 4 images and store the into " +
                                  path("out"),
                              "E|Error|Error while loading image (in Kalorix::loadRawImage) \"" +
                                  path("B_v3.THR") + '"'}));
        QCOMPARE(picturesIn(path("out")),
                 (QStringList{"thermo0001.png 181x160", "thermo0003.png 317x324",
                              "thermo0004.png 317x336"}));
        // The last file stays open in the viewer.
        QCOMPARE(window->getCurrentFileName(), path("D.tHr"));
        QCOMPARE(window->getDisplayImage().size(), QSize(336, 256));
    }
};

KALORIX_WINDOW_TEST_MAIN(TestBatchWindow)

#include "tst_batchwindow.moc"
