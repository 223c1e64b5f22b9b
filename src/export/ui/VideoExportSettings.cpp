#include "export/ui/VideoExportSettings.h"

#include "app/ui/DialogLayout.h"
#include "ui_VideoExportSettings.h"

#include <QFileDialog>
#include <QStandardPaths>

namespace {
// The per-frame CSV cannot follow a movie, which is one file for all frames.
const QString kOneCsvPerFrame = QStringLiteral("one CSV per frame");
} // namespace

VideoExportSettings::VideoExportSettings(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::VideoExportSettings>())
    , directoryChooser([](QWidget* owner, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, tr("Choose target directory"), start,
                                                 QFileDialog::ShowDirsOnly);
    }) {
    ui->setupUi(this);
    connect(ui->cbAutomaticFrameDetection, &QCheckBox::toggled, this,
            &VideoExportSettings::applyAutomaticDetectionRule);
    connect(ui->cbMetaCSV, &QCheckBox::toggled, ui->cbMetaType, &QWidget::setEnabled);
    connect(ui->cbExtension, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this]() { showNamePreview(ui->cbExtension->currentText()); });
    connect(ui->leFilename, &QLineEdit::textChanged, this,
            [this]() { showNamePreview(ui->cbExtension->currentText()); });
    connect(ui->btnChooseDirectory, &QPushButton::clicked, this,
            &VideoExportSettings::chooseDirectory);
    connect(ui->btnExport, &QPushButton::clicked, this, &VideoExportSettings::startExport);
    kx::alignCaptionColumn({ui->lblStartFrame, ui->lblEndFrame, ui->lblSkip, ui->lblPath,
                            ui->lblFilename, ui->lblPreview, ui->lblExtension, ui->lblDelimiter,
                            ui->lblMetaType},
                           Qt::AlignRight);
    ui->cbMetaType->setEnabled(ui->cbMetaCSV->isChecked());
    showNamePreview(ui->cbExtension->currentText());
    ui->lePath->setText(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
    applyAutomaticDetectionRule(ui->cbAutomaticFrameDetection->isChecked());
    ui->btnExport->setFocus();
    // The automatic selection is not offered yet: the step always comes from
    // "Frame Step:", whatever the group would say.
    ui->gbAutomaticFrameSelection->hide();
}

VideoExportSettings::~VideoExportSettings() = default;

void VideoExportSettings::setFrames(int start, int end) {
    ui->sbStartFrame->setValue(start);
    ui->sbEndFrame->setValue(end);
}

void VideoExportSettings::setSkipFrames(int n) {
    ui->sbSkip->setValue(n);
}
int VideoExportSettings::skipFrames() const {
    return ui->sbSkip->value();
}
QString VideoExportSettings::getPath() const {
    return ui->lePath->text();
}
QString VideoExportSettings::getFileNamePrefix() const {
    return ui->leFilename->text();
}
QString VideoExportSettings::getExtension() const {
    return ui->cbExtension->currentText();
}
QString VideoExportSettings::getCSVDelimiter() const {
    return ui->leDelimiter->text();
}
void VideoExportSettings::setCSVDelimiter(const QString& delimiter) {
    ui->leDelimiter->setText(delimiter);
}
bool VideoExportSettings::getMetaCsvSelection() const {
    return ui->cbMetaCSV->isChecked();
}
void VideoExportSettings::setMetaCsvSelection(bool selected) {
    ui->cbMetaCSV->setChecked(selected);
}
bool VideoExportSettings::getMetaRAWSelection() const {
    return ui->cbMetaRAW->isChecked();
}
void VideoExportSettings::setMetaRAWSelection(bool selected) {
    ui->cbMetaRAW->setChecked(selected);
}
QString VideoExportSettings::getMetaTypeSelection() const {
    return ui->cbMetaType->currentText();
}
void VideoExportSettings::setMetaTypeSelection(int index) {
    ui->cbMetaType->setCurrentIndex(index);
}

void VideoExportSettings::setAutomaticFrameDetectionEnabled(bool enabled) {
    ui->cbAutomaticFrameDetection->setChecked(enabled);
    applyAutomaticDetectionRule(enabled);
}

void VideoExportSettings::setDirectoryChooser(DirectoryChooser chooser) {
    directoryChooser = std::move(chooser);
}

void VideoExportSettings::applyAutomaticDetectionRule(bool automatic) {
    ui->sbSkip->setEnabled(!automatic);
    ui->sbOverlap->setEnabled(automatic);
    ui->sbHeightOverGround->setEnabled(automatic);
}

void VideoExportSettings::showNamePreview(const QString& extension) {
    const QString suffix = extension.toLower();
    const int perFrameIndex = ui->cbMetaType->findText(kOneCsvPerFrame);
    if (suffix == QLatin1String("avi")) {
        ui->lblFilenamePreview->setText(ui->leFilename->text() + QLatin1Char('.') + suffix);
        if (perFrameIndex >= 0)
            ui->cbMetaType->removeItem(perFrameIndex);
    } else {
        ui->lblFilenamePreview->setText(ui->leFilename->text() + QStringLiteral("_ABCD.") + suffix);
        if (perFrameIndex < 0)
            ui->cbMetaType->insertItem(0, kOneCsvPerFrame);
    }
    const bool csv = suffix == QLatin1String("csv");
    ui->lblDelimiter->setVisible(csv);
    ui->leDelimiter->setVisible(csv);
}

void VideoExportSettings::chooseDirectory() {
    ui->lePath->setText(directoryChooser(this, ui->lePath->text()));
}

void VideoExportSettings::startExport() {
    close();
    emit executeExport(ui->lePath->text(), ui->leFilename->text(),
                       ui->cbExtension->currentText().toLower(), uint(ui->sbStartFrame->value()),
                       uint(ui->sbEndFrame->value()), uint(ui->sbSkip->value()));
}
