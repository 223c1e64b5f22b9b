#pragma once

#include <QString>
#include <functional>

// The core never opens a dialog. What the user must see goes through one report
// hook that the application installs: the window shows a modal message box, a
// command-line run writes one line to standard error, tests record the reports.
//
// Console diagnostics (the program's standard output lines) go through a second
// hook so that tests can read them; by default they are written and flushed.
namespace kx {

enum class ReportKind { Error, Warning, Information };

using ReportHook = std::function<void(ReportKind kind, const QString& title, const QString& text)>;
// Installs a hook and returns the previous one (so a test can restore it).
ReportHook setReportHook(ReportHook hook);
void report(ReportKind kind, const QString& title, const QString& text);
inline void reportError(const QString& text) {
    report(ReportKind::Error, QStringLiteral("Error"), text);
}

// A report with the reason behind it (why a file is not a recording, say).
// It passes through the installed hook like any other report, so hooks that
// wrap others keep seeing it; a hook that shows more than one line asks for
// the reason with reportInformativeText() while it runs.
void reportDetailed(ReportKind kind, const QString& title, const QString& text,
                    const QString& informative);
inline void reportErrorDetailed(const QString& text, const QString& informative) {
    reportDetailed(ReportKind::Error, QStringLiteral("Error"), text, informative);
}
// The reason of the report being delivered now; empty outside a hook and for
// reports made without one.
QString reportInformativeText();

enum class Stream { Out, Err };
using ConsoleHook = std::function<void(Stream stream, const QString& text)>;
ConsoleHook setConsoleHook(ConsoleHook hook);
// Writes text as it stands (no line break added).
void consoleWrite(Stream stream, const QString& text);
// Writes one diagnostic line to standard output, ending it with a line break.
inline void console(const QString& line) {
    consoleWrite(Stream::Out, line + QLatin1Char('\n'));
}
inline void consoleErr(const QString& line) {
    consoleWrite(Stream::Err, line + QLatin1Char('\n'));
}

} // namespace kx
