// The window's share of the corrections: the NUC dialog, the drift tools with
// the FFC list, the lens buttons and the bit-lane test.
#include "app/ui/Kalorix.h"

#include "app/KalorixController.h"
#include "app/ui/PlaybackControl.h"
#include "base/Report.h"
#include "corrections/BitLaneTest.h"
#include "corrections/Drift.h"
#include "corrections/ui/NucConfiguration.h"
#include "recording/DataConverter.h"
#include "ui_Kalorix.h"

#include <QBoxLayout>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {
QPushButton* addButton(QBoxLayout* layout, const char* name, const QString& text) {
    auto* button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    layout->addWidget(button);
    return button;
}
} // namespace

void Kalorix::connectCorrections() {
    connect(nucConfiguration, &NucConfiguration::executeMotionBasedNUC, this,
            &Kalorix::executeMotionBasedNUC);
    connect(nucConfiguration, &NucConfiguration::disableNUC, this, &Kalorix::disableNUC);
    connect(nucConfiguration, &NucConfiguration::enableProgressBar, this,
            &Kalorix::enableProgressBar);
    connect(nucConfiguration, &NucConfiguration::disableProgressBar, this,
            &Kalorix::disableProgressBar);
    connect(nucConfiguration, &NucConfiguration::getFrameSliderValue, this,
            [this](int which) { emit frameSliderValue(which, playback->frame()); });
    connect(this, &Kalorix::frameSliderValue, nucConfiguration,
            &NucConfiguration::setFrameSliderValue);
    connect(controller, &KalorixController::initUIVideoControls, nucConfiguration,
            [this](int frames, int) { nucConfiguration->setClipMinMaxFrameNumbers(1, frames); });
    connect(ui->actionDrift_compensation, &QAction::triggered, dataConverter,
            &DataConverter::changedDriftCompensation);
    // The change shows on the frame on screen at once.
    connect(ui->actionDrift_compensation, &QAction::triggered, this, &Kalorix::reloadCurrentImage);
    connect(ui->btnBitLaneTest, &QPushButton::clicked, bitLaneTest.get(), &BitLaneTest::testFrame);

    // The drift tools (shown with "Drift compensation (beta)"), the lens
    // buttons and the progress of a compensation, below the bit-lane test.
    auto* group = new QGroupBox(tr("Corrections"));
    group->setObjectName(QStringLiteral("gbCorrections"));
    auto* column = new QVBoxLayout(group);
    driftTools = new QWidget;
    auto* driftColumn = new QVBoxLayout(driftTools);
    driftColumn->setContentsMargins(0, 0, 0, 0);
    connect(addButton(driftColumn, "btnReadFFCFile", tr("Read FFC File")), &QPushButton::clicked,
            this, &Kalorix::chooseFFCFile);
    connect(addButton(driftColumn, "btnFFCFrame", tr("Mark as FFC Frame")), &QPushButton::clicked,
            this, &Kalorix::markFFCFrame);
    connect(addButton(driftColumn, "btnAnalyzeTempDrift", tr("Compensate Temp-Drift")),
            &QPushButton::clicked, this, &Kalorix::compensateTemperatureDrift);
    leFFCFrames = new QLineEdit;
    leFFCFrames->setObjectName(QStringLiteral("leFFCFrames"));
    leFFCFrames->setReadOnly(true);
    driftColumn->addWidget(leFFCFrames);
    column->addWidget(driftTools);
    connect(addButton(column, "btnLensCompensation", tr("Use as lens compensation")),
            &QPushButton::clicked, this, &Kalorix::useAsLensCompensation);
    connect(addButton(column, "btnResetLensCompensation", tr("Reset lens compensation")),
            &QPushButton::clicked, this, &Kalorix::resetLensCompensation);
    compensationProgress = new QProgressBar;
    compensationProgress->setObjectName(QStringLiteral("pbCompensation"));
    column->addWidget(compensationProgress);
    auto* details = qobject_cast<QBoxLayout*>(ui->btnBitLaneTest->parentWidget()->layout());
    if (details)
        details->insertWidget(details->indexOf(ui->btnBitLaneTest) + 1, group);
    showDriftTools(ui->actionDrift_compensation_beta->isChecked());
}

void Kalorix::finishCorrectionsSetup() {
    emit ui->actionDrift_compensation->triggered(ui->actionDrift_compensation->isChecked());
    connect(dataConverter, &DataConverter::compensationPercentageChanged, this,
            &Kalorix::compensationPercentage);
    connect(dataConverter, &DataConverter::compensationFinished, this,
            &Kalorix::compensationFinished);
    compensationProgress->hide();
    ui->btnBitLaneTest->setEnabled(true);
    ui->btnBitLaneTest->show();
}

// ---- Non-uniformity compensation ----------------------------------------------

void Kalorix::showNucSettings() {
    nucConfiguration->show();
    nucConfiguration->raise();
    nucConfiguration->activateWindow();
}

void Kalorix::executeMotionBasedNUC(int firstFrame, int lastFrame) {
    enableProgressBar();
    dataConverter->executeNUC(firstFrame, lastFrame, 50);
    disableProgressBar();
    reloadCurrentImage();
}

void Kalorix::disableNUC() {
    dataConverter->disableNUC();
    reloadCurrentImage();
}

// ---- Drift and FFC frames --------------------------------------------------------

void Kalorix::showDriftTools(bool on) {
    driftTools->setVisible(on);
    ui->actionDrift_compensation->setChecked(on);
}

void Kalorix::compensateTemperatureDrift() {
    dataConverter->calcFrameTempDifferenceMap();
    reloadCurrentImage();
}

void Kalorix::markFFCFrame() {
    addManualFFCFrame(playback->frame());
}

void Kalorix::addManualFFCFrame(int frame) {
    kx::console(QStringLiteral("FFC-Frame: ") + QString::number(frame));
    dataConverter->addFFCFrame(frame);
    leFFCFrames->setText(ffcFramesText());
}

QString Kalorix::ffcFramesText() const {
    return drift::ffcListText(dataConverter->getFFCFrames());
}

void Kalorix::chooseFFCFile() {
    const QString fileName = QFileDialog::getOpenFileName(this);
    if (!fileName.isEmpty())
        readFFCFile(fileName);
}

void Kalorix::readFFCFile(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    dataConverter->resetFFCCorrection();
    // The list is shown once at the end: a long file would otherwise rebuild
    // the growing text for every line.
    for (const int32_t frame : drift::readFfcList(file)) {
        kx::console(QStringLiteral("FFC-Frame: ") + QString::number(frame));
        dataConverter->addFFCFrame(frame);
    }
    leFFCFrames->setText(ffcFramesText());
}

void Kalorix::compensationPercentage(int percent) {
    compensationProgress->show();
    compensationProgress->setValue(percent);
}

void Kalorix::compensationFinished() {
    compensationProgress->hide();
}

// ---- Lens ------------------------------------------------------------------------

void Kalorix::useAsLensCompensation() {
    // The working frame may be another one than the frame on screen (after
    // an export or a file test): the reference is the frame the user sees.
    if (isMovieFile(currentFileName) && dataConverter->isMovieOpen())
        dataConverter->redecodeMovieFrame(playback->frame());
    dataConverter->lensCorrection();
}

void Kalorix::resetLensCompensation() {
    dataConverter->resetLensCorrection();
}
