#include "app/ui/Updater.h"

#include "app/ui/UpdateInformation.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QWidget>

Updater::Options Updater::deploymentOptions() {
    Options options;
    options.url = kx::releaseListUrl();
    options.downloadPage = kx::downloadPageUrl();
    return options;
}

Updater::Updater(const QDateTime& buildDate, QObject* parent)
    : Updater(buildDate, deploymentOptions(), parent) {}

Updater::Updater(const QDateTime& buildDate, Options options, QObject* parent)
    : QObject(parent)
    , buildDate(buildDate)
    , options(std::move(options))
    , manager(new QNetworkAccessManager(this)) {
    connect(manager, &QNetworkAccessManager::finished, this, &Updater::fileIsReady);
    if (this->options.url.isEmpty()) {
        result = Outcome::NotConfigured;
        return;
    }
    QNetworkRequest request(this->options.url);
    // A redirect could lead anywhere; the list is served where it is named.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    reply = manager->get(request);
    connect(reply, &QNetworkReply::readyRead, this, &Updater::collect);
    // The announced length already tells whether the reply can be a list.
    connect(reply, &QNetworkReply::metaDataChanged, this, [this]() {
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > this->options.maxBytes)
            giveUp(Outcome::TooLarge);
    });
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, this, [this]() { giveUp(Outcome::TimedOut); });
    deadline.start(this->options.timeoutMs);
}

Updater::~Updater() {
    delete window.data();
}

void Updater::collect() {
    if (!reply || result != Outcome::Running)
        return;
    // Read as it arrives, so that no more than the bound plus one block is
    // ever held, whatever the server sends.
    received += reply->read(options.maxBytes + 1 - received.size());
    if (received.size() > options.maxBytes)
        giveUp(Outcome::TooLarge);
}

void Updater::giveUp(Outcome outcome) {
    if (result != Outcome::Running)
        return;
    finish(outcome);
    if (reply)
        reply->abort();
}

void Updater::finish(Outcome outcome) {
    deadline.stop();
    received.clear();
    result = outcome;
    emit checkFinished();
}

void Updater::fileIsReady(QNetworkReply* finished) {
    finished->deleteLater();
    if (result != Outcome::Running)
        return;
    collect();
    if (result != Outcome::Running)
        return;
    const QVariant status = finished->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (finished->error() != QNetworkReply::NoError ||
        (status.isValid() && status.toInt() != 200)) {
        finish(Outcome::Failed);
        return;
    }
    readFromXml(received);
}

void Updater::readFromXml(const QByteArray& xml) {
    const kx::ReleaseList list = kx::readReleaseList(xml);
    if (!kx::isNewerThan(list, buildDate)) {
        finish(Outcome::NoNewerRelease);
        return;
    }
    if (!window) {
        window = new UpdateInformation(options.downloadPage, qobject_cast<QWidget*>(parent()));
        connect(window, &UpdateInformation::disableAutomaticUpdatesToggled, this,
                &Updater::disableAutomaticUpdates);
    }
    window->setVersionHistoryText(list.history);
    window->show();
    finish(Outcome::NewerRelease);
}
