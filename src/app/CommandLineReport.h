#pragma once

#include "base/Report.h"

// A command-line run has no one to close a message box: every report becomes
// one line on standard error, and the run remembers that something failed so
// that it can end with a non-zero exit code instead of claiming success.
namespace kx {

// The line written for a report: "<title>: <text>", or "<kind>: <text>" for
// the untitled warning boxes; line breaks inside the text become spaces.
QString commandLineReportLine(ReportKind kind, const QString& title, const QString& text);

// Installs the standard-error hook and clears the failure count.
void installCommandLineReportHook();
// Errors and warnings reported since the hook was installed.
int reportedFailureCount();

} // namespace kx

namespace kx {

// Notes whether anything was reported while it lives, passing every report on
// to the hook installed before it.
class ReportWatch {
public:
    ReportWatch();
    ~ReportWatch();
    ReportWatch(const ReportWatch&) = delete;
    ReportWatch& operator=(const ReportWatch&) = delete;
    bool reported() const { return m_reported; }

private:
    ReportHook m_previous;
    bool m_reported = false;
};

} // namespace kx
