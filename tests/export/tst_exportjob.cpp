// The export job that the window, Quick export and the command line share:
// the pool must not change a byte or the order of what a run says, and a
// failure that will repeat must end the run once instead of once per frame.
#include "export/ExportJob.h"
#include "export/TiffExporter.h"
#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QCryptographicHash>
#include <QDir>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Frames made in memory: a diagonal ramp whose level follows the frame
// number, so every file differs from its neighbours. Frame 4 is flat, which
// leaves the automatic window nothing to span.
class RampSource : public kx::FrameSource {
public:
    int frames = 12;
    std::function<void(uint32_t)> beforeDecode;
    int frameCount() const override { return frames; }
    bool decode(uint32_t n, kx::DecodedFrame& frame) override {
        if (beforeDecode)
            beforeDecode(n);
        frame = kx::DecodedFrame();
        frame.frameNumber = int(n);
        frame.width = 64;
        frame.height = 48;
        frame.raw.resize(64 * 48);
        for (uint32_t i = 0; i < frame.raw.size(); ++i)
            frame.raw[i] = uint16_t(n == 4 ? 7000 : 6000 + n * 40 + (i % 64 + i / 64) * 9);
        frame.hotspotColumn = 64;
        frame.hotspotRow = 48;
        return n != 7; // frame 7 does not decode
    }
    QString conversionFailureText(size_t rawValues) const override {
        return QStringLiteral("no window for %1 values").arg(rawValues);
    }
};

kx::ExportContext context(const QString& dir, const QString& format) {
    kx::ExportContext c;
    c.exportSettings.path = dir;
    c.exportSettings.prefix = QStringLiteral("run");
    c.exportSettings.start = 1;
    c.exportSettings.end = 12;
    c.exportSettings.step = 1;
    c.exportSettings.markHotspot = true;
    c.conversion.colorMode = 1;
    c.conversion.legendVisible = true;
    c.conversion.rotation = 90;
    c.extension = format;
    c.names = kx::ExportNames(dir, QStringLiteral("run"));
    return c;
}

QStringList hashes(const QString& dir) {
    QStringList list;
    for (const QFileInfo& file :
         QDir(dir).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name)) {
        list << file.fileName() + QLatin1Char(' ') +
                    QCryptographicHash::hash(testsupport::fileBytes(file.filePath()),
                                             QCryptographicHash::Md5)
                        .toHex();
    }
    return list;
}

} // namespace

