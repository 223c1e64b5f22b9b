#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

// A JSON object that keeps its keys in the order they were added (QJsonObject
// sorts them), so that the probe's output reads in a fixed, documented order.
// Later probe fields are added with one more add() call where they belong.
class JsonObject {
public:
    JsonObject& add(const QString& key, const QString& value);
    JsonObject& add(const QString& key, const char* value) {
        return add(key, QString::fromUtf8(value));
    }
    JsonObject& add(const QString& key, qint64 value);
    JsonObject& add(const QString& key, int value) { return add(key, qint64(value)); }
    JsonObject& add(const QString& key, uint value) { return add(key, qint64(value)); }
    // Non-finite numbers are written as null.
    JsonObject& add(const QString& key, double value);
    JsonObject& add(const QString& key, bool value);
    JsonObject& add(const QString& key, const JsonObject& value);
    JsonObject& addNull(const QString& key);
    // A list of numbers on one line: [1, 2, 3].
    JsonObject& add(const QString& key, const std::vector<int32_t>& values);
    // A list of objects, one per line block.
    JsonObject& add(const QString& key, const std::vector<JsonObject>& objects);

    bool isEmpty() const { return m_members.empty(); }
    // Two-space indentation, one member per line, no trailing line break.
    QByteArray toJson(int indent = 0) const;

    static QByteArray quote(const QString& text);

private:
    struct Member {
        QString key;
        QByteArray scalar;                                // the encoded value, unless object is set
        std::shared_ptr<JsonObject> object;               // nested object
        std::shared_ptr<std::vector<JsonObject>> objects; // nested list of objects
    };
    JsonObject& addEncoded(const QString& key, QByteArray encoded);
    std::vector<Member> m_members;
};
