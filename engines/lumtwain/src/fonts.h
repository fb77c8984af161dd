// Text for the virtual scanner's document pages: Liberation Sans found through fontconfig and
// drawn with FreeType. Each Font belongs to one thread (FreeType faces are not shared).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace lumtwain {

// The files of Liberation Sans, regular and bold, or empty texts when fontconfig has no such
// family (its fallbacks do not count). Looked up once per process.
struct FontFiles {
    std::string regular, bold;
};
const FontFiles& LiberationSans();

// One glyph's coverage bitmap (0..255, rows top-down) and where it sits on the pen.
struct Glyph {
    int width = 0, rows = 0, left = 0, top = 0;  // top: rows above the baseline
    int advance = 0;                             // pixels
    std::vector<uint8_t> coverage;
};

// A face at one size and resolution. When the file cannot be used, ok() is false and the
// glyphs are solid boxes of the x-height, so that a page still has text-like lines.
class Font {
  public:
    Font(const std::string& file, double points, double dpi_x, double dpi_y);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    bool ok() const { return m_impl != nullptr; }
    const Glyph& glyph(char32_t c);
    int text_width(const std::string& text);
    int line_height() const { return m_line; }  // pixels, baseline to baseline
    int ascent() const { return m_ascent; }

  private:
    struct Impl;  // the FreeType library and face
    std::unique_ptr<Impl> m_impl;
    double m_points, m_dpi_x, m_dpi_y;
    int m_line = 0, m_ascent = 0;
    std::unordered_map<char32_t, Glyph> m_cache;
};

}  // namespace lumtwain
