#include "conversion/ui/RawConvertConfig.h"

#include "app/ui/DialogLayout.h"
#include "base/Radiometry.h"
#include "base/Report.h"
#include "ui_RawConvertConfig.h"

#include <QSignalBlocker>
#include <cmath>

namespace {
using kx::radiometry::kKelvinOffset;
} // namespace

RawConvertConfig::RawConvertConfig(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::RawConvertConfig>()) {
    ui->setupUi(this);
    // Connected before anything else, in the order the form's connect-by-name
    // used to make them.
    connect(ui->slLowerBound, &QSlider::valueChanged, this, &RawConvertConfig::lowerBoundMoved);
    connect(ui->slUpperBound, &QSlider::valueChanged, this, &RawConvertConfig::upperBoundMoved);
    connect(ui->slMiddleTemperature, &QSlider::valueChanged, this, &RawConvertConfig::middleMoved);
    connect(ui->dsbGainLow, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &RawConvertConfig::gainLowTyped);
    connect(ui->dsbGainHigh, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &RawConvertConfig::gainHighTyped);
    connect(ui->slBiColorLow, &QSlider::valueChanged, this, &RawConvertConfig::biColorLowMoved);
    connect(ui->slBiColorHigh, &QSlider::valueChanged, this, &RawConvertConfig::biColorHighMoved);
    connect(ui->cbRadiometry, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &RawConvertConfig::radiometryChosen);
    connect(ui->cbBiColorEnabled, &QCheckBox::toggled, this, &RawConvertConfig::biColorSwitched);
    kx::alignCaptionColumn({ui->lblColor, ui->lblBiColor, ui->lblBiColorLow, ui->lblBiColorHigh,
                            ui->lblAutoGain, ui->lblPercentageChange, ui->lblGainLow,
                            ui->lblGainHigh, ui->lblGainMid},
                           Qt::AlignLeft);

    // Return in a "Gain" field confirms the typed value; it must not close the window.
    ui->buttonBox->button(QDialogButtonBox::Close)->setAutoDefault(false);

    // The form's automatic connections run the handlers first; these plain
    // forwards follow, so a listener sees the controls already settled.
    connect(ui->slLowerBound, &QSlider::valueChanged, this, &RawConvertConfig::parametersChanged);
    connect(ui->slUpperBound, &QSlider::valueChanged, this, &RawConvertConfig::parametersChanged);
    connect(ui->cbColorMode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &RawConvertConfig::parametersChanged);
    connect(ui->cbInvert, &QCheckBox::toggled, this, &RawConvertConfig::parametersChanged);
    connect(ui->slBiColorLow, &QSlider::valueChanged, this, &RawConvertConfig::parametersChanged);
    connect(ui->slBiColorHigh, &QSlider::valueChanged, this, &RawConvertConfig::parametersChanged);
    connect(ui->cbBiColorEnabled, &QCheckBox::toggled, this, &RawConvertConfig::parametersChanged);

    for (QRadioButton* button :
         {ui->rbRotate0, ui->rbRotate90, ui->rbRotateMinus90, ui->rbRotate180})
        connect(button, &QRadioButton::toggled, this, &RawConvertConfig::orientationChanged);
    connect(ui->btnAutoParameters, &QPushButton::clicked, this,
            &RawConvertConfig::autoParametersClicked);
    connect(ui->cbAutoGain, &QCheckBox::toggled, this, &RawConvertConfig::autoGainToggled);
    connect(ui->cbShowLegend, &QCheckBox::toggled, this, &RawConvertConfig::legendChanged);

    // "Gain mid" starts where the form puts its slider, not at the centre of
    // the initial window: the first move then shifts the window by exactly the
    // distance the user moved the slider.
    middleValue = ui->slMiddleTemperature->value();
    {
        const QSignalBlocker blockLow(ui->dsbGainLow);
        const QSignalBlocker blockHigh(ui->dsbGainHigh);
        ui->dsbGainLow->setValue(getDSBValue(ui->slLowerBound->value()));
        ui->dsbGainHigh->setValue(getDSBValue(ui->slUpperBound->value()));
    }
    showMiddleValue(middleValue);
    ui->lblBiColorLowValue->setText(getLabelText(ui->slBiColorLow->value()));
    ui->lblBiColorHighValue->setText(getLabelText(ui->slBiColorHigh->value()));
    enableBiColorControls(ui->cbBiColorEnabled->isChecked());
}

RawConvertConfig::~RawConvertConfig() = default;

