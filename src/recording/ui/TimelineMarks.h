#pragma once

#include <QWidget>
#include <vector>

class QSlider;

// Ticks over a movie's frame slider: the FFC frames (where the picture jumps
// after a flat-field correction) and the frames after a counter gap (frames
// the recorder lost). It lies on the slider, takes no mouse input and follows
// its size, so the slider works as before.
class TimelineMarks : public QWidget {
    Q_OBJECT
public:
    explicit TimelineMarks(QSlider* slider);

    // 1-based FFC frames as the converter lists them, and the 0-based frame
    // indexes of its counter check (the frame after each gap).
    void setMarks(const std::vector<int32_t>& ffcFrames, const std::vector<int32_t>& counterGaps);
    void clearMarks();
    const std::vector<int>& ffcFrames() const { return m_ffc; }
    const std::vector<int>& gapFrames() const { return m_gaps; }
    // The x coordinate (in the slider and in this widget) of the handle's
    // centre when the slider stands at frame.
    int xOfFrame(int frame) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QSlider* m_slider;
    std::vector<int> m_ffc;
    std::vector<int> m_gaps;
};
