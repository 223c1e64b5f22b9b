#include "telemetry/ui/SerialDataExplorer.h"

#include "telemetry/SerialDump.h"
#include "ui_SerialDataExplorer.h"

#include <QFontDatabase>
#include <QFontMetrics>

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

void SerialDataExplorer::setDisplayBlock(const QByteArray& block) {
    const bool text = serialdump::isText(block.constData(), size_t(block.size()));
    ui->textBrowser->setFont(text ? font() : QFontDatabase::systemFont(QFontDatabase::FixedFont));
    ui->textBrowser->setLineWrapMode(text ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
    // A dump line is 78 characters: wide enough for one without scrolling.
    const QFontMetrics metrics(ui->textBrowser->font());
    ui->textBrowser->setMinimumWidth(
        text ? 0 : metrics.horizontalAdvance(QString(80, QLatin1Char('0'))) + 24);
    setDisplayData(serialdump::displayText(block.constData(), size_t(block.size())));
}

QString SerialDataExplorer::displayedText() const {
    return ui->textBrowser->toPlainText();
}
