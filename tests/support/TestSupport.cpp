#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtGlobal>

namespace testsupport {

Recorder::Recorder() {
    m_oldReport =
        kx::setReportHook([this](kx::ReportKind kind, const QString& title, const QString& text) {
            reports.push_back({kind, title, text});
        });
    m_oldConsole = kx::setConsoleHook([this](kx::Stream stream, const QString& text) {
        (stream == kx::Stream::Out ? out : err) += text;
    });
}

Recorder::~Recorder() {
    kx::setReportHook(m_oldReport);
    kx::setConsoleHook(m_oldConsole);
}

QStringList Recorder::outLines() const {
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void Recorder::clear() {
    reports.clear();
    out.clear();
    err.clear();
}

QString scratchDir() {
    QString dir = qEnvironmentVariable("KALORIX_TEST_TMP");
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/kalorix-test");
    QDir().mkpath(dir);
    return dir;
}

QString scratchPath(const QString& name) {
    return scratchDir() + QLatin1Char('/') + name;
}

QString freshDir(const QString& name) {
    const QString dir = scratchPath(name);
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
    return dir;
}

QStringList filesIn(const QString& dir) {
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString sharedTestData(const QString& subfolder) {
    const QString root = qEnvironmentVariable("KALORIX_SHARED_TESTDATA");
    const QString path = root + QLatin1Char('/') + subfolder;
    return (!root.isEmpty() && QFileInfo(path).isDir()) ? path : QString();
}

} // namespace testsupport
