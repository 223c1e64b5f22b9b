#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class RadiometricConfig;
}

// The "Parameter Config" window: the four constants of the Planck model as
// integer sliders. R2 is held in units of 1/10000 so that a slider can carry it.
class RadiometricConfig : public QDialog {
    Q_OBJECT
public:
    explicit RadiometricConfig(QWidget* parent = nullptr);
    ~RadiometricConfig() override;

    // The current constants, R2 already divided by 10000.
    void getRadioConstants(double& B, double& O, double& R1, double& R2) const;

signals:
    void planckBChanged(int value);
    void planckOChanged(int value);
    void planckR1Changed(int value);
    void planckR2Changed(int value);

private:
    std::unique_ptr<Ui::RadiometricConfig> ui;
};
