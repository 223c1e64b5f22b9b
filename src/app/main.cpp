#include "app/CommandLine.h"
#include "app/ui/Kalorix.h"
#include "app/ui/RunReportHook.h"

#include <QApplication>

int main(int argc, char** argv) {
    // A run that converts and closes has no one to look at a window: it must
    // work over SSH and in CI, without a display, unless the user chose a
    // platform.
    if (kx::commandLineWantsOffscreen(argc, argv, !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out of argv.
    kx::installReportHookForRun(kx::commandLineAsksForWork(argc, argv));
    Kalorix window(argc, argv, nullptr);
    window.show();
    return app.exec();
}
