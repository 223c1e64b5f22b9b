// The merge dialog while a merge runs: the event loop runs between chunks,
// and what a user does meanwhile must not reach the merge under way.
#include "recording/Recordings.h"
#include "recording/ui/FileMergeSplit.h"

#include <QtTest>
#include <QtWidgets>

class TestFileMergeSplit : public QObject {
    Q_OBJECT
private slots:
    void pressesDuringAMergeDoNotReachIt() {
        // A folder of its own: other tests empty the scratch folder.
        const QString dir = testsupport::scratchDir() + "/mergedialog";
        QVERIFY(QDir().mkpath(dir));
        const QByteArray a = synth::makeMovie(recordings::options(6, true, 3));
        const QByteArray b = synth::makeMovie(recordings::options(5, true, 2));
        recordings::scratch("mergedialog/a.TMC", a);
        recordings::scratch("mergedialog/b.TMC", b);
        recordings::scratch("mergedialog/out.TMC");
        recordings::scratch("mergedialog/second.TMC");

        FileMergeSplit dialog;
        dialog.addFileToMergeList(dir + "/a.TMC");
        dialog.addFileToMergeList(dir + "/b.TMC");
        QStringList duringMerge;
        // Runs from the events the merge lets through after its first chunk.
        QTimer::singleShot(0, &dialog, [&] {
            for (const char* name : {"btnExecuteMerge", "btnRemoveMerge", "lwMergeFiles"})
                duringMerge << QStringLiteral("%1 %2").arg(name).arg(
                    dialog.findChild<QWidget*>(name)->isEnabled());
            duringMerge
                << QStringLiteral("second merge %1").arg(dialog.executeMerge(dir + "/second.TMC"));
            auto* list = dialog.findChild<QListWidget*>("lwMergeFiles");
            list->selectAll();
            dialog.findChild<QPushButton*>("btnRemoveMerge")->click();
        });
        QVERIFY(dialog.executeMerge(dir + "/out.TMC"));
        QCOMPARE(duringMerge, QStringList({"btnExecuteMerge 0", "btnRemoveMerge 0",
                                           "lwMergeFiles 0", "second merge 0"}));
        QFile out(dir + "/out.TMC");
        QVERIFY(out.open(QIODevice::ReadOnly));
        QVERIFY(out.readAll() == a + b);
        QVERIFY(!QFileInfo::exists(dir + "/second.TMC"));
        QCOMPARE(dialog.mergeList().size(), 2);
        QVERIFY(dialog.findChild<QWidget*>("btnExecuteMerge")->isEnabled());
    }
};

QTEST_MAIN(TestFileMergeSplit)
#include "tst_filemergesplit.moc"
