#include "BatchFolder.h"
#include "app/BatchConversion.h"
#include "app/KalorixController.h"
#include "recording/DataConverter.h"

using namespace batchtest;

class TestBatch : public QObject {
    Q_OBJECT
private slots:
    void naming() {
        QCOMPARE((QStringList{kx::batchPictureName(1), kx::batchPictureName(9999),
                              kx::batchPictureName(10000), kx::batchOutputName("/t", 42)}),
                 (QStringList{"thermo0001.png", "thermo9999.png", "thermo10000.png",
                              "/t/thermo0042.png"}));
    }

    // Regular .THR files in any case, in name order without regard to case;
    // the file that does not load keeps its number and gets no picture.
    void convertsFolderInNameOrder() {
        const QString dir = makeBatchFolder("convert");
        QVERIFY(!dir.isEmpty());
        const QStringList files = kx::batchFileList(dir);
        QCOMPARE(files, kListed);

        const QString target = dir + "/out";
        QVERIFY(QDir().mkpath(target));
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        kx::Settings settings;
        settings.conversion.legendVisible = false;
        QList<int> progress;
        const kx::BatchOutcome outcome =
            kx::convertBatch(converter, controller, settings, dir, files, target, {},
                             [&](int done, int total) { progress << done * 10 + total; });

        QCOMPARE(picturesIn(target), expectedPictures());
        QCOMPARE(progress, (QList<int>{14, 24, 34, 44}));
        QCOMPARE(outcome.written, 3);
        QCOMPARE(outcome.failures, 1);
        QCOMPARE(outcome.lastLoaded, dir + "/D.tHr");
        QCOMPARE(recorder.reports.size(), size_t(1));
        QCOMPARE(recorder.reports[0].text,
                 "Error while loading image (in Kalorix::loadRawImage) \"" + dir + "/B_v3.THR\"");
    }

    // Before: a target that cannot take pictures gave one error per file.
    void missingTargetStopsAtFirstPicture() {
        const QString dir = makeBatchFolder("missing");
        QVERIFY(!dir.isEmpty());
        testsupport::Recorder recorder;
        DataConverter converter;
        KalorixController controller(&converter);
        const kx::BatchOutcome outcome = kx::convertBatch(
            converter, controller, kx::Settings(), dir, {"a.thr", "c.THR"}, dir + "/gone", {});
        QVERIFY(outcome.stopped);
        QCOMPARE(outcome.written, 0);
        QCOMPARE(recorder.reports.size(), size_t(1));
        QCOMPARE(recorder.reports[0].text,
                 "Error while writing image \"" + dir + "/gone/thermo0001.png\" with format png");
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
