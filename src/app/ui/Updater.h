#pragma once

#include "app/ReleaseList.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class UpdateInformation;

// Fetches the release list once, in the background of the event loop, and
// opens the update window when it names a release newer than the build. A
// server that answers with an error, sends more than a release list can be,
// or does not finish in time is given up without a message: the check is a
// courtesy and must never stand in the user's way.
class Updater : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Running,
        NotConfigured, // no address: nothing was fetched
        NoNewerRelease,
        NewerRelease, // the window is open
        Failed,       // the reply's error, a status other than 200
        TooLarge,
        TimedOut,
    };
    struct Options {
        QUrl url;
        int timeoutMs = kx::kReleaseListTimeoutMs;
        qint64 maxBytes = kx::kReleaseListMaxBytes;
        QUrl downloadPage;
    };
    // The deployment's addresses and bounds.
    static Options deploymentOptions();

    Updater(const QDateTime& buildDate, QObject* parent);
    Updater(const QDateTime& buildDate, Options options, QObject* parent);
    ~Updater() override;

    Outcome outcome() const { return result; }
    UpdateInformation* informationWindow() const { return window.data(); }
    // Compares the list with the build date and opens the window for a newer
    // release.
    void readFromXml(const QByteArray& xml);

signals:
    void disableAutomaticUpdates(bool disabled);
    // The check is over, whatever its outcome.
    void checkFinished();

private slots:
    void fileIsReady(QNetworkReply* reply);

private:
    void collect();
    void giveUp(Outcome outcome);
    void finish(Outcome outcome);

    QDateTime buildDate;
    Options options;
    QNetworkAccessManager* manager = nullptr;
    QPointer<QNetworkReply> reply;
    QTimer deadline;
    QByteArray received;
    Outcome result = Outcome::Running;
    QPointer<UpdateInformation> window;
};
