// Replays kept fuzz inputs through the targets in an ordinary build:
//   kalorix-fuzz-replay TARGET PATH...
// Every file of every PATH (a file or a folder, searched recursively) is run
// once; a broken invariant aborts. Exit status 2 for an unknown target or an
// unreadable path, 1 when there was no input at all, 0 when every input ran.
#include "FuzzTarget.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <map>
#include <string>

namespace fuzzing {
namespace {

std::map<std::string, TargetFunction>& targets() {
    static std::map<std::string, TargetFunction> registry;
    return registry;
}

} // namespace

bool registerTarget(const char* name, TargetFunction function) {
    targets()[name] = function;
    return true;
}

} // namespace fuzzing

namespace {

bool runFile(fuzzing::TargetFunction target, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    // An exact-size copy, as the fuzzer hands its inputs over.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    target(input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: kalorix-fuzz-replay TARGET PATH...\n");
        return 2;
    }
    const auto found = fuzzing::targets().find(argv[1]);
    if (found == fuzzing::targets().end()) {
        std::fprintf(stderr, "kalorix-fuzz-replay: no target %s\n", argv[1]);
        return 2;
    }
    fuzzing::silenceConsole();
    int inputs = 0;
    for (int a = 2; a < argc; ++a) {
        const QString path = QString::fromLocal8Bit(argv[a]);
        QStringList files;
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
            files.sort();
        } else {
            files << path;
        }
        for (const QString& file : files) {
            if (!runFile(found->second, file)) {
                std::fprintf(stderr, "kalorix-fuzz-replay: cannot read %s\n", qPrintable(file));
                return 2;
            }
            ++inputs;
        }
    }
    std::printf("%s: %d inputs replayed\n", argv[1], inputs);
    // An empty corpus would make the test pass without running anything.
    return inputs > 0 ? 0 : 1;
}
