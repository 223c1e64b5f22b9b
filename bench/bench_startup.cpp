// Baseline for the start-up time of a command-line run: the bare Qt start it
// builds on (a GUI application on the offscreen platform, for pictures and
// fonts), then exit. Timed from outside, beside the program, e.g.
//   hyperfine -N build/dev/bench/bench_startup 'build/dev/src/kalorix -help'

#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    std::puts("started");
    return 0;
}
