#include "app/CommandLine.h"
#include "app/CommandLineReport.h"
#include "app/CommandLineRun.h"
#include "app/ui/Kalorix.h"
#include "app/ui/RunReportHook.h"

#include <QApplication>
#include <QGuiApplication>
#include <csignal>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

int main(int argc, char** argv) {
    // A file size limit must end in a message about the file, not in a
    // signal that kills the run half-way through a folder.
    std::signal(SIGXFSZ, SIG_IGN);
#if defined(__GLIBC__)
    // The export's threads allocate and free frame-sized buffers (655 kB raw
    // frames, 1.3 MB pictures) for every frame. With glibc's moving
    // thresholds, some runs handed such buffers back to the kernel after
    // every frame and faulted them in again: 30,000 page faults instead of
    // 5,000 for 500 frames, and a fifth more time. Fixed thresholds keep them
    // in the heap; at most 64 MB of free memory stays with the process.
    mallopt(M_MMAP_THRESHOLD, 4 << 20);
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
    // A run that converts and closes has no one to look at a window: it must
    // work over SSH and in CI, without a display, unless the user chose a
    // platform.
    if (kx::commandLineWantsOffscreen(argc, argv, !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (kx::commandLineRunsWithoutWindow(argc, argv)) {
        // Pictures and fonts need the GUI application, widgets do not. It is
        // left for the process's end to take down: its destructor would load
        // the whole font configuration (the platform's font database asks
        // for it on the way out), which a run that wrote no text never did.
        // Qt keeps a reference to the count, which must outlive main.
        static int appArgc = argc;
        new QGuiApplication(appArgc, argv);
        kx::installCommandLineReportHook();
        return kx::runCommandLine(kx::parseCommandLine(argc, argv));
    }
    QApplication app(argc, argv);
    // Qt has taken its own options (-platform, -style, ...) out of argv.
    kx::installReportHookForRun(kx::commandLineAsksForWork(argc, argv));
    Kalorix window(argc, argv, nullptr);
    window.placeOnScreen();
    window.show();
    return app.exec();
}
