#include "app/ReleaseList.h"

#include <QXmlStreamReader>
#include <algorithm>
#include <climits>
#include <cstring>

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

// The length of the UTF-8 sequence at data[0 .. size), or 0 when it is not one
// (overlong, a surrogate, beyond U+10FFFF, or cut short).
size_t utf8SequenceLength(const uint8_t* data, size_t size, uint32_t& codePoint) {
    const uint8_t lead = data[0];
    size_t length = 0;
    uint32_t lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
        codePoint = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
        codePoint = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
        codePoint = lead & 0x07u;
    } else {
        return 0;
    }
    if (size < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        if ((data[i] & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (data[i] & 0x3Fu);
    }
    if (codePoint < lowest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

// The reply as text: UTF-8, and every byte that is not part of a UTF-8
// sequence as the Latin-1 character it is. A list written in Latin-1 without
// saying so, or one stray byte in old news, then spoils one character, not
// the whole list (the XML reader refuses a byte text it cannot decode before
// it reads the first element). Declared encodings are not followed: the text
// is decoded already.
QString replyText(const uint8_t* data, size_t size) {
    QString text;
    text.reserve(int(size));
    size_t i = 0;
    while (i < size) {
        uint32_t codePoint = 0;
        const size_t length =
            data[i] < 0x80 ? 0 : utf8SequenceLength(data + i, size - i, codePoint);
        if (length == 0) {
            text += QChar(data[i]);
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            text += QChar(QChar::highSurrogate(codePoint));
            text += QChar(QChar::lowSurrogate(codePoint));
        } else {
            text += QChar(codePoint);
        }
        i += length;
    }
    return text;
}

} // namespace

ReleaseList readReleaseList(const char* data, size_t size) {
    const void* zero = size ? std::memchr(data, 0, size) : nullptr;
    const size_t length = zero ? size_t(static_cast<const char*>(zero) - data) : size;
    // A reply is bounded far below this; QString takes an int length.
    const QString xml = replyText(reinterpret_cast<const uint8_t*>(data),
                                  std::min<size_t>(length, size_t(INT_MAX) / 2));
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

ReleaseList readReleaseList(const QByteArray& xml) {
    return readReleaseList(xml.constData(), size_t(xml.size()));
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
