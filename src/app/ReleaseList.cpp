#include "app/ReleaseList.h"

#include <QXmlStreamReader>

#ifndef KALORIX_UPDATE_URL
#define KALORIX_UPDATE_URL ""
#endif
#ifndef KALORIX_DOWNLOAD_URL
#define KALORIX_DOWNLOAD_URL ""
#endif

namespace kx {

namespace {

const QString kDateFormat = QStringLiteral("dd.MM.yyyy hh:mm");

QUrl configuredUrl(const char* variable, const char* builtIn) {
    const QString text = qEnvironmentVariableIsSet(variable) ? qEnvironmentVariable(variable)
                                                             : QString::fromUtf8(builtIn);
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QUrl();
    return url;
}

} // namespace

ReleaseList readReleaseList(const QByteArray& xml) {
    ReleaseList list;
    QXmlStreamReader reader(xml);
    bool inEntry = false;
    QString version;
    QDateTime date;
    QString news;
    while (!reader.atEnd() && !reader.hasError()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const QStringRef name = reader.name();
            if (name == QLatin1String("Kalorix")) {
                inEntry = true;
                version.clear();
                date = QDateTime();
                news.clear();
            } else if (inEntry && name == QLatin1String("version")) {
                version = reader.readElementText();
            } else if (inEntry && name == QLatin1String("date")) {
                date = QDateTime::fromString(reader.readElementText(), kDateFormat);
            } else if (inEntry && name == QLatin1String("news")) {
                news = reader.readElementText();
            }
        } else if (token == QXmlStreamReader::EndElement && inEntry &&
                   reader.name() == QLatin1String("Kalorix")) {
            inEntry = false;
            if (date.isValid() && (!list.newest.isValid() || date > list.newest))
                list.newest = date;
            list.history += date.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral("  |  ") +
                            version + QStringLiteral("\n   ") + news + QStringLiteral("\n\n");
        }
    }
    return list;
}

bool isNewerThan(const ReleaseList& list, const QDateTime& buildDate) {
    return list.newest.isValid() && buildDate < list.newest;
}

QDateTime programBuildDate() {
    return QDateTime(QDate(2017, 7, 13), QTime(22, 0, 0));
}

QUrl releaseListUrl() {
    return configuredUrl("KALORIX_UPDATE_URL", KALORIX_UPDATE_URL);
}

QUrl downloadPageUrl() {
    return configuredUrl("KALORIX_DOWNLOAD_URL", KALORIX_DOWNLOAD_URL);
}

} // namespace kx
