#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class NucConfiguration;
}

// The frame range and kind of the non-uniformity compensation ("NUC
// Configuration"). The window turns its signals into computations.
class NucConfiguration : public QDialog {
    Q_OBJECT
public:
    explicit NucConfiguration(QWidget* parent = nullptr);
    ~NucConfiguration() override;

    int startFrame() const;
    int endFrame() const;

public slots:
    void setClipMinMaxFrameNumbers(int min, int max);
    // which: 0 the start frame, 1 the end frame; other values are ignored.
    void setFrameSliderValue(int which, int value);

signals:
    void executeMotionBasedNUC(int start, int end);
    void disableNUC();
    // Asks the window for the frame on screen: 0 for the start, 1 for the end.
    void getFrameSliderValue(int which);
    void enableProgressBar();
    void disableProgressBar();

private:
    // "Ok": the chosen compensation is run, or switched off.
    void startChosenCompensation();
    std::unique_ptr<Ui::NucConfiguration> ui;
};
