#include "app/ui/RunReportHook.h"

#include "app/CommandLineReport.h"

#include <QApplication>
#include <QMessageBox>

namespace kx {

void installReportHookForRun(bool commandLine) {
    if (commandLine) {
        installCommandLineReportHook();
        return;
    }
    setReportHook([](ReportKind kind, const QString& title, const QString& text) {
        QMessageBox box(QApplication::activeWindow());
        box.setIcon(kind == ReportKind::Error     ? QMessageBox::Critical
                    : kind == ReportKind::Warning ? QMessageBox::Warning
                                                  : QMessageBox::Information);
        box.setWindowTitle(title);
        box.setText(text);
        box.setInformativeText(reportInformativeText());
        box.exec();
    });
}

} // namespace kx
