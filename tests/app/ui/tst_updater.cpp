#include "../ReleaseLists.h"
#include "app/ui/UpdateInformation.h"
#include "app/ui/Updater.h"
#include "app/ui/WindowTestSupport.h"

#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace windowtest;
using namespace releasetest;
using Outcome = Updater::Outcome;

namespace {

QByteArray httpReply(int status, const QByteArray& body, bool announceLength) {
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Type: text/xml\r\n" +
           (announceLength ? "Content-Length: " + QByteArray::number(body.size()) + "\r\n"
                           : QByteArray()) +
           "Connection: close\r\n\r\n" + body;
}

// Answers every request on 127.0.0.1 with one fixed reply, or never (an empty
// reply): the connection stays open and silent.
class ListServer : public QObject {
public:
    explicit ListServer(QByteArray reply)
        : reply(std::move(reply)) {
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        connect(&server, &QTcpServer::newConnection, this, [this]() {
            while (QTcpSocket* socket = server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket]() {
                    request += socket->readAll();
                    if (!this->reply.isEmpty() && request.contains("\r\n\r\n")) {
                        socket->write(this->reply);
                        socket->disconnectFromHost();
                    }
                });
            }
        });
    }
    QUrl url() const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/list.xml").arg(server.serverPort()));
    }
    QTcpServer server;
    QByteArray reply;
    QByteArray request;
};

} // namespace

class TestUpdater : public QObject, Fixture {
    Q_OBJECT
private slots:
    void initTestCase() {
        QNetworkProxy::setApplicationProxy(QNetworkProxy::NoProxy);
        qunsetenv("KALORIX_UPDATE_URL");
    }

    void check_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("history");
        const QByteArray large = newerList() + QByteArray(1024 * 1024, ' ');
        QTest::newRow("newer release, text after a zero byte ignored")
            << httpReply(200, newerList() + QByteArray("\0<x>", 4), true)
            << int(Outcome::NewerRelease) << kNewerHistory;
        QTest::newRow("older releases only")
            << httpReply(200, "<r>" + entry("2.0.0", "01.01.2016 09:00", "Old") + "</r>", false)
            << int(Outcome::NoNewerRelease) << "";
        QTest::newRow("error status with a list")
            << httpReply(404, newerList(), true) << int(Outcome::Failed) << "";
        QTest::newRow("larger than the cap")
            << httpReply(200, large, false) << int(Outcome::TooLarge) << "";
        QTest::newRow("announced larger than the cap")
            << httpReply(200, large, true) << int(Outcome::TooLarge) << "";
        QTest::newRow("never answers") << QByteArray() << int(Outcome::TimedOut) << "";
        QTest::newRow("connection refused") << QByteArray("refuse") << int(Outcome::Failed) << "";
    }
    void check() {
        QFETCH(QByteArray, reply);
        QFETCH(int, outcome);
        QFETCH(QString, history);
        ListServer server(reply);
        Updater::Options options;
        options.url = server.url();
        options.timeoutMs = 400;
        if (reply == "refuse")
            server.server.close();
        QElapsedTimer clock;
        clock.start();
        Updater updater(kx::programBuildDate(), options, nullptr);
        // The request runs in the event loop; nothing waits for it.
        QCOMPARE(updater.outcome(), Outcome::Running);
        QSignalSpy finished(&updater, &Updater::checkFinished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(int(updater.outcome()), outcome);
        // A coarse timer may fire up to 5 % early.
        if (outcome == int(Outcome::TimedOut))
            QVERIFY2(clock.elapsed() >= 370, qPrintable(QString::number(clock.elapsed())));
        UpdateInformation* window = updater.informationWindow();
        QCOMPARE(window ? window->versionHistoryText() : QString(), history);
        if (window) {
            QCOMPARE(window->windowTitle(), "Kalorix Update Information");
            QVERIFY(window->isVisible());
        }
    }

    // Before: the window's check box and the window's saved flag disagreed, so
    // a tick in the update window was lost when the settings were saved.
    void checkBoxSavesTheOneFlag() {
        ListServer server(httpReply(200, newerList(), true));
        qputenv("KALORIX_UPDATE_URL", server.url().toEncoded());
        start(false);
        QVERIFY(window->updateCheck() != nullptr);
        QTRY_COMPARE(window->updateCheck()->outcome(), Outcome::NewerRelease);
        QVERIFY(server.request.startsWith("GET /list.xml HTTP/1.1\r\n"));
        auto* box = window->updateCheck()->informationWindow()->findChild<QCheckBox*>(
            QStringLiteral("cbDisableUpdates"));
        QCOMPARE(box->text(), "Disable automatic update check");
        box->click();
        QVERIFY(window->areAutomaticUpdatesDisabled());
        QVERIFY(get<QAction>("actionAutomatic_Updates")->isChecked());
        window.reset();
        QSettings store(QStringLiteral("Velmora Technology"), QStringLiteral("Kalorix"));
        QCOMPARE(store.value("automaticUpdates"), QVariant(true));

        // Switched off: no check at start; switching it on from the menu checks.
        start(false, {{"automaticUpdates", true}});
        QVERIFY(window->updateCheck() == nullptr);
        get<QAction>("actionAutomatic_Updates")->setChecked(false);
        QVERIFY(!window->areAutomaticUpdatesDisabled() && window->updateCheck() != nullptr);
        qunsetenv("KALORIX_UPDATE_URL");
        window.reset();
    }
};

KALORIX_WINDOW_TEST_MAIN(TestUpdater)

#include "tst_updater.moc"
