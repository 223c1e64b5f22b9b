#include "telemetry/ui/SerialDataExplorer.h"

#include "ui_SerialDataExplorer.h"

SerialDataExplorer::SerialDataExplorer(QWidget* parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::SerialDataExplorer>()) {
    ui->setupUi(this);
}

SerialDataExplorer::~SerialDataExplorer() = default;

void SerialDataExplorer::setDisplayData(const QString& text) {
    ui->textBrowser->clear();
    ui->textBrowser->setPlainText(text);
}

QString SerialDataExplorer::displayedText() const {
    return ui->textBrowser->toPlainText();
}