class TestExportJob : public QObject {
    Q_OBJECT
private slots:
    // Pool and one thread: the same files, the same lines in the same order.
    void poolWritesWhatOneThreadWrites_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("written");
        for (const char* format : {"png", "jpg", "avi"})
            QTest::newRow(format) << QString::fromLatin1(format) << 10;
        // Raw values need no window: only frame 7 is missing.
        QTest::newRow("tif") << QStringLiteral("tif") << 11;
    }
    void poolWritesWhatOneThreadWrites() {
        QFETCH(QString, format);
        QFETCH(int, written);
        QStringList files[2];
        QString lines[2];
        for (int threads : {1, 3}) {
            const QString dir = testsupport::freshDir(QStringLiteral("t%1").arg(threads));
            RampSource source;
            testsupport::Recorder rec;
            QList<int> progress;
            const kx::ExportJob::Outcome outcome =
                kx::ExportJob(source, context(dir, format), {threads, true})
                    .run([&progress](int done, int) { progress << done; });
            // Frame 4 has no window, frame 7 does not decode.
            QCOMPARE(outcome.written, written);
            QCOMPARE(outcome.failures, 12 - written);
            QCOMPARE(progress, QList<int>({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
            files[threads > 1] = hashes(dir);
            lines[threads > 1] = rec.out + rec.err;
            for (const testsupport::Report& r : rec.reports)
                lines[threads > 1] += r.text + QLatin1Char('\n');
            lines[threads > 1].replace(dir, QStringLiteral("DIR"));
        }
        QCOMPARE(files[1], files[0]);
        QCOMPARE(lines[1], lines[0]);
        QCOMPARE(lines[0].contains("no window for 3072 values\n"), written == 10);
        QVERIFY(lines[0].endsWith(QStringLiteral("%1 of 12 frames could not be converted; no file "
                                                 "was written for them\n")
                                      .arg(12 - written)));
        if (format != QLatin1String("avi"))
            QVERIFY(lines[0].contains("frame 12 of 12: DIR/run_0012." + format + "\n"));
    }

    // The target folder disappears half-way: one message naming the cause,
    // the run ends, the files already written stay whole.
    void lastingFailureEndsTheRunOnce() {
        const QString dir = testsupport::freshDir(QStringLiteral("vanishing"));
        RampSource source;
        source.beforeDecode = [&dir](uint32_t n) {
            if (n == 6)
                QDir(dir).removeRecursively();
        };
        kx::ExportContext c = context(dir, QStringLiteral("png"));
        c.exportSettings.start = 5;
        testsupport::Recorder rec;
        // One thread, so that frame 5 is surely written before the folder goes.
        const kx::ExportJob::Outcome outcome = kx::ExportJob(source, c, {1, false}).run();
        QCOMPARE(rec.reports.size(), size_t(1));
        QCOMPARE(rec.reports[0].text, "Cannot write " + dir +
                                          "/run_0006.png: No such file or directory; the export "
                                          "stopped after 1 of 8 frames");
        QCOMPARE(outcome.failures, 1);
        QCOMPARE(outcome.written, 1);
    }

    // A link at an output name was followed: the recording it pointed to was
    // overwritten with a picture. The link is replaced, its target stays; an
    // earlier file is replaced; new files get the mode the umask leaves, and
    // no part file stays behind.
    void outputNamesAreReplacedWhole() {
        const QString dir = testsupport::freshDir(QStringLiteral("link"));
        const QString recording = dir + QStringLiteral("/flight.TMC");
        QVERIFY(synth::writeFile(recording, "VELM\x06 frames"));
        QVERIFY(QFile::link(recording, dir + QStringLiteral("/run_0001.png")));
        QVERIFY(synth::writeFile(dir + QStringLiteral("/run_0002.png"), "earlier"));
        RampSource source;
        source.frames = 3;
        kx::ExportContext c = context(dir, QStringLiteral("png"));
        c.exportSettings.end = 3;
        const mode_t mask = ::umask(027);
        const int written = kx::ExportJob(source, c, {0, false}).run().written;
        ::umask(mask);
        QCOMPARE(written, 3);
        QCOMPARE(testsupport::fileBytes(recording), QByteArray("VELM\x06 frames"));
        QVERIFY(!QFileInfo(dir + QStringLiteral("/run_0001.png")).isSymLink());
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden),
                 QStringList({"flight.TMC", "run_0001.png", "run_0002.png", "run_0003.png"}));
        for (int n = 1; n <= 3; ++n) {
            const QString name = dir + QStringLiteral("/run_000%1.png").arg(n);
            QVERIFY(testsupport::fileBytes(name).startsWith("\x89PNG\r\n\x1a\n"));
            struct stat info {};
            QCOMPARE(::stat(QFile::encodeName(name).constData(), &info), 0);
            QCOMPARE(info.st_mode & 0777, mode_t(0640));
        }
    }

    // TIFF goes out as pieces (header, the frame's own pixels, tags) on the
    // job's thread: every file must still be the whole TIFF of its frame.
    void tiffFilesAreWholeFrames() {
        const QString dir = testsupport::freshDir(QStringLiteral("tiff"));
        RampSource source;
        source.frames = 3;
        kx::ExportContext c = context(dir, QStringLiteral("tif"));
        c.exportSettings.end = 3;
        QCOMPARE(kx::ExportJob(source, c, {0, false}).run().written, 3);
        for (uint32_t n = 1; n <= 3; ++n) {
            kx::DecodedFrame frame;
            source.decode(n, frame);
            QCOMPARE(testsupport::fileBytes(c.names.frameName(int(n)) + QStringLiteral(".tif")),
                     kx::encodeTiff(frame));
        }
    }

    // A file size limit (a full disk as a process sees it) leaves no
    // truncated picture: the last name written is complete or absent.
    void fileSizeLimitLeavesNoPartialFile() {
        const QString dir = testsupport::freshDir(QStringLiteral("limit"));
        const pid_t child = fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            // A picture takes about 9,300 bytes.
            const rlimit limit{5000, 5000};
            setrlimit(RLIMIT_FSIZE, &limit);
            RampSource source;
            kx::ExportContext c = context(dir, QStringLiteral("png"));
            c.conversion.legendVisible = false;
            const kx::ExportJob::Outcome outcome = kx::ExportJob(source, c, {2, false}).run();
            _exit(outcome.failures == 1 && outcome.written == 0 ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QCOMPARE(QDir(dir).entryList(QDir::Files | QDir::Hidden), QStringList());
    }
};

QTEST_MAIN(TestExportJob)
#include "tst_exportjob.moc"
