// cPDF: colours, line styles, paths and form XObjects.
#include <cmath>

#include "codecs/cPDF.h"
#include "codecs/cPDF_p.h"

using namespace pdf;

// ---- Colours and line styles -----------------------------------------------------------

void cPDF::Color(int32_t color, bool stroke) {
    if (color < -255) Raise(ComError::kOverflow);  // its components would come out negative
    if (color <= 0) {
        Content(F(double(-color) / 255) + (stroke ? " G" : " g"));
        return;
    }
    double red = color % 256, green = (color / 256) % 256, blue = (color / 65536) % 256;
    Content(F(red / 255) + " " + F(green / 255) + " " + F(blue / 255) + (stroke ? " RG" : " rg"));
}

void cPDF::SetColorStroke(int32_t color) {
    Color(color, true);
}
void cPDF::SetColorFill(int32_t color) {
    Color(color, false);
}

void cPDF::SetDash(float on, float off) {
    Content(on != 0 || off != 0 ? "[" + F(on) + " " + F(off) + "] 0 d" : "[ ] 0 d");
}

void cPDF::SetLineWidth(float w) {
    Content(F(w) + " w");
}

void cPDF::SetLineCap(int16_t cap) {
    if (cap >= 0 && cap <= 2) Content(Str(cap) + " J");
}

void cPDF::SetLineJoin(int16_t join) {
    if (join >= 0 && join <= 2) Content(Str(join) + " j");
}

// ---- Paths -----------------------------------------------------------------------------

void cPDF::PaintPath(int32_t options) {
    switch (options & 7) {
        case 7:
            Content("b");
            break;
        case 5:
            Content("B");
            break;
        case 4:
        case 6:
            Content("f");
            break;
        case 3:
            Content("h");
            Content("S");
            break;
        case 2:
            Content("h");
            break;
        case 1:
            Content("S");
            break;
        default:
            break;
    }
}

void cPDF::MoveTo(float x, float y) {
    Content(F(x) + " " + F(y) + " m");
}

void cPDF::LineTo(float x, float y, int32_t options) {
    Content(F(x) + " " + F(y) + " l");
    PaintPath(options);
}

void cPDF::Curve(float x1, float y1, float x2, float y2, float x3, float y3, int32_t options) {
    Content(F(x1) + " " + F(y1) + " " + F(x2) + " " + F(y2) + " " + F(x3) + " " + F(y3) + " c");
    PaintPath(options);
}

void cPDF::Rectangle(float x, float y, float w, float h, int32_t options, float radius) {
    Content("n");
    if (!(radius > 0)) {
        Content(F(x) + " " + F(y) + " " + F(w) + " " + F(h) + " re");
    } else {
        float r = radius;
        if (r > w / 2) r = w / 2;
        if (r > h / 2) r = h / 2;
        float k = r * 0.55f;
        MoveTo(x + r, y);
        LineTo(x + w - r, y);
        Curve(x + w - r + k, y, x + w, y + r - k, x + w, y + r);
        LineTo(x + w, y + h - r);
        Curve(x + w, y + h - r + k, x + w - r + k, y + h, x + w - r, y + h);
        LineTo(x + r, y + h);
        Curve(x + r - k, y + h, x, y + h - r + k, x, y + h - r);
        LineTo(x, y + r);
        Curve(x, y + r - k, x + r - k, y, x + r, y);
    }
    PaintPath(options);
}

void cPDF::DrawCircle(float x, float y, float r, int32_t options) {
    float k = 0.55f * r;
    MoveTo(x, y - r);
    Curve(x + k, y - r, x + r, y - k, x + r, y);
    Curve(x + r, y + k, x + k, y + r, x, y + r);
    Curve(x - k, y + r, x - r, y + k, x - r, y);
    Curve(x - r, y - k, x - k, y - r, x, y - r);
    PaintPath(options);
}

void cPDF::Arc(float x, float y, float radius, float startAngle, float endAngle, float ratio,
               bool pie, float rotation, int16_t step, int32_t options) {
    if (!m_file) Raise(kBadFileNumber);
    if (step <= 0) Raise(ComError::kInvalidProcedureCall);
    Content("n");
    MoveTo(x, y);
    if (options & 4) pie = true;
    const float d = 3.141592f / 180;
    float sR = std::sin(-d * rotation), cR = std::cos(-d * rotation);
    for (float a = startAngle; a <= endAngle;) {
        float dx = radius * std::cos(d * a);
        float dy = ratio * radius * std::sin(d * a);
        float px = cR * dx + sR * dy;
        float py = -dx * sR + cR * dy;
        if (!pie && a == startAngle) MoveTo(x + px, y + py);
        LineTo(x + px, y + py, 0);
        float next = a + float(step);
        if (!(next > a)) break;  // past the precision of a single: the angle stops growing
        a = next;
    }
    if (pie) LineTo(x, y, 0);
    PaintPath(options);
}

// ---- Forms -----------------------------------------------------------------------------

void cPDF::StartObject(const std::string& name, int32_t options) {
    if (!m_file) Raise(kBadFileNumber);
    if (m_stream != Stream::None) Raise(ComError::kInvalidProcedureCall);
    std::string own = NameText(ToAnsi(name));
    for (const auto& f : m_forms)
        if (f.name == own) Raise(ComError::kInvalidProcedureCall);  // one resource per name
    Next(m_highestObject + 2);
    Next(int32_t(m_forms.size()) + 1);
    int16_t n = BeginObject(0);
    std::string m = F(m_margin);
    WriteLine(JoinCR({"<<", "/Type /XObject", "/Subtype /Form", "/FormType 1", "/Name /" + own,
                      "/BBox [" + m + " " + m + " " + F(m_paperWidth - m_margin) + " " +
                          F(m_paperHeight - m_margin) + "]",
                      "/Matrix [1 0 0 1 0 0]", "/Length " + Str(n + 1) + " 0 R >>", "stream"}));
    OpenStream(Stream::Form);
    m_openForm = own;
    m_formResources += "/" + own + " " + Str(n) + " 0 R \r";
    m_forms.push_back({own, options});
}

void cPDF::EndObject() {
    if (!m_file) Raise(kBadFileNumber);
    if (m_stream != Stream::Form) Raise(ComError::kInvalidProcedureCall);
    CloseStream();
}

void cPDF::DrawObject(const std::string& name) {
    if (!m_file) Raise(kBadFileNumber);
    std::string own = NameText(ToAnsi(name));
    // Only forms that exist, and never the one being defined (it would draw itself forever).
    bool known = false;
    for (const auto& f : m_forms) known = known || f.name == own;
    if (!known || own == m_openForm) return;
    Content("/" + own + " Do");
}

void cPDF::DrawPageObjects(int16_t page) {
    bool even = page % 2 == 0;
    for (const auto& f : m_forms) {
        int32_t o = f.options;
        if ((o & 7) == 7 || (even && (o & 2)) || (!even && (o & 4) && !((o & 8) && page == 1)))
            Content("/" + f.name + " Do");
    }
}
