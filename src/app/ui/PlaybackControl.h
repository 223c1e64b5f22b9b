#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class DataConverter;
class QBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QWidget;
class TimelineMarks;

// The frame navigation of a movie in the main window: the slider with its
// ticks and its position (with the frame's telemetry time), stepping by
// buttons, by the Left and Right keys and to the ends by Home and End, playback at
// one, two or three times the recorded rate, and the begin and end of the
// export range. The widgets belong to the window's form; the control owns
// their logic and asks the window for a frame through frameChosen.
class PlaybackControl : public QObject {
    Q_OBJECT
public:
    struct Widgets {
        QWidget* controls;
        QBoxLayout* controlsLayout; // the rows of the controls
        QBoxLayout* buttonRow;
        QSlider* slider;
        QLabel* position;
        QPushButton* frameDown;
        QPushButton* frameUp;
        QPushButton* play;
        QPushButton* playDouble;
        QPushButton* playTriple;
        QLabel* startLabel;
        QLineEdit* start;
        QPushButton* setStart;
        QLabel* endLabel;
        QLineEdit* end;
        QPushButton* setEnd;
    };
    // keyParent: the window whose Left and Right keys step. playable says
    // whether a movie is on show; the converter gives the frame count and
    // the time between frames.
    PlaybackControl(const Widgets& widgets, QWidget* keyParent, const DataConverter* converter,
                    std::function<bool()> playable, QObject* parent);

    // A movie of frameCount frames at frame, its whole range chosen. Fetches
    // no frame: at the start of a load the converter still holds the
    // previous recording.
    void setFrames(int frameCount, int frame);
    void setVisible(bool visible);
    bool isShown() const;
    int frame() const;
    int frameCount() const;
    // Moves the slider, which asks for the frame.
    void setFrame(int frame);
    QString startText() const;
    QString endText() const;
    void setRangeTexts(const QString& start, const QString& end);
    // The time the telemetry gives the frame on show, after its number on the
    // position label; empty for none.
    void setFrameTime(const QString& time);
    // Ticks over the slider: 1-based FFC frames and the 0-based indexes of
    // the frames after counter gaps.
    void setMarks(const std::vector<int32_t>& ffcFrames, const std::vector<int32_t>& counterGaps);
    void clearMarks();
    bool isPlaying() const { return playing; }
    unsigned speed() const { return playSpeed; }
    // Ends a running playback at its next step.
    void stop() { playing = false; }

    bool eventFilter(QObject* watched, QEvent* event) override;

public slots:
    // Starts the playback at the chosen speed, or stops a running one.
    void togglePlaying();

signals:
    void frameChosen(int frame);

private:
    void playAt(unsigned speed);
    // Every press counts: presses that arrive while a frame is decoded move
    // the target on, and the next decode goes straight to it.
    void stepFrames(int delta);
    void showPosition();
    // The speed button of a running playback shows as pressed.
    void showPlaybackState();
    void setupAdaptiveLayout();
    // One navigation row when the image pane is wide enough, else two.
    void arrangeNavigationRows(int width);
    // The begin and end parts of the export range side by side, or stacked.
    void arrangeFrameRange(bool oneLine);

    Widgets w;
    const DataConverter* converter;
    std::function<bool()> playable;
    TimelineMarks* marks;
    QString frameTime;
    bool playing = false;
    unsigned playSpeed = 1;
    bool frameStepQueued = false;
    int pendingFrame = 0;          // target of the queued step
    QWidget* frameRange = nullptr; // the export range controls of the navigation
    int steppingRowWidth = 0;      // the navigation row without them
    int rangeLineWidth = 0;        // the range controls on one line
};
