#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class SerialDataExplorer;
}

// Shows the serial data block of the displayed frame as text.
class SerialDataExplorer : public QDialog {
    Q_OBJECT
public:
    explicit SerialDataExplorer(QWidget* parent = nullptr);
    ~SerialDataExplorer() override;

    // Replaces the text shown. The block is shown as plain text: serial data
    // is never markup, and '<' in it must not be taken for a tag.
    void setDisplayData(const QString& text);
    // Shows a serial block: text blocks as text up to their first zero byte,
    // binary blocks (MAVLink) as a hex and character dump in a fixed-width font.
    void setDisplayBlock(const QByteArray& block);
    QString displayedText() const;

private:
    std::unique_ptr<Ui::SerialDataExplorer> ui;
};
