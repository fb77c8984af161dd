// Rows of a frame in the layout an encoder writes, shared by every encoder.
#include <algorithm>

#include "platform/gdiplus/encoders_p.h"

namespace gdip {

RowSource::RowSource(const Frame& frame, PixelFormat format, std::vector<ARGB> palette, bool copy)
    : m_src(frame_view(frame)), m_format(format), m_palette(std::move(palette)) {
    auto stored = gdip::row_bytes(frame.width, frame.format);
    if (!stored) {
        m_status = Gdiplus::InvalidParameter;
        return;
    }
    m_stored_bytes = *stored;
    if (!m_format && copy) m_format = frame.format;
    if (m_format && m_palette.empty() && is_indexed(m_format)) m_palette = frame.palette;
    if (!m_format) return;
    auto bytes = gdip::row_bytes(frame.width, m_format);
    if (!bytes) {
        m_status = Gdiplus::InvalidParameter;
        return;
    }
    m_buffer.resize(size_t(*bytes));
}

const uint8_t* RowSource::row(int32_t y) {
    if (m_status != Gdiplus::Ok) return nullptr;
    if (m_buffer.empty()) return m_src.row(y);
    ConstPixelView line = m_src;
    line.scan0 = m_src.row(y);
    line.height = 1;
    PixelView out{m_buffer.data(), m_src.width, 1, int32_t(m_buffer.size()), m_format, m_palette, 0};
    if (m_format == m_src.format && m_src.x0 == 0)
        std::copy_n(line.scan0, m_buffer.size(), m_buffer.data());
    else if (convert_pixels(line, out) != Gdiplus::Ok)
        return nullptr;
    if (m_swap_sample) {
        size_t pixel = size_t(m_swap_sample) * size_t(m_swap_samples);
        for (size_t at = 0; at + pixel <= m_buffer.size(); at += pixel)
            for (int k = 0; k < m_swap_sample; ++k)
                std::swap(m_buffer[at + size_t(k)], m_buffer[at + size_t(2 * m_swap_sample + k)]);
    }
    return m_buffer.data();
}

bool is_grey_ramp(const std::vector<ARGB>& p, int bits) {
    size_t n = size_t(1) << bits;
    if (bits < 1 || bits > 8 || p.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        uint32_t v = uint32_t(i * 255 / (n - 1));
        if (p[i] != (0xFF000000u | v << 16 | v << 8 | v)) return false;
    }
    return true;
}

}  // namespace gdip
