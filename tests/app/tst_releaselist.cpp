#include "ReleaseLists.h"
#include "app/ReleaseList.h"

#include <QtTest>

using namespace releasetest;

class TestReleaseList : public QObject {
    Q_OBJECT
private slots:
    void read_data() {
        QTest::addColumn<QByteArray>("xml");
        QTest::addColumn<QString>("history");
        QTest::addColumn<bool>("newer");
        QTest::newRow("newer and older") << newerList() << kNewerHistory << true;
        QTest::newRow("build date itself is not newer")
            << "<r>" + entry("2.1.3", "13.07.2017 22:00", "This one") +
                   entry("2.0", "01.01.2016 09:00", "Old") + "<date>01.01.2030 10:00</date></r>"
            << "13.07.2017  |  2.1.3\n   This one\n\n01.01.2016  |  2.0\n   Old\n\n"
            << false;
        QTest::newRow("broken after a newer entry")
            << "<r>" + entry("3.0", "02.03.2018 11:30", "New") + "<Kalorix><version>4</vers"
            << "02.03.2018  |  3.0\n   New\n\n"
            << true;
        // An entry spoilt before its end announces nothing.
        QTest::newRow("broken inside a newer entry")
            << QByteArray("<r><Kalorix><version>9</version><date>01.01.2030 10:00</date><news>x<")
            << "" << false;
        QTest::newRow("bad date") << "<r>" + entry("3.1", "31.02.2018 10:00", "When?") + "</r>"
                                  << "  |  3.1\n   When?\n\n"
                                  << false;
        QTest::newRow("not a list") << QByteArray("HTTP error 500") << "" << false;
        // One byte that is not UTF-8 made the reader refuse the whole list.
        QTest::newRow("Latin-1 news of an older entry")
            << "<r>" + entry("3.0", "02.03.2018 11:30", "Neu") +
                   entry("2.0", "01.01.2016 09:00",
                         "Gr\xfc\xdf"
                         "e") +
                   "</r>"
            << QString::fromUtf8("02.03.2018  |  3.0\n   Neu\n\n01.01.2016  |  2.0\n   Grüße\n\n")
            << true;
    }
    void read() {
        QFETCH(QByteArray, xml);
        QFETCH(QString, history);
        QFETCH(bool, newer);
        const kx::ReleaseList list = kx::readReleaseList(xml);
        QCOMPARE(list.history, history);
        QCOMPARE(kx::isNewerThan(list, kx::programBuildDate()), newer);
    }

    void address_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QString>("url");
        QTest::newRow("http") << QByteArray("http://127.0.0.1:8080/list.xml")
                              << "http://127.0.0.1:8080/list.xml";
        QTest::newRow("empty disables") << QByteArray("") << "";
        QTest::newRow("a file is no server") << QByteArray("file:///etc/passwd") << "";
    }
    void address() {
        QFETCH(QByteArray, value);
        QFETCH(QString, url);
        qputenv("KALORIX_UPDATE_URL", value);
        QCOMPARE(kx::releaseListUrl().toString(), url);
        qunsetenv("KALORIX_UPDATE_URL");
    }
};

QTEST_GUILESS_MAIN(TestReleaseList)
#include "tst_releaselist.moc"
