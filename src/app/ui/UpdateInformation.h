#pragma once

#include <QUrl>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPlainTextEdit;

// The window that announces a newer release: the version history as the
// release list gives it, a link to the download page and the switch that
// turns the check at start off.
class UpdateInformation : public QWidget {
    Q_OBJECT
public:
    // downloadPage: empty hides the link.
    explicit UpdateInformation(const QUrl& downloadPage, QWidget* parent = nullptr);

    // The text comes from a server: it is shown as plain text, never as
    // markup, so a list cannot restyle the window or plant links in it.
    void setVersionHistoryText(const QString& text);
    QString versionHistoryText() const;
    // Sets the check box without announcing it (the caller holds the flag).
    void setAutomaticUpdates(bool disabled);

signals:
    void disableAutomaticUpdatesToggled(bool disabled);

private:
    QPlainTextEdit* history = nullptr;
    QCheckBox* disableBox = nullptr;
};
