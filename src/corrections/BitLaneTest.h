#pragma once

#include <QObject>
#include <QStringList>
#include <cstdint>
#include <vector>

class DataConverter;

// Which of the 16 bit positions of a frame's raw values were never 1 and which
// were never 0: a broken line of the core's parallel interface shows as a bit
// that never changes.
namespace bitlane {

// The smallest sensor's frame (160 x 120); fewer values are no frame to test.
constexpr size_t kMinValues = 160 * 120;

// "MaskZeros: " + OR of the values and "MaskOnes:  " + OR of their
// complements, as 16 binary digits each; or "No current frame available".
QStringList reportLines(const std::vector<uint16_t>& raw);

} // namespace bitlane

class BitLaneTest : public QObject {
    Q_OBJECT
public:
    explicit BitLaneTest(DataConverter* converter);

public slots:
    // Examines the converter's current frame and writes the result to the
    // debug log.
    void testFrame();

private:
    DataConverter* m_converter;
};
