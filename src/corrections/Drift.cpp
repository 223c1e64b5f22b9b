#include "corrections/Drift.h"

#include <QIODevice>
#include <algorithm>
#include <climits>
#include <cstring>

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

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n';
}

} // namespace

int32_t ffcLineValue(const char* data, size_t size) {
    size_t begin = 0;
    size_t end = size;
    while (begin < end && isBlank(data[begin]))
        ++begin;
    while (end > begin && isBlank(data[end - 1]))
        --end;
    if (begin < end && data[begin] == '+')
        ++begin;
    if (begin == end)
        return 0;
    // Every byte is looked at: a zero byte or anything else after the digits
    // makes the line no number, not the number before it.
    int64_t value = 0;
    for (size_t i = begin; i < end; ++i) {
        const char c = data[i];
        if (c < '0' || c > '9')
            return 0;
        value = std::min<int64_t>(value * 10 + (c - '0'), int64_t(INT32_MAX) + 1);
    }
    return value <= INT32_MAX ? int32_t(value) : 0;
}

int32_t ffcLineValue(const QByteArray& line) {
    return ffcLineValue(line.constData(), size_t(line.size()));
}

std::vector<int32_t> parseFfcList(const char* data, size_t size) {
    std::vector<int32_t> frames;
    size_t start = 0;
    while (start < size) {
        const void* feed = std::memchr(data + start, '\n', size - start);
        const size_t end = feed ? size_t(static_cast<const char*>(feed) - data) : size;
        frames.push_back(ffcLineValue(data + start, end - start));
        start = end + 1;
    }
    return frames;
}

std::vector<int32_t> readFfcList(QIODevice& device) {
    const QByteArray text = device.readAll();
    return parseFfcList(text.constData(), size_t(text.size()));
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
