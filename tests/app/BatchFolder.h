#pragma once

// A folder for the batch conversion: four single-frame raw files of different
// sizes whose extensions differ in case (the second, a version 3 file, does
// not load), beside a movie, a text file and a folder named like a raw file.

#include "support/TestSupport.h"
#include "synth/Synth.h"

#include <QDir>
#include <QSize>
#include <QtTest>

namespace batchtest {

inline const QStringList kListed = {"a.thr", "B_v3.THR", "c.THR", "D.tHr"};
// The picture sizes of the files that load, by picture number.
inline const QList<QPair<QString, QSize>> kPictures = {{"thermo0001.png", QSize(160, 120)},
                                                       {"thermo0003.png", QSize(324, 256)},
                                                       {"thermo0004.png", QSize(336, 256)}};

inline QByteArray singleFrame(int width, int height, int version) {
    synth::MovieOptions options;
    options.frames = 1;
    options.version = version;
    options.scene.width = width;
    options.scene.height = height;
    return synth::makeSingleFrameFile(options);
}

inline QString makeBatchFolder(const QString& name) {
    const QString dir = testsupport::freshDir(name);
    const bool made = QDir().mkpath(dir + QStringLiteral("/x.THR")) &&
                      synth::writeFile(dir + "/D.tHr", singleFrame(336, 256, 6)) &&
                      synth::writeFile(dir + "/c.THR", singleFrame(324, 256, 5)) &&
                      synth::writeFile(dir + "/a.thr", singleFrame(160, 120, 6)) &&
                      synth::writeFile(dir + "/B_v3.THR", singleFrame(160, 120, 3)) &&
                      synth::writeFile(dir + "/e.TMC", singleFrame(160, 120, 6)) &&
                      synth::writeFile(dir + "/notes.txt", "a.THR\n");
    return made ? dir : QString();
}

// "name WxH" of every file in the folder, in name order.
inline QStringList picturesIn(const QString& dir) {
    QStringList found;
    for (const QString& name : QDir(dir).entryList(QDir::Files, QDir::Name)) {
        const QImage image(dir + QLatin1Char('/') + name);
        found << QStringLiteral("%1 %2x%3").arg(name).arg(image.width()).arg(image.height());
    }
    return found;
}

inline QStringList expectedPictures() {
    QStringList expected;
    for (const auto& picture : kPictures)
        expected << QStringLiteral("%1 %2x%3")
                        .arg(picture.first)
                        .arg(picture.second.width())
                        .arg(picture.second.height());
    return expected;
}

} // namespace batchtest
