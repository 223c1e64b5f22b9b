#pragma once

#include "base/Report.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace testsupport {

struct Report {
    kx::ReportKind kind;
    QString title;
    QString text;
};

// Records every report and every console line while it lives, so a test can
// assert the exact texts and fail on anything unexpected.
class Recorder {
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::vector<Report> reports;
    QString out; // everything written to standard output
    QString err; // everything written to standard error
    QStringList outLines() const;
    void clear();

private:
    kx::ReportHook m_oldReport;
    kx::ConsoleHook m_oldConsole;
};

// The test's private scratch folder (created by CTest for each test program).
QString scratchDir();
// The path of name in the scratch folder.
QString scratchPath(const QString& name);
// The folder name in the scratch folder, emptied or created.
QString freshDir(const QString& name);
// The file names in dir (no folders), in name order.
QStringList filesIn(const QString& dir);
// The bytes of a file; empty when it cannot be read.
QByteArray fileBytes(const QString& path);
// A folder of ../shared/testdata, or an empty string when it is absent.
QString sharedTestData(const QString& subfolder);

} // namespace testsupport
