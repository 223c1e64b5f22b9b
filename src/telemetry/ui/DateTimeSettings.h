#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class DateTimeSettings;
}

// The hour offset to UTC that NMEA times are shifted by (-12 to 12).
class DateTimeSettings : public QDialog {
    Q_OBJECT
public:
    explicit DateTimeSettings(QWidget* parent = nullptr);
    ~DateTimeSettings() override;

    int getHourOffset() const;
    void setHourOffset(int hours);

signals:
    // Every change of the offset, from the user or from setHourOffset.
    void timeOffsetChanged(int hours);

private:
    std::unique_ptr<Ui::DateTimeSettings> ui;
};
