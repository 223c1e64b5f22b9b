#include "telemetry/SerialDump.h"

#include <cstring>

namespace serialdump {

namespace {

bool printable(unsigned char c) {
    return c >= 0x20 && c < 0x7f;
}

} // namespace

bool isText(const char* data, size_t length) {
    if (!data)
        return true;
    size_t i = 0;
    for (; i < length && data[i] != '\0'; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if (!printable(c) && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    for (; i < length; ++i)
        if (data[i] != '\0')
            return false;
    return true;
}

QString hexDump(const char* data, size_t length) {
    if (!data)
        length = 0;
    size_t used = length;
    while (used > 0 && data[used - 1] == '\0')
        --used;
    static const char kDigits[] = "0123456789abcdef";
    QString text;
    for (size_t line = 0; line < used; line += 16) {
        text += QStringLiteral("%1  ").arg(qulonglong(line), 8, 16, QLatin1Char('0'));
        QString characters;
        for (size_t i = line; i < line + 16; ++i) {
            if (i == line + 8)
                text += QLatin1Char(' ');
            if (i < used) {
                const auto c = static_cast<unsigned char>(data[i]);
                text += QLatin1Char(kDigits[c >> 4]);
                text += QLatin1Char(kDigits[c & 15]);
                text += QLatin1Char(' ');
                characters += printable(c) ? QLatin1Char(char(c)) : QLatin1Char('.');
            } else {
                text += QStringLiteral("   ");
            }
        }
        text += QStringLiteral(" |") + characters + QStringLiteral("|\n");
    }
    if (used < length)
        text += QStringLiteral("(%1 zero bytes follow)\n").arg(qulonglong(length - used));
    return text;
}

QString displayText(const char* data, size_t length) {
    if (!isText(data, length))
        return hexDump(data, length);
    const void* zero = data ? std::memchr(data, 0, length) : nullptr;
    const size_t textLength = zero ? size_t(static_cast<const char*>(zero) - data) : length;
    return QString::fromLatin1(data, int(textLength));
}

} // namespace serialdump
