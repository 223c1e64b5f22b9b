// Draws the legend strips into a folder at build time:
//   kalorix-legendgen OUTPUT_DIR
// writes 640_<mode>_<inverted>_black.png for the four colour modes, plain and
// inverted, from the same palette code that converts the frames.
#include "conversion/LegendStrip.h"

#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kalorix-legendgen OUTPUT_DIR\n");
        return 2;
    }
    const QString outputDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outputDir)) {
        std::fprintf(stderr, "kalorix-legendgen: cannot create %s\n", argv[1]);
        return 1;
    }
    for (unsigned mode = 0; mode < legendstrip::kColourModeCount; ++mode) {
        for (bool inverted : {false, true}) {
            const QString path =
                outputDir + QLatin1Char('/') + legendstrip::stripFileName(mode, inverted);
            if (!legendstrip::drawLegendStrip(mode, inverted).save(path, "PNG")) {
                std::fprintf(stderr, "kalorix-legendgen: cannot write %s\n",
                             path.toLocal8Bit().constData());
                return 1;
            }
        }
    }
    return 0;
}
