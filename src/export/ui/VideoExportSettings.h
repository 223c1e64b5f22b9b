#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

namespace Ui {
class VideoExportSettings;
}

// The "Frame export" dialog: frame range, target folder, name and format, and
// the meta data choices. It is created once and reused, so the quick export
// and the next export find the values of the last one.
class VideoExportSettings : public QDialog {
    Q_OBJECT
public:
    // Asks the user for a directory, starting at the given one; returns an
    // empty text when the user cancels.
    using DirectoryChooser = std::function<QString(QWidget* parent, const QString& start)>;

    explicit VideoExportSettings(QWidget* parent = nullptr);
    ~VideoExportSettings() override;

    void setFrames(int start, int end);
    void setSkipFrames(int n);
    int skipFrames() const;
    QString getPath() const;
    QString getFileNamePrefix() const;
    // As shown in the list ("PNG", "Meta_only", ...).
    QString getExtension() const;
    QString getCSVDelimiter() const;
    void setCSVDelimiter(const QString& delimiter);
    bool getMetaCsvSelection() const;
    void setMetaCsvSelection(bool selected);
    bool getMetaRAWSelection() const;
    void setMetaRAWSelection(bool selected);
    QString getMetaTypeSelection() const;
    void setMetaTypeSelection(int index);
    void setAutomaticFrameDetectionEnabled(bool enabled);

    // Replaces the platform's directory dialog (a test answers without a person).
    void setDirectoryChooser(DirectoryChooser chooser);

signals:
    void executeExport(QString path, QString prefix, QString extension, uint start, uint end,
                       uint step);

private:
    // The name of the first file for the chosen extension, and the choices
    // that depend on it.
    void showNamePreview(const QString& extension);
    void chooseDirectory();
    void startExport();
    void applyAutomaticDetectionRule(bool automatic);

    std::unique_ptr<Ui::VideoExportSettings> ui;
    DirectoryChooser directoryChooser;
};
