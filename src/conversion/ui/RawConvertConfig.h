#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <memory>

namespace Ui {
class RawConvertConfig;
}

// The "RAW Conversion Parameters" window: the raw-value window, automatic gain,
// palette, bi-colour window, TLinear mode, legend and rotation. It keeps its
// controls consistent with one another and reports every change through its
// signals; everyone else reads the choices through the getters.
//
// The numeric fields and value labels show raw counts, or temperatures in
// degrees Celsius when a TLinear mode is chosen. The sliders always hold raw
// counts, so the conversions between the two are kept in one place here and
// follow fixed precision rules: the same typed temperature must always land on
// the same raw count.
class RawConvertConfig : public QDialog {
    Q_OBJECT
public:
    explicit RawConvertConfig(QWidget* parent = nullptr);
    ~RawConvertConfig() override;

    int getLowerBound() const;
    int getUpperBound() const;
    int getColorMode() const;
    void setColorMode(int mode);
    bool getInverted() const;
    void setInverted(bool inverted);
    bool getBiColorModeEnabled() const;
    int getBiLow() const;
    int getBiHigh() const;
    bool getAutoGainEnabled() const;
    void setAutoGainEnabled(bool enabled);
    int getPercentageChange() const;
    void setPercetageChange(int percent);
    int getRadiometryOption() const;
    void setRadiometryOption(int option);
    bool getLegendVisibility() const;
    void setLegendVisibility(bool visible);
    void setLowerTemperatureThreshold(int raw);
    void setUpperTemperatureThreshold(int raw);
    // 0, 90 (clockwise), 180 or -90 (counter clockwise).
    int getRotation() const;
    // Accepts 0, 90, 180 and 270; anything else falls back to 0 with a console note.
    void setRotation(int angle);

    // Moves both bounds at once (the window a conversion actually used); ignored
    // unless lower < upper.
    void setSliderValues(int lower, int upper);

    int calcDeltaT() const;
    int calcMiddleTemp();
    double getDSBValue(int raw) const;
    QString getLabelText(int raw) const;
    int getSliderValueFromSpinBox(double value) const;

signals:
    void orientationChanged();
    void autoParametersClicked();
    void autoGainToggled(bool enabled);
    void radiometryChanged(int option);
    void legendChanged(bool visible);
    void parametersChanged();

private:
    void lowerBoundMoved(int value);
    void upperBoundMoved(int value);
    void middleMoved(int value);
    void gainLowTyped(double value);
    void gainHighTyped(double value);
    void biColorLowMoved(int value);
    void biColorHighMoved(int value);
    void radiometryChosen(int index);
    void biColorSwitched(bool enabled);
    void checkSliderPositions();
    void enableBiColorControls(bool enabled);
    void showMiddleValue(int raw);
    // Kelvin per raw count of the chosen TLinear mode, 0 when none is chosen.
    double tLinearResolution() const;

    std::unique_ptr<Ui::RawConvertConfig> ui;
    int32_t middleValue = 0;
};
