#include "base/Report.h"

#include <cstdio>
#include <utility>

namespace kx {
namespace {

void defaultConsole(Stream stream, const QString& text) {
    FILE* f = stream == Stream::Out ? stdout : stderr;
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
    std::fflush(f);
}

void defaultReport(ReportKind, const QString& title, const QString& text) {
    consoleWrite(Stream::Err, (title.isEmpty() ? text : title + QStringLiteral(": ") + text) +
                                  QLatin1Char('\n'));
}

ReportHook& reportHook() {
    static ReportHook hook = defaultReport;
    return hook;
}

QString& informativeText() {
    static thread_local QString text;
    return text;
}

ConsoleHook& consoleHook() {
    static ConsoleHook hook = defaultConsole;
    return hook;
}

} // namespace

ReportHook setReportHook(ReportHook hook) {
    ReportHook old = reportHook();
    reportHook() = hook ? std::move(hook) : ReportHook(defaultReport);
    return old;
}

void report(ReportKind kind, const QString& title, const QString& text) {
    reportDetailed(kind, title, text, QString());
}

void reportDetailed(ReportKind kind, const QString& title, const QString& text,
                    const QString& informative) {
    // A report made from inside a hook (a nested one) gets its own reason and
    // gives the outer one back afterwards.
    const QString outer = std::exchange(informativeText(), informative);
    reportHook()(kind, title, text);
    informativeText() = outer;
}

QString reportInformativeText() {
    return informativeText();
}

ConsoleHook setConsoleHook(ConsoleHook hook) {
    ConsoleHook old = consoleHook();
    consoleHook() = hook ? std::move(hook) : ConsoleHook(defaultConsole);
    return old;
}

void consoleWrite(Stream stream, const QString& text) {
    consoleHook()(stream, text);
}

} // namespace kx
