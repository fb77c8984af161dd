// The one reader of outside bytes for hand-written parsers (BMP and ICO headers, TIFF IFDs,
// PNM, PCX): every access is bounds-checked, and the first access past the end fails the
// reader for good. A failed reader gives 0 and empty spans, so a parser reads a whole header
// and checks ok() once instead of checking each field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace platform {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(data ? size : 0) {}
    explicit ByteReader(std::span<const uint8_t> bytes) : ByteReader(bytes.data(), bytes.size()) {}

    bool ok() const { return !m_failed; }
    size_t position() const { return m_pos; }
    size_t size() const { return m_size; }
    size_t remaining() const { return m_failed ? 0 : m_size - m_pos; }
    bool at_end() const { return remaining() == 0; }
    void fail() { m_failed = true; }

    uint8_t u8() { return take(1) ? m_data[m_pos - 1] : 0; }
    uint16_t u16le() { return uint16_t(le(2)); }
    uint16_t u16be() { return uint16_t(be(2)); }
    uint32_t u32le() { return uint32_t(le(4)); }
    uint32_t u32be() { return uint32_t(be(4)); }
    int32_t i32le() { return int32_t(u32le()); }
    uint16_t u16(bool big_endian) { return big_endian ? u16be() : u16le(); }
    uint32_t u32(bool big_endian) { return big_endian ? u32be() : u32le(); }

    // The next `n` bytes; empty (and the reader failed) when fewer are left.
    std::span<const uint8_t> bytes(size_t n) {
        if (!take(n)) return {};
        return {m_data + m_pos - n, n};
    }
    bool copy(void* out, size_t n) {
        auto b = bytes(n);
        if (b.size() != n) return false;
        if (n) std::memcpy(out, b.data(), n);
        return true;
    }
    void skip(size_t n) { take(n); }
    // Moves to an absolute offset; past the end fails the reader.
    void seek(size_t position) {
        if (m_failed || position > m_size) m_failed = true;
        else m_pos = position;
    }

    // For text formats: the next byte, or -1 at the end. Reaching the end is not a failure
    // here: the parser decides what a short file means.
    int peek() const { return m_failed || m_pos >= m_size ? -1 : m_data[m_pos]; }
    int get() { return m_failed || m_pos >= m_size ? -1 : m_data[m_pos++]; }

    // A reader over `n` bytes at `offset` of this one's data (a failed one when outside).
    ByteReader at(size_t offset, size_t n) const {
        if (m_failed || offset > m_size || n > m_size - offset) {
            ByteReader r;
            r.m_failed = true;
            return r;
        }
        return ByteReader(m_data + offset, n);
    }
    // The rest of the data from an absolute offset.
    ByteReader from(size_t offset) const { return at(offset, offset <= m_size ? m_size - offset : 0); }

private:
    bool take(size_t n) {
        if (m_failed || n > m_size - m_pos) {
            m_failed = true;
            return false;
        }
        m_pos += n;
        return true;
    }
    uint64_t le(size_t n) {
        if (!take(n)) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= uint64_t(m_data[m_pos - n + i]) << (8 * i);
        return v;
    }
    uint64_t be(size_t n) {
        if (!take(n)) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v = (v << 8) | m_data[m_pos - n + i];
        return v;
    }

    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    size_t m_pos = 0;
    bool m_failed = false;
};

}  // namespace platform
