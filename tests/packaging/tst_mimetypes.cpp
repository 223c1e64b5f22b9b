// The recording types as a file manager sees them: the installed MIME package
// is compiled by update-mime-database and read back through Qt's reader of the
// freedesktop database, by file name and by content.

#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The type's name when it is one of the recording types, else empty: types
// outside the package are not the question here.
QString recordingType(const QMimeType& type) {
    return type.name().startsWith(QLatin1String("application/x-kestrum-")) ? type.name()
                                                                           : QString();
}

} // namespace

class TestMimeTypes : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void byName_data();
    void byName();
    void byContent_data();
    void byContent();

private:
    QTemporaryDir m_share{testsupport::scratchDir() + QStringLiteral("/share-XXXXXX")};
};

void TestMimeTypes::initTestCase() {
    QVERIFY(m_share.isValid());
    const QString package = QStringLiteral(KALORIX_MIME_PACKAGE);
    const QString mime = m_share.path() + QStringLiteral("/mime");
    QVERIFY(QDir().mkpath(mime + QStringLiteral("/packages")));
    QVERIFY(QFile::copy(package, mime + QStringLiteral("/packages/kalorix.xml")));
    QProcess update;
    update.start(QStringLiteral("update-mime-database"), {mime});
    QVERIFY2(update.waitForFinished(60000), "update-mime-database did not run");
    QCOMPARE(update.exitCode(), 0);
    // Only this database: the system's types must not decide the answers.
    qputenv("XDG_DATA_HOME", m_share.path().toLocal8Bit());
    qputenv("XDG_DATA_DIRS", m_share.path().toLocal8Bit());
}

void TestMimeTypes::byName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::newRow("THR") << "0001.THR"
                         << "application/x-kestrum-thr";
    QTest::newRow("THC") << "0001.THC"
                         << "application/x-kestrum-thc";
    QTest::newRow("THM") << "0001.THM"
                         << "application/x-kestrum-thm";
    QTest::newRow("TMC") << "0001.TMC"
                         << "application/x-kestrum-tmc";
    QTest::newRow("TFC") << "0001.TFC"
                         << "application/x-kestrum-tfc";
    QTest::newRow("lower case") << "flight.tmc"
                                << "application/x-kestrum-tmc";
    QTest::newRow("mixed case") << "flight.Thm"
                                << "application/x-kestrum-thm";
    QTest::newRow("extension inside the name") << "flight.TMC.bak" << QString();
}

void TestMimeTypes::byName() {
    QFETCH(QString, name);
    QFETCH(QString, type);
    QCOMPARE(recordingType(QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension)),
             type);
}

void TestMimeTypes::byContent_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("compressed");
    QTest::addColumn<bool>("recording");
    for (int version : {0, 1, 2, 4, 5, 6})
        QTest::addRow("version %d", version) << version << false << true;
    QTest::newRow("compressed movie") << 6 << true << true;
    // The readers refuse version 3: the file manager must not offer Kalorix.
    QTest::newRow("version 3") << 3 << false << false;
}

void TestMimeTypes::byContent() {
    QFETCH(int, version);
    QFETCH(bool, compressed);
    QFETCH(bool, recording);
    synth::MovieOptions options;
    options.frames = 2;
    options.version = version;
    options.compressed = compressed;
    options.scene.width = 160;
    options.scene.height = 128;
    // No extension: only the bytes can tell.
    const QString path =
        m_share.filePath(QStringLiteral("recording%1").arg(QTest::currentDataTag()));
    QVERIFY(synth::writeFile(path, synth::makeMovie(options)));
    const QMimeType type = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchContent);
    QCOMPARE(!recordingType(type).isEmpty(), recording);
}

QTEST_MAIN(TestMimeTypes)
#include "tst_mimetypes.moc"
