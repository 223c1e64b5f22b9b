#include "telemetry/NumberText.h"

#include <QtTest>
#include <clocale>
#include <cmath>

class TestNumberText : public QObject {
    Q_OBJECT
private slots:
    void decimal_data();
    void decimal();
    void atof_data();
    void atof();
    void atofSpecialValues();
    void independentOfTheCLocale();
};

void TestNumberText::decimal_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << QByteArray("08") << true << 8.0;
    QTest::newRow("fraction") << QByteArray("07.0382") << true << 7.0382;
    QTest::newRow("sign and blanks") << QByteArray(" -12.25\r") << true << -12.25;
    QTest::newRow("plus") << QByteArray("+3") << true << 3.0;
    QTest::newRow("point first") << QByteArray(".5") << true << 0.5;
    QTest::newRow("point last") << QByteArray("5.") << true << 5.0;
    QTest::newRow("exponent") << QByteArray("2e5") << true << 200000.0;
    QTest::newRow("tiny") << QByteArray("1e-400") << true << 0.0;
    QTest::newRow("empty") << QByteArray("") << false << 0.0;
    QTest::newRow("blank") << QByteArray("  ") << false << 0.0;
    QTest::newRow("point only") << QByteArray(".") << false << 0.0;
    QTest::newRow("sign only") << QByteArray("-") << false << 0.0;
    QTest::newRow("trailing letters") << QByteArray("12abc") << false << 0.0;
    QTest::newRow("exponent without digits") << QByteArray("1e") << false << 0.0;
    QTest::newRow("comma") << QByteArray("1,5") << false << 0.0;
    QTest::newRow("nan") << QByteArray("nan") << false << 0.0;
    QTest::newRow("inf") << QByteArray("-inf") << false << 0.0;
    QTest::newRow("overflow") << QByteArray("1e999") << false << 0.0;
    QTest::newRow("hexadecimal") << QByteArray("0x10") << false << 0.0;
}

void TestNumberText::decimal() {
    QFETCH(QByteArray, text);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double got = -99.0;
    QCOMPARE(numbertext::parseDecimal(text.constData(), text.constData() + text.size(), got), ok);
    QCOMPARE(got, ok ? value : -99.0); // a failed read leaves the output alone
}

void TestNumberText::atof_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("plain") << QByteArray("0.5") << 0.5;
    QTest::newRow("leading blanks and sign") << QByteArray(" \t-1.25") << -1.25;
    QTest::newRow("prefix only") << QByteArray("12.5abc") << 12.5;
    QTest::newRow("cut exponent") << QByteArray("3e+") << 3.0;
    QTest::newRow("exponent") << QByteArray("-2.5E2x") << -250.0;
    QTest::newRow("no number") << QByteArray("abc") << 0.0;
    QTest::newRow("empty") << QByteArray("") << 0.0;
    QTest::newRow("comma stops") << QByteArray("1,5") << 1.0;
    QTest::newRow("beyond 32 bits") << QByteArray("123456789012") << 123456789012.0;
    QTest::newRow("underflow") << QByteArray("1e-999") << 0.0;
}

void TestNumberText::atof() {
    QFETCH(QByteArray, text);
    QFETCH(double, value);
    QCOMPARE(numbertext::atofC(text.constData()), value);
}

void TestNumberText::atofSpecialValues() {
    QVERIFY(std::isinf(numbertext::atofC("1e999")));
    QVERIFY(numbertext::atofC("1e999") > 0);
    QVERIFY(std::isinf(numbertext::atofC("-Infinity")));
    QVERIFY(numbertext::atofC("-inf") < 0);
    QVERIFY(std::isnan(numbertext::atofC("NaN")));
    QCOMPARE(numbertext::atofC(nullptr), 0.0);
}

void TestNumberText::independentOfTheCLocale() {
    // A locale with a decimal comma, where the C library's atof would read
    // "0.5" as 0; the machine may offer none of them.
    const char* const commaLocales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8"};
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const QByteArray saved = previous ? QByteArray(previous) : QByteArray("C");
    bool switched = false;
    for (const char* name : commaLocales)
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    if (!switched)
        qInfo("no decimal-comma locale installed; checked in the current locale only");
    const double fromAtof = numbertext::atofC("0.5");
    double fromDecimal = 0;
    const char text[] = "0.5";
    const bool ok = numbertext::parseDecimal(text, text + 3, fromDecimal);
    std::setlocale(LC_NUMERIC, saved.constData());
    QCOMPARE(fromAtof, 0.5);
    QVERIFY(ok);
    QCOMPARE(fromDecimal, 0.5);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
