#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Bounds-checked little-endian reads over a byte span. A read that would pass
// the end returns 0 and sets failed(); the position never moves past the end.
// Every binary parser of the program reads through this class, so none of them
// indexes a raw pointer beyond the length it was given.
class ByteReader {
public:
    ByteReader(const void* data, size_t size)
        : m_data(static_cast<const uint8_t*>(data))
        , m_size(data ? size : 0) {}

    size_t size() const { return m_size; }
    size_t pos() const { return m_pos; }
    size_t remaining() const { return m_size - m_pos; }
    bool failed() const { return m_failed; }
    const uint8_t* data() const { return m_data; }

    bool seek(size_t pos) {
        if (pos > m_size) {
            m_failed = true;
            return false;
        }
        m_pos = pos;
        return true;
    }
    bool skip(size_t n) { return n <= remaining() ? seek(m_pos + n) : (m_failed = true, false); }

    uint8_t u8() { return static_cast<uint8_t>(readLE(1)); }
    uint16_t u16() { return static_cast<uint16_t>(readLE(2)); }
    uint32_t u32() { return static_cast<uint32_t>(readLE(4)); }
    uint64_t u64() { return readLE(8); }
    int16_t i16() { return static_cast<int16_t>(u16()); }
    int32_t i32() { return static_cast<int32_t>(u32()); }

    // Reads at an absolute offset without moving the position.
    uint8_t u8At(size_t off, bool* ok = nullptr) const {
        return static_cast<uint8_t>(peekLE(off, 1, ok));
    }
    uint16_t u16At(size_t off, bool* ok = nullptr) const {
        return static_cast<uint16_t>(peekLE(off, 2, ok));
    }
    uint32_t u32At(size_t off, bool* ok = nullptr) const {
        return static_cast<uint32_t>(peekLE(off, 4, ok));
    }
    uint64_t u64At(size_t off, bool* ok = nullptr) const { return peekLE(off, 8, ok); }

    // Copies n bytes to out; on a short span copies nothing and fails.
    bool bytes(void* out, size_t n) {
        if (n > remaining()) {
            m_failed = true;
            return false;
        }
        if (n)
            std::memcpy(out, m_data + m_pos, n);
        m_pos += n;
        return true;
    }

private:
    uint64_t peekLE(size_t off, size_t n, bool* ok) const {
        const bool fits = off <= m_size && n <= m_size - off;
        if (ok)
            *ok = fits;
        if (!fits)
            return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= uint64_t(m_data[off + i]) << (8 * i);
        return v;
    }
    uint64_t readLE(size_t n) {
        bool ok = false;
        const uint64_t v = peekLE(m_pos, n, &ok);
        if (!ok) {
            m_failed = true;
            return 0;
        }
        m_pos += n;
        return v;
    }

    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_failed = false;
};