int RawConvertConfig::getLowerBound() const {
    return ui->slLowerBound->value();
}
int RawConvertConfig::getUpperBound() const {
    return ui->slUpperBound->value();
}
int RawConvertConfig::getColorMode() const {
    return ui->cbColorMode->currentIndex();
}
void RawConvertConfig::setColorMode(int mode) {
    ui->cbColorMode->setCurrentIndex(mode);
}
bool RawConvertConfig::getInverted() const {
    return ui->cbInvert->isChecked();
}
void RawConvertConfig::setInverted(bool inverted) {
    ui->cbInvert->setChecked(inverted);
}
bool RawConvertConfig::getBiColorModeEnabled() const {
    return ui->cbBiColorEnabled->isChecked();
}
int RawConvertConfig::getBiLow() const {
    return ui->slBiColorLow->value();
}
int RawConvertConfig::getBiHigh() const {
    return ui->slBiColorHigh->value();
}
bool RawConvertConfig::getAutoGainEnabled() const {
    return ui->cbAutoGain->isChecked();
}
void RawConvertConfig::setAutoGainEnabled(bool enabled) {
    ui->cbAutoGain->setChecked(enabled);
}
int RawConvertConfig::getPercentageChange() const {
    return ui->sbPercentageChange->value();
}
void RawConvertConfig::setPercetageChange(int percent) {
    ui->sbPercentageChange->setValue(percent);
}
int RawConvertConfig::getRadiometryOption() const {
    return ui->cbRadiometry->currentIndex();
}
void RawConvertConfig::setRadiometryOption(int option) {
    ui->cbRadiometry->setCurrentIndex(option);
}
bool RawConvertConfig::getLegendVisibility() const {
    return ui->cbShowLegend->isChecked();
}
void RawConvertConfig::setLegendVisibility(bool visible) {
    ui->cbShowLegend->setChecked(visible);
}
void RawConvertConfig::setLowerTemperatureThreshold(int raw) {
    ui->slLowerBound->setValue(raw);
}
void RawConvertConfig::setUpperTemperatureThreshold(int raw) {
    ui->slUpperBound->setValue(raw);
}

int RawConvertConfig::getRotation() const {
    if (ui->rbRotate0->isChecked())
        return 0;
    if (ui->rbRotate180->isChecked())
        return 180;
    if (ui->rbRotateMinus90->isChecked())
        return -90;
    if (ui->rbRotate90->isChecked())
        return 90;
    return 0;
}

void RawConvertConfig::setRotation(int angle) {
    switch (angle) {
    case 0:
        ui->rbRotate0->setChecked(true);
        break;
    case 90:
        ui->rbRotate90->setChecked(true);
        break;
    case 180:
        ui->rbRotate180->setChecked(true);
        break;
    case 270:
    // getRotation reports counter-clockwise as -90 and the settings store keeps
    // that value, so it must come back unchanged on the next start.
    case -90:
        ui->rbRotateMinus90->setChecked(true);
        break;
    default:
        kx::console(QStringLiteral("Not supported angle given, setting to 0"));
        ui->rbRotate0->setChecked(true);
        break;
    }
}

void RawConvertConfig::setSliderValues(int lower, int upper) {
    if (lower >= upper)
        return;
    const QSignalBlocker blockLower(ui->slLowerBound);
    const QSignalBlocker blockUpper(ui->slUpperBound);
    ui->slLowerBound->setValue(lower);
    ui->slUpperBound->setValue(upper);
    lowerBoundMoved(ui->slLowerBound->value());
    upperBoundMoved(ui->slUpperBound->value());
}

int RawConvertConfig::calcDeltaT() const {
    return ui->slUpperBound->value() - ui->slLowerBound->value();
}

int RawConvertConfig::calcMiddleTemp() {
    const int lower = ui->slLowerBound->value();
    middleValue = lower + (ui->slUpperBound->value() - lower) / 2;
    return middleValue;
}

double RawConvertConfig::tLinearResolution() const {
    switch (ui->cbRadiometry->currentIndex()) {
    case 1:
        return kx::radiometry::kHighGainKelvinPerCountExact;
    case 2:
        return kx::radiometry::kLowGainKelvinPerCountExact;
    default:
        return 0.0;
    }
}

// The product is taken in double from a single-precision count and the result
// is stored in single precision; the legend and the pixel read-out use the
// same rule, so a temperature shown here matches the one shown there.
double RawConvertConfig::getDSBValue(int raw) const {
    const double resolution = tLinearResolution();
    if (resolution == 0.0)
        return raw;
    return float(double(float(raw)) * resolution - kKelvinOffset);
}

QString RawConvertConfig::getLabelText(int raw) const {
    if (tLinearResolution() == 0.0)
        return QString::number(raw);
    return QString::number(getDSBValue(raw), 'f', 1);
}

int RawConvertConfig::getSliderValueFromSpinBox(double value) const {
    const double resolution = tLinearResolution();
    if (resolution == 0.0)
        return int(std::trunc(value));
    const float kelvin = float(double(float(value)) + kKelvinOffset);
    return int(std::trunc(double(kelvin) / resolution));
}

