#include "document_layout.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "fonts.h"

namespace lumtwain {
namespace {

constexpr size_t kMaxCanvasBytes = size_t(1) << 30;

const char* const kWords[] = {
    "the",         "scanner",    "report",    "quarter",   "delivery", "of",        "and",
    "to",          "results",    "in",        "shipment",  "with",     "for",       "page",
    "customer",    "invoice",    "account",   "balance",   "payment",  "terms",     "order",
    "is",          "was",        "will",      "be",        "by",       "total",     "amount",
    "received",    "office",     "holding",   "light",     "quality",  "paper",     "feeder",
    "document",    "contract",   "signed",    "between",   "parties",  "agreement", "hereby",
    "following",   "schedule",   "annual",    "budget",    "review",   "meeting",   "minutes",
    "project",     "highlights", "budget",    "figures",   "shown",    "below",     "table",
    "photograph",  "attached",   "kindly",    "confirm",   "before",   "the",       "deadline",
    "questions",   "regarding",  "this",      "letter",    "should",   "directed",  "to",
    "department",  "thank",      "you",       "for",       "your",     "patience",  "during",
    "transition",  "period",     "all",       "values",    "are",      "subject",   "audit",
    "approved",    "pending",    "legal",     "notes",     "at",       "month",     "end",
    "bank",        "transfer",   "reference", "number",    "quoted",   "on",        "every",
    "copy",        "kept",       "archive",   "weekly",    "summary",  "staff",     "training",
    "policy",      "update",     "effective", "from",      "next",     "year",      "building",
    "maintenance", "request",    "priority",  "high",      "low",      "service",   "level",
    "agreed",      "upon",       "both",      "sides",     "before",   "signing",   "details",
    "supply",      "chain",      "freight",   "warehouse", "stock",    "inventory", "count"};
constexpr int kWordCount = int(sizeof kWords / sizeof kWords[0]);

std::string sentence(Rng& rng) {
    int n = 6 + rng.below(10);
    std::string s;
    for (int i = 0; i < n; ++i) {
        std::string w = kWords[rng.below(kWordCount)];
        if (i == 0) w[0] = char(std::toupper(static_cast<unsigned char>(w[0])));
        if (i > 0) s += rng.below(9) == 0 ? ", " : " ";
        s += w;
    }
    return s + (rng.below(7) == 0 ? "?" : ".");
}

std::vector<std::string> words_of(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

// Lays the page out from top to bottom; a block that does not fit ends the page.
class Composer {
  public:
    Composer(DocumentContent& out, double width_mm, double height_mm, double dpi_x, double dpi_y,
             Rng rng)
        : m_out(out),
          m_ink(out.ink),
          m_rng(rng),
          m_width(width_mm),
          m_height(height_mm),
          m_body(LiberationSans().regular, 10, dpi_x, dpi_y),
          m_small(LiberationSans().regular, 8, dpi_x, dpi_y),
          m_title(LiberationSans().bold, 17, dpi_x, dpi_y),
          m_bold(LiberationSans().bold, 10, dpi_x, dpi_y) {
        double margin = std::min(18.0, width_mm * 0.1);
        m_left = margin;
        m_right = width_mm - margin;
        m_y = std::min(24.0, height_mm * 0.1);
        m_bottom = height_mm - std::min(20.0, height_mm * 0.08);
    }
    void compose(int page);

  private:
    double mm_x(int px) const { return px / m_ink.px_per_mm_x; }
    double mm_y(int px) const { return px / m_ink.px_per_mm_y; }
    void fill(double l, double t, double r, double b, uint8_t ink);
    void draw(Font& f, const std::string& text, double x_mm, double baseline_mm);
    bool line(Font& f, const std::string& text, double x_mm);
    void paragraph(double x_mm, double width_mm, double until_mm = 1e9);
    void title(int page);
    void table();
    void photo();
    void footer(int page);

    DocumentContent& m_out;
    InkCanvas& m_ink;
    Rng m_rng;
    double m_width, m_height, m_left, m_right, m_y, m_bottom;
    Font m_body, m_small, m_title, m_bold;
};

void Composer::fill(double l, double t, double r, double b, uint8_t ink) {
    int x0 = std::max(0, int(std::lround(l * m_ink.px_per_mm_x)));
    int x1 = std::min(m_ink.width, int(std::lround(r * m_ink.px_per_mm_x)));
    int y0 = std::max(0, int(std::lround(t * m_ink.px_per_mm_y)));
    int y1 = std::min(m_ink.height, int(std::lround(b * m_ink.px_per_mm_y)));
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            uint8_t& c = m_ink.coverage[size_t(y) * size_t(m_ink.width) + size_t(x)];
            c = std::max(c, ink);
        }
}

void Composer::draw(Font& f, const std::string& text, double x_mm, double baseline_mm) {
    int pen = int(std::lround(x_mm * m_ink.px_per_mm_x));
    int base = int(std::lround(baseline_mm * m_ink.px_per_mm_y));
    for (unsigned char ch : text) {
        const Glyph& g = f.glyph(ch);
        for (int y = 0; y < g.rows; ++y) {
            int py = base - g.top + y;
            if (py < 0 || py >= m_ink.height) continue;
            for (int x = 0; x < g.width; ++x) {
                int px = pen + g.left + x;
                if (px < 0 || px >= m_ink.width) continue;
                uint8_t& c = m_ink.coverage[size_t(py) * size_t(m_ink.width) + size_t(px)];
                c = std::max(c, g.coverage[size_t(y) * size_t(g.width) + size_t(x)]);
            }
        }
        pen += g.advance;
    }
}

// One line at the cursor; false when it would pass the bottom margin.
bool Composer::line(Font& f, const std::string& text, double x_mm) {
    double height = mm_y(f.line_height());
    if (m_y + height > m_bottom) return false;
    draw(f, text, x_mm, m_y + mm_y(f.ascent()));
    m_y += height;
    return true;
}

void Composer::paragraph(double x_mm, double width_mm, double until_mm) {
    std::string text;
    for (int n = 2 + m_rng.below(4); n > 0; --n)
        text += (text.empty() ? "" : " ") + sentence(m_rng);
    const int room = int(width_mm * m_ink.px_per_mm_x), space = m_body.glyph(' ').advance;
    std::string current;
    int used = 0;
    for (const std::string& w : words_of(text)) {
        int wide = m_body.text_width(w);
        if (!current.empty() && used + space + wide > room) {
            if (!line(m_body, current, x_mm) || m_y >= until_mm) return;
            current.clear();
            used = 0;
        }
        used += (current.empty() ? 0 : space) + wide;
        current += (current.empty() ? "" : " ") + w;
    }
    if (!current.empty()) line(m_body, current, x_mm);
    m_y += 2.5;
}

void Composer::title(int page) {
    std::string t = sentence(m_rng);
    t.pop_back();
    std::vector<std::string> words = words_of(t);
    words.resize(std::min<size_t>(words.size(), 5));
    std::string heading;
    for (std::string& w : words) {
        w[0] = char(std::toupper(static_cast<unsigned char>(w[0])));
        heading += (heading.empty() ? "" : " ") + w;
    }
    line(m_title, heading, m_left);
    line(m_small,
         "Reference " + std::to_string(1000 + m_rng.below(9000)) + "-" + std::to_string(page) +
             "  -  filed by the records office",
         m_left);
    m_y += 3;
}

void Composer::table() {
    const int rows = 4 + m_rng.below(4);
    const double row_h = mm_y(m_body.line_height()) + 1.6, width = m_right - m_left;
    if (m_y + row_h * (rows + 1) > m_bottom) return;
    const double cols[] = {0, 0.46, 0.64, 0.82, 1.0};
    const char* const heads[] = {"Item", "Quantity", "Price", "Total"};
    double top = m_y;
    fill(m_left, top, m_right, top + row_h, 40);  // a shaded header row
    for (int r = 0; r <= rows; ++r) {
        double baseline = top + r * row_h + 0.8 + mm_y(m_body.ascent());
        for (int c = 0; c < 4; ++c) {
            std::string cell = r == 0   ? heads[c]
                               : c == 0 ? kWords[m_rng.below(kWordCount)]
                                        : std::to_string(1 + m_rng.below(c == 1 ? 99 : 9999));
            draw(r == 0 ? m_bold : m_body, cell, m_left + cols[c] * width + 1.5, baseline);
        }
    }
    for (int r = 0; r <= rows + 1; ++r)
        fill(m_left, top + r * row_h - 0.15, m_right, top + r * row_h + 0.15, 255);
    for (double c : cols)
        fill(m_left + c * width - 0.15, top, m_left + c * width + 0.15, top + (rows + 1) * row_h,
             255);
    m_y = top + (rows + 1) * row_h + 4;
}

// A photo-like block at one side, with text beside it.
void Composer::photo() {
    const double width = (m_right - m_left) * 0.42, height = width * 0.72;
    if (m_y + height > m_bottom || width < 20) return;
    bool left = m_rng.below(2) == 0;
    PhotoBlock p{left ? m_left : m_right - width, m_y, left ? m_left + width : m_right,
                 m_y + height};
    m_out.photos.push_back(p);
    double top = m_y, text_x = left ? p.right + 5 : m_left;
    double text_w = m_right - m_left - width - 5;
    while (m_y < p.bottom && m_y < m_bottom) {
        double before = m_y;
        paragraph(text_x, text_w, p.bottom);
        if (m_y == before) break;
    }
    m_y = std::max(m_y, top + height + 4);
}

void Composer::footer(int page) {
    std::string text = "- " + std::to_string(page) + " -";
    double x = (m_width - mm_x(m_small.text_width(text))) / 2;
    m_y = m_bottom;
    m_bottom = m_height;
    line(m_small, text, x);
}

void Composer::compose(int page) {
    title(page);
    paragraph(m_left, m_right - m_left);
    bool table_first = m_rng.below(2) == 0;
    for (int block = 0; block < 2; ++block) {
        if ((block == 0) == table_first)
            table();
        else
            photo();
        paragraph(m_left, m_right - m_left);
    }
    for (int guard = 0; guard < 64 && m_y + mm_y(m_body.line_height()) < m_bottom; ++guard)
        paragraph(m_left, m_right - m_left);
    footer(page);
}

}  // namespace

DocumentContent DrawDocument(double width_mm, double height_mm, double dpi_x, double dpi_y,
                             uint32_t seed, int page) {
    DocumentContent out;
    InkCanvas& ink = out.ink;
    ink.px_per_mm_x = dpi_x / 25.4;
    ink.px_per_mm_y = dpi_y / 25.4;
    double w = std::round(width_mm * ink.px_per_mm_x), h = std::round(height_mm * ink.px_per_mm_y);
    if (!(w >= 1 && h >= 1) || w * h > double(kMaxCanvasBytes)) return out;
    ink.width = int(w);
    ink.height = int(h);
    ink.coverage.assign(size_t(ink.width) * size_t(ink.height), 0);
    Composer(out, width_mm, height_mm, dpi_x, dpi_y,
             Rng(uint64_t(seed) << 32 ^ uint64_t(uint32_t(page))))
        .compose(page);
    return out;
}

}  // namespace lumtwain
