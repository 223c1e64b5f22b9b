#include "app/ui/UpdateInformation.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

UpdateInformation::UpdateInformation(const QUrl& downloadPage, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("UpdateInformation"));
    setWindowTitle(QStringLiteral("Kalorix Update Information"));
    auto* layout = new QVBoxLayout(this);

    auto* headline = new QLabel(QStringLiteral("New version available"), this);
    headline->setObjectName(QStringLiteral("lblNewVersion"));
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);
    layout->addWidget(headline);

    history = new QPlainTextEdit(this);
    history->setObjectName(QStringLiteral("teVersionHistory"));
    history->setReadOnly(true);
    layout->addWidget(history);

    auto* link = new QLabel(this);
    link->setObjectName(QStringLiteral("lblDownload"));
    // The address is a deployment value, not server text; it is still
    // escaped so that any address stays one link.
    const QString address = downloadPage.toString(QUrl::FullyEncoded).toHtmlEscaped();
    link->setTextFormat(Qt::RichText);
    link->setText(QStringLiteral("<a href=\"") + address +
                  QStringLiteral("\"> Download here </a>"));
    link->setOpenExternalLinks(true);
    link->setVisible(!downloadPage.isEmpty());
    layout->addWidget(link);

    auto* bottom = new QHBoxLayout();
    disableBox = new QCheckBox(QStringLiteral("Disable automatic update check"), this);
    disableBox->setObjectName(QStringLiteral("cbDisableUpdates"));
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("btnOk"));
    bottom->addWidget(disableBox);
    bottom->addStretch();
    bottom->addWidget(ok);
    layout->addLayout(bottom);

    connect(disableBox, &QCheckBox::toggled, this,
            &UpdateInformation::disableAutomaticUpdatesToggled);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
    resize(520, 360);
}

void UpdateInformation::setVersionHistoryText(const QString& text) {
    history->setPlainText(text);
}

QString UpdateInformation::versionHistoryText() const {
    return history->toPlainText();
}

void UpdateInformation::setAutomaticUpdates(bool disabled) {
    const QSignalBlocker blocker(disableBox);
    disableBox->setChecked(disabled);
}
