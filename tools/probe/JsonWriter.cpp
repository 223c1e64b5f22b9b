#include "JsonWriter.h"

#include <QLocale>
#include <cmath>

JsonObject& JsonObject::addEncoded(const QString& key, QByteArray encoded) {
    m_members.push_back(Member{key, std::move(encoded), nullptr, nullptr});
    return *this;
}

JsonObject& JsonObject::add(const QString& key, const QString& value) {
    return addEncoded(key, quote(value));
}

JsonObject& JsonObject::add(const QString& key, qint64 value) {
    return addEncoded(key, QByteArray::number(value));
}

JsonObject& JsonObject::add(const QString& key, double value) {
    if (!std::isfinite(value))
        return addNull(key);
    // The shortest text that reads back as the same double: 31.4, not
    // 31.399999999999999.
    return addEncoded(key, QString::number(value, 'g', QLocale::FloatingPointShortest).toLatin1());
}

JsonObject& JsonObject::add(const QString& key, bool value) {
    return addEncoded(key, value ? QByteArray("true") : QByteArray("false"));
}

JsonObject& JsonObject::add(const QString& key, const JsonObject& value) {
    m_members.push_back(Member{key, QByteArray(), std::make_shared<JsonObject>(value), nullptr});
    return *this;
}

JsonObject& JsonObject::add(const QString& key, const std::vector<int32_t>& values) {
    QByteArray out = "[";
    for (size_t k = 0; k < values.size(); ++k)
        out += (k ? ", " : "") + QByteArray::number(values[k]);
    return addEncoded(key, out + ']');
}

JsonObject& JsonObject::add(const QString& key, const std::vector<JsonObject>& objects) {
    m_members.push_back(
        Member{key, QByteArray(), nullptr, std::make_shared<std::vector<JsonObject>>(objects)});
    return *this;
}

JsonObject& JsonObject::addNull(const QString& key) {
    return addEncoded(key, "null");
}

QByteArray JsonObject::quote(const QString& text) {
    QByteArray out = "\"";
    const QByteArray utf8 = text.toUtf8();
    for (const char ch : utf8) {
        const unsigned char c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20)
                out += "\\u00" + QByteArray::number(c, 16).rightJustified(2, '0');
            else
                out += char(c);
        }
    }
    return out + '"';
}

QByteArray JsonObject::toJson(int indent) const {
    if (m_members.empty())
        return "{}";
    const QByteArray inner(indent + 2, ' ');
    QByteArray out = "{\n";
    for (size_t k = 0; k < m_members.size(); ++k) {
        const Member& m = m_members[k];
        out += inner + quote(m.key) + ": ";
        if (m.object) {
            out += m.object->toJson(indent + 2);
        } else if (m.objects) {
            if (m.objects->empty()) {
                out += "[]";
            } else {
                const QByteArray item(indent + 4, ' ');
                out += "[\n";
                for (size_t i = 0; i < m.objects->size(); ++i) {
                    out += item + (*m.objects)[i].toJson(indent + 4);
                    out += i + 1 < m.objects->size() ? ",\n" : "\n";
                }
                out += inner + ']';
            }
        } else {
            out += m.scalar;
        }
        out += k + 1 < m_members.size() ? ",\n" : "\n";
    }
    return out + QByteArray(indent, ' ') + '}';
}
