// Baseline for the start-up time of the program: the bare Qt start it builds
// on (a widget application on the offscreen platform with one main window,
// not shown), then exit. Timed from outside, beside the program, e.g.
//   hyperfine -N build/dev/bench/bench_startup 'build/dev/src/kalorix -help'

#include <QApplication>
#include <QMainWindow>

#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QMainWindow window;
    std::puts("started");
    return 0;
}
