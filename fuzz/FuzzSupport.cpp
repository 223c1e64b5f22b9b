#include "FuzzTarget.h"

#include "base/Report.h"

namespace fuzzing {

void silenceConsole() {
    kx::setConsoleHook([](kx::Stream, const QString&) {});
    kx::setReportHook([](kx::ReportKind, const QString&, const QString&) {});
}

} // namespace fuzzing
