#include "corrections/ui/NucConfiguration.h"

#include "ui_NucConfiguration.h"

#include <QPushButton>

NucConfiguration::NucConfiguration(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::NucConfiguration>()) {
    ui->setupUi(this);
    connect(ui->btnOk, &QPushButton::clicked, this, &NucConfiguration::startChosenCompensation);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->btnStartCF, &QPushButton::clicked, this, [this]() { emit getFrameSliderValue(0); });
    connect(ui->btnEndCF, &QPushButton::clicked, this, [this]() { emit getFrameSliderValue(1); });
}

NucConfiguration::~NucConfiguration() = default;

int NucConfiguration::startFrame() const {
    return ui->sbStartFrame->value();
}

int NucConfiguration::endFrame() const {
    return ui->sbEndFrame->value();
}

void NucConfiguration::setClipMinMaxFrameNumbers(int min, int max) {
    ui->sbStartFrame->setValue(min);
    ui->sbEndFrame->setValue(max);
}

void NucConfiguration::setFrameSliderValue(int which, int value) {
    if (which == 0)
        ui->sbStartFrame->setValue(value);
    else if (which == 1)
        ui->sbEndFrame->setValue(value);
}

void NucConfiguration::startChosenCompensation() {
    // Closed first: the computation lets events run while the dialog would
    // still offer "Ok" for a second one.
    close();
    if (ui->rbMotionBased->isChecked())
        emit executeMotionBasedNUC(ui->sbStartFrame->value(), ui->sbEndFrame->value());
    else if (ui->rbNone->isChecked())
        emit disableNUC();
}