void RawConvertConfig::checkSliderPositions() {
    QSlider* lowerSlider = ui->slLowerBound;
    QSlider* upperSlider = ui->slUpperBound;
    QSlider* biLowSlider = ui->slBiColorLow;
    QSlider* biHighSlider = ui->slBiColorHigh;
    const QSignalBlocker blockLower(lowerSlider);
    const QSignalBlocker blockUpper(upperSlider);
    const QSignalBlocker blockBiLow(biLowSlider);
    const QSignalBlocker blockBiHigh(biHighSlider);

    int lower = lowerSlider->value();
    const int upper = upperSlider->value();
    int biLow = biLowSlider->value();
    int biHigh = biHighSlider->value();
    if (lower > upper) {
        lower = upper;
        biLow = upper;
        biHigh = upper;
    }
    if (lower > biLow)
        biLow = lower;
    if (biLow > biHigh)
        biLow = biHigh > lower ? biHigh : lower;
    if (biHigh < lower)
        biHigh = lower;
    if (biHigh > upper)
        biHigh = upper;
    // Pulling the upper bound below the bi-colour low slider lowers the high
    // slider under it; the low one has to follow or the bi-colour window would
    // be inverted.
    if (biLow > biHigh)
        biLow = biHigh;

    lowerSlider->setValue(lower);
    biLowSlider->setValue(biLow);
    biHighSlider->setValue(biHigh);
    // The sliders moved here are silent, so their value labels are refreshed
    // here rather than by their handlers.
    ui->lblBiColorLowValue->setText(getLabelText(biLow));
    ui->lblBiColorHighValue->setText(getLabelText(biHigh));
}

void RawConvertConfig::lowerBoundMoved(int) {
    checkSliderPositions();
    // Left unblocked on purpose: in a TLinear mode the field rounds to one
    // decimal, and its handler moves the slider onto the count that the shown
    // temperature stands for.
    ui->dsbGainLow->setValue(getDSBValue(ui->slLowerBound->value()));
    ui->slMiddleTemperature->setValue(calcMiddleTemp());
}

void RawConvertConfig::upperBoundMoved(int) {
    checkSliderPositions();
    ui->dsbGainHigh->setValue(getDSBValue(ui->slUpperBound->value()));
    ui->slMiddleTemperature->setValue(calcMiddleTemp());
}

void RawConvertConfig::middleMoved(int value) {
    checkSliderPositions();
    const int delta = value - middleValue;
    middleValue = value;
    {
        const QSignalBlocker blockLower(ui->slLowerBound);
        const QSignalBlocker blockUpper(ui->slUpperBound);
        ui->slLowerBound->setValue(ui->slLowerBound->value() + delta);
        ui->slUpperBound->setValue(ui->slUpperBound->value() + delta);
    }
    // Shifting the window can leave the bi-colour sliders outside it.
    checkSliderPositions();
    {
        const QSignalBlocker blockLow(ui->dsbGainLow);
        const QSignalBlocker blockHigh(ui->dsbGainHigh);
        ui->dsbGainLow->setValue(getDSBValue(ui->slLowerBound->value()));
        ui->dsbGainHigh->setValue(getDSBValue(ui->slUpperBound->value()));
    }
    emit parametersChanged();
    showMiddleValue(value);
}

void RawConvertConfig::gainLowTyped(double value) {
    ui->slLowerBound->setValue(getSliderValueFromSpinBox(value));
}

void RawConvertConfig::gainHighTyped(double value) {
    ui->slUpperBound->setValue(getSliderValueFromSpinBox(value));
}

// Both bi-colour handlers only need the ordering: it refreshes the value labels.
void RawConvertConfig::biColorLowMoved(int) {
    checkSliderPositions();
}
void RawConvertConfig::biColorHighMoved(int) {
    checkSliderPositions();
}

void RawConvertConfig::radiometryChosen(int index) {
    lowerBoundMoved(ui->slLowerBound->value());
    upperBoundMoved(ui->slUpperBound->value());
    biColorLowMoved(ui->slBiColorLow->value());
    biColorHighMoved(ui->slBiColorHigh->value());
    // The "Gain mid" handler rewrites the middle field only when that slider
    // moves, which it need not do here.
    showMiddleValue(ui->slMiddleTemperature->value());
    emit radiometryChanged(index);
}

void RawConvertConfig::biColorSwitched(bool enabled) {
    enableBiColorControls(enabled);
}

void RawConvertConfig::enableBiColorControls(bool enabled) {
    for (QWidget* w :
         {static_cast<QWidget*>(ui->slBiColorLow), static_cast<QWidget*>(ui->slBiColorHigh),
          static_cast<QWidget*>(ui->lblBiColorLow), static_cast<QWidget*>(ui->lblBiColorHigh),
          static_cast<QWidget*>(ui->lblBiColorLowValue),
          static_cast<QWidget*>(ui->lblBiColorHighValue)})
        w->setEnabled(enabled);
}

void RawConvertConfig::showMiddleValue(int raw) {
    const QSignalBlocker block(ui->dsbGainMid);
    ui->dsbGainMid->setValue(getLabelText(raw).toDouble());
}
