#include "telemetry/ui/DateTimeSettings.h"

#include "ui_DateTimeSettings.h"

DateTimeSettings::DateTimeSettings(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::DateTimeSettings>()) {
    ui->setupUi(this);
    connect(ui->sbTimeOffset, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &DateTimeSettings::timeOffsetChanged);
}

DateTimeSettings::~DateTimeSettings() = default;

int DateTimeSettings::getHourOffset() const {
    return ui->sbTimeOffset->value();
}

void DateTimeSettings::setHourOffset(int hours) {
    ui->sbTimeOffset->setValue(hours);
}
