#pragma once

#include <QByteArray>
#include <cstdint>
#include <cstring>
#include <memory>

// A serial block in a heap allocation of exactly its size, so that a parser
// reading one byte past it is caught by the address sanitizer.
struct ExactBlock {
    explicit ExactBlock(const QByteArray& bytes)
        : size(uint32_t(bytes.size()))
        , data(new char[size_t(bytes.size())]) {
        if (size)
            std::memcpy(data.get(), bytes.constData(), size);
    }
    char* get() const { return data.get(); }
    unsigned char* bytes() const { return reinterpret_cast<unsigned char*>(data.get()); }
    QByteArray contents() const { return QByteArray(data.get(), int(size)); }
    uint32_t size;
    std::unique_ptr<char[]> data;
};
