#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class QIODevice;

// Temperature drift between flat-field corrections (FFC): the core's level
// creeps away and jumps back at each FFC frame. Every frame since the previous
// FFC frame receives an offset that grows linearly to the jump measured there.
namespace drift {

// The mean raw value of frame n (1-based), or nothing when it cannot be read.
using MeanOf = std::function<std::optional<int64_t>(int frame)>;

// One offset per 0-based frame index of a movie of frameCount frames. FFC
// frames are taken in list order; numbers outside 2 ... frameCount - 1, a
// frame that cannot be read, and a frame not after the previous one add no
// offsets.
std::vector<float> computeOffsets(int frameCount, const std::vector<int32_t>& ffcFrames,
                                  const MeanOf& meanOf);

// Frame numbers of an FFC list file, one per line in the order written: lines
// end at a line feed, and a last line without one counts too. Each line is read
// without the blanks around it (a carriage return among them); one that is not
// an unsigned decimal (digits, a leading '+' allowed) of at most 2,147,483,647
// counts as frame 0, as does an empty one. Reads nothing outside the span.
std::vector<int32_t> parseFfcList(const char* data, size_t size);
int32_t ffcLineValue(const char* data, size_t size);
// The same for the whole of a device and for one line.
std::vector<int32_t> readFfcList(QIODevice& device);
int32_t ffcLineValue(const QByteArray& line);

// The text the window lists FFC frames in: every number followed by ", ".
QString ffcListText(const std::vector<int32_t>& frames);

} // namespace drift
