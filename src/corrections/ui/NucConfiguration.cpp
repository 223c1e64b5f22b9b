#include "corrections/ui/NucConfiguration.h"

#include "ui_NucConfiguration.h"

NucConfiguration::NucConfiguration(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::NucConfiguration>()) {
    ui->setupUi(this);
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

void NucConfiguration::on_btnOk_clicked() {
    // Closed first: the computation lets events run while the dialog would
    // still offer "Ok" for a second one.
    close();
    if (ui->rbMotionBased->isChecked())
        emit executeMotionBasedNUC(ui->sbStartFrame->value(), ui->sbEndFrame->value());
    else if (ui->rbNone->isChecked())
        emit disableNUC();
}

void NucConfiguration::on_btnCancel_clicked() {
    close();
}

void NucConfiguration::on_btnStartCF_clicked() {
    emit getFrameSliderValue(0);
}

void NucConfiguration::on_btnEndCF_clicked() {
    emit getFrameSliderValue(1);
}
