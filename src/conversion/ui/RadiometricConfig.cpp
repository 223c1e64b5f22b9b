#include "conversion/ui/RadiometricConfig.h"

#include "ui_RadiometricConfig.h"

#include <QLabel>
#include <QSlider>

RadiometricConfig::RadiometricConfig(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::RadiometricConfig>()) {
    ui->setupUi(this);

    const struct {
        QSlider* slider;
        QLabel* value;
        void (RadiometricConfig::*signal)(int);
    } constants[] = {
        {ui->slR1, ui->lblR1Value, &RadiometricConfig::planckR1Changed},
        {ui->slB, ui->lblBValue, &RadiometricConfig::planckBChanged},
        {ui->slO, ui->lblOValue, &RadiometricConfig::planckOChanged},
        {ui->slR2, ui->lblR2Value, &RadiometricConfig::planckR2Changed},
    };
    for (const auto& c : constants) {
        QLabel* valueLabel = c.value;
        valueLabel->setNum(c.slider->value());
        connect(c.slider, &QSlider::valueChanged, valueLabel, QOverload<int>::of(&QLabel::setNum));
        connect(c.slider, &QSlider::valueChanged, this, c.signal);
    }
}

RadiometricConfig::~RadiometricConfig() = default;

void RadiometricConfig::getRadioConstants(double& B, double& O, double& R1, double& R2) const {
    B = ui->slB->value();
    O = ui->slO->value();
    R1 = ui->slR1->value();
    R2 = ui->slR2->value() / 10000.0;
}
