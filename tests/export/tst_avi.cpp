#include "ExportTools.h"
#include "export/AviWriter.h"
#include "export/ExportTarget.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using exporttools::le32;
using exporttools::runTool;
using testsupport::fileBytes;
using testsupport::scratchPath;

namespace {

// Files in the scratch folder whose name contains part (hidden ones too).
QStringList filesLike(const QString& part) {
    return QDir(testsupport::scratchDir())
        .entryList({QLatin1Char('*') + part + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
}

} // namespace

class TestAvi : public QObject {
    Q_OBJECT
private slots:
    void layout() {
        // Not JPEG data: the size given at open stays.
        const QString file = scratchPath(QStringLiteral("layout.avi"));
        kx::AviWriter avi;
        QVERIFY(avi.kavi_open(file, 640, 512, kx::AviWriter::kMotionJpeg, 9));
        QVERIFY(avi.addFrame(QByteArray(10001, 'x')));
        QVERIFY(avi.addFrame(QByteArray(8, 'y')));
        QVERIFY(avi.closeFile());
        const QByteArray bytes = fileBytes(file);
        QCOMPARE(bytes.size(), 4108 + (8 + 10004) + (8 + 8) + 8 + 2 * 16);
        QCOMPARE(bytes.left(4) + bytes.mid(8, 4), QByteArray("RIFFAVI "));
        QCOMPARE(le32(bytes, 4), uint32_t(bytes.size() - 8));
        QCOMPARE(bytes.mid(12, 4) + bytes.mid(20, 8), QByteArray("LISThdrlavih"));
        QCOMPARE(le32(bytes, 16), 192u);
        QCOMPARE(le32(bytes, 32), 111111u); // microseconds per frame
        QCOMPARE(le32(bytes, 36), 983040u); // 640 x 512 x 3
        QCOMPARE(le32(bytes, 44), 16u);     // has index
        QCOMPARE(le32(bytes, 48), 2u);      // total frames
        QCOMPARE(le32(bytes, 56), 1u);      // streams
        QCOMPARE(bytes.mid(108, 8), QByteArray("vidsMJPG"));
        QCOMPARE(le32(bytes, 132), 9u); // rate
        QCOMPARE(le32(bytes, 140), 2u); // length
        QCOMPARE(bytes.mid(188, 4), QByteArray("MJPG"));
        QCOMPARE(bytes.mid(212, 4), QByteArray("JUNK"));
        QCOMPARE(le32(bytes, 216), 3876u);
        QCOMPARE(bytes.mid(220, 21), QByteArray("JUNK IN THE CHUNK! JU"));
        // 204 whole repetitions of the filler end where the movie list begins.
        QCOMPARE(bytes.mid(4077, 19), QByteArray("JUNK IN THE CHUNK! "));
        QCOMPARE(bytes.mid(4096, 4) + bytes.mid(4104, 4), QByteArray("LISTmovi"));
        QCOMPARE(le32(bytes, 4100), uint32_t(4 + 10012 + 16));
        // 10001 bytes are stored with 3 zero bytes, the size counting them.
        QCOMPARE(bytes.mid(4108, 4), QByteArray("00dc"));
        QCOMPARE(le32(bytes, 4112), 10004u);
        QCOMPARE(bytes.mid(4116 + 10001, 3), QByteArray(3, '\0'));
        const int index = 4108 + 10012 + 16;
        QCOMPARE(bytes.mid(index, 4), QByteArray("idx1"));
        QCOMPARE(le32(bytes, index + 4), 32u);
        QCOMPARE(bytes.mid(index + 8, 4) + bytes.mid(index + 24, 4), QByteArray("00dc00dc"));
        for (int entry = 0; entry < 2; ++entry) // key frame, offset from "movi", size
            QCOMPARE(le32(bytes, index + 12 + 16 * entry), 16u);
        QCOMPARE(le32(bytes, index + 16), 4u);
        QCOMPARE(le32(bytes, index + 20), 10004u);
        QCOMPARE(le32(bytes, index + 32), 10016u);
        QCOMPARE(le32(bytes, index + 36), 8u);
    }

    void emptyAndLongMovies_data() {
        QTest::addColumn<int>("frames");
        QTest::newRow("no frames") << 0;
        QTest::newRow("1025 frames: the index grows") << 1025;
    }
    void emptyAndLongMovies() {
        QFETCH(int, frames);
        const QString file = scratchPath(QStringLiteral("count.avi"));
        kx::AviWriter avi;
        QVERIFY(avi.kavi_open(file, 4, 4, kx::AviWriter::kMotionJpeg, 9));
        for (int i = 0; i < frames; ++i)
            QVERIFY(avi.addFrame(QByteArray(4, char(i))));
        QVERIFY(avi.closeFile());
        const QByteArray bytes = fileBytes(file);
        QCOMPARE(le32(bytes, 4100), uint32_t(4 + 12 * frames)); // movie list
        QCOMPARE(le32(bytes, 48), uint32_t(frames));
        const int index = 4108 + 12 * frames;
        QCOMPARE(bytes.mid(index, 4), QByteArray("idx1"));
        QCOMPARE(le32(bytes, index + 4), uint32_t(16 * frames));
        QCOMPARE(bytes.size(), index + 8 + 16 * frames);
        if (frames > 0) // the last entry: offset 4 + 12 (n - 1)
            QCOMPARE(le32(bytes, bytes.size() - 8), uint32_t(4 + 12 * (frames - 1)));
    }

    void readByFfmpeg_data() {
        QTest::addColumn<int>("degrees");
        QTest::newRow("upright") << 0;
        // The header used to keep the unturned size of the frame.
        QTest::newRow("turned 90") << 90;
    }
    void readByFfmpeg() {
        QFETCH(int, degrees);
        const QString file = scratchPath(QStringLiteral("movie_%1.avi").arg(degrees));
        kx::AviWriter avi;
        QVERIFY(avi.kavi_open(file, 320, 256, kx::AviWriter::kMotionJpeg,
                              kx::AviWriter::kDefaultFramesPerSecond));
        QByteArray fifth;
        for (int n = 0; n < 12; ++n) {
            const QImage picture = exporttools::pictureOf(exporttools::sceneFrame(320, 256, n))
                                       .transformed(QTransform().rotate(degrees));
            const QByteArray jpeg = kx::encodeJpeg(picture);
            if (n == 4)
                fifth = jpeg;
            QVERIFY(avi.addFrame(jpeg));
        }
        QVERIFY(avi.closeFile());
        const int width = degrees ? 256 : 320;
        const int height = degrees ? 320 : 256;

        const auto probe =
            runTool(QStringLiteral("ffprobe"),
                    {QStringLiteral("-v"), QStringLiteral("warning"),
                     QStringLiteral("-count_frames"), QStringLiteral("-show_entries"),
                     QStringLiteral("stream=codec_name,width,height,r_frame_rate,nb_read_frames"),
                     QStringLiteral("-of"), QStringLiteral("json"), file});
        QVERIFY2(probe.started, "ffprobe is missing (scripts/install-deps)");
        QCOMPARE(probe.err, QByteArray());
        const QJsonObject stream =
            QJsonDocument::fromJson(probe.out)["streams"].toArray().at(0).toObject();
        QCOMPARE(stream["codec_name"].toString(), QStringLiteral("mjpeg"));
        QCOMPARE(stream["nb_read_frames"].toString(), QStringLiteral("12"));
        QCOMPARE(stream["r_frame_rate"].toString(), QStringLiteral("9/1"));
        QCOMPARE(stream["width"].toInt(), width);
        QCOMPARE(stream["height"].toInt(), height);

        const auto decode =
            runTool(QStringLiteral("ffmpeg"),
                    {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), file,
                     QStringLiteral("-f"), QStringLiteral("null"), QStringLiteral("-")});
        QCOMPARE(decode.exitCode, 0);
        QCOMPARE(decode.out + decode.err, QByteArray());

        const QString single = scratchPath(QStringLiteral("fifth_%1.jpg").arg(degrees));
        QFile jpegFile(single);
        QVERIFY(jpegFile.open(QIODevice::WriteOnly));
        jpegFile.write(fifth);
        jpegFile.close();
        const QByteArray fromMovie = exporttools::ffmpegFrame(file, 4);
        QCOMPARE(fromMovie.size(), width * height * 3);
        QVERIFY(fromMovie == exporttools::ffmpegFrame(single, 0));
    }

    void unwritableTargets() {
        const QString readOnly = scratchPath(QStringLiteral("readonly.avi"));
        QFile existing(readOnly);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep");
        existing.close();
        QVERIFY(existing.setPermissions(QFileDevice::ReadOwner));
        kx::AviWriter avi;
        QVERIFY(!avi.kavi_open(readOnly, 4, 4, "MJPG", 9));
        QCOMPARE(avi.errorString(), "Cannot write " + readOnly + ": the file is read-only");
        QVERIFY(!avi.addFrame(QByteArray(4, 'x')));
        QVERIFY(!avi.closeFile());
        QCOMPARE(fileBytes(readOnly), QByteArray("keep"));
        existing.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        const QString missing = scratchPath(QStringLiteral("no-such-folder/movie.avi"));
        QVERIFY(!avi.kavi_open(missing, 4, 4, "MJPG", 9));
        QVERIFY(avi.errorString().startsWith("Cannot write " + missing + ": "));

        // A run that stops before closeFile leaves nothing behind.
        {
            kx::AviWriter stopped;
            QVERIFY(stopped.kavi_open(scratchPath(QStringLiteral("stopped.avi")), 4, 4, "MJPG", 9));
            QVERIFY(stopped.addFrame(QByteArray(4, 'x')));
        }
        QCOMPARE(filesLike(QStringLiteral("stopped")), QStringList());
    }

    void diskFillsUp() {
        // A child process whose files may grow to about eight frames: with
        // SIGXFSZ ignored, the write that passes the limit fails like a full
        // disk.
        const QString file = scratchPath(QStringLiteral("full.avi"));
        const QByteArray frame =
            kx::encodeJpeg(exporttools::pictureOf(exporttools::sceneFrame(320, 256)));
        const rlim_t bytes = rlim_t(8 * frame.size());
        const pid_t child = fork();
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{bytes, bytes};
            setrlimit(RLIMIT_FSIZE, &limit);
            kx::AviWriter avi;
            bool written = avi.kavi_open(file, 320, 256, "MJPG", 9);
            for (int n = 0; n < 40 && written; ++n)
                written = avi.addFrame(frame);
            written = avi.closeFile() && written;
            const bool reported = avi.errorString().startsWith("Cannot write " + file + ": ");
            _exit(written ? 0 : reported ? 1 : 2);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 1); // failed, and said so
        QCOMPARE(filesLike(QStringLiteral("full")), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestAvi)
#include "tst_avi.moc"
