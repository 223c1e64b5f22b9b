#include "corrections/Drift.h"

#include <QIODevice>
#include <climits>

namespace drift {

std::vector<float> computeOffsets(int frameCount, const std::vector<int32_t>& ffcFrames,
                                  const MeanOf& meanOf) {
    std::vector<float> offsets(size_t(std::max(frameCount, 0)), 0.0f);
    int32_t prev = 0;
    for (const int32_t f : ffcFrames) {
        if (f < 2 || f >= frameCount)
            continue;
        const std::optional<int64_t> m1 = meanOf(f);
        const std::optional<int64_t> m0 = meanOf(f - 1);
        if (!m1 || !m0)
            continue;
        if (prev < f - 1) {
            const float slope = float(int32_t(*m1 - *m0)) / float(f - prev);
            for (int32_t k = prev; k <= f - 2; ++k)
                offsets[size_t(k)] = float(k - prev) * slope;
        }
        prev = f;
    }
    return offsets;
}

int32_t ffcLineValue(const QByteArray& line) {
    bool ok = false;
    const qulonglong value = line.trimmed().toULongLong(&ok, 10);
    return ok && value <= qulonglong(INT32_MAX) ? int32_t(value) : 0;
}

std::vector<int32_t> readFfcList(QIODevice& device) {
    std::vector<int32_t> frames;
    while (!device.atEnd())
        frames.push_back(ffcLineValue(device.readLine()));
    return frames;
}

QString ffcListText(const std::vector<int32_t>& frames) {
    QString text;
    text.reserve(int(frames.size()) * 8);
    for (const int32_t f : frames) {
        text += QString::number(f);
        text += QStringLiteral(", ");
    }
    return text;
}

} // namespace drift
