#include "app/CommandLineReport.h"

namespace kx {
namespace {

int& failureCount() {
    static int count = 0;
    return count;
}

} // namespace

QString commandLineReportLine(ReportKind kind, const QString& title, const QString& text) {
    QString head = title;
    if (head.isEmpty()) {
        switch (kind) {
        case ReportKind::Error:
            head = QStringLiteral("Error");
            break;
        case ReportKind::Warning:
            head = QStringLiteral("Warning");
            break;
        case ReportKind::Information:
            head = QStringLiteral("Information");
            break;
        }
    }
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    body.replace(QLatin1Char('\n'), QLatin1Char(' '));
    body.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return head + QStringLiteral(": ") + body;
}

void installCommandLineReportHook() {
    failureCount() = 0;
    setReportHook([](ReportKind kind, const QString& title, const QString& text) {
        if (kind != ReportKind::Information)
            ++failureCount();
        consoleErr(commandLineReportLine(kind, title, text));
    });
}

int reportedFailureCount() {
    return failureCount();
}

} // namespace kx

namespace kx {

ReportWatch::ReportWatch() {
    m_previous = setReportHook([this](ReportKind kind, const QString& title, const QString& text) {
        m_reported = true;
        m_previous(kind, title, text);
    });
}

ReportWatch::~ReportWatch() {
    setReportHook(m_previous);
}

} // namespace kx
