#include "source.h"

#include <cmath>

#include "codes.h"

namespace lumtwain {

double UnitsPerInch(int units, double dpi) {
    switch (units) {
        case kTwunInches:
            return 1.0;
        case kTwunCentimeters:
            return 2.54;
        case kTwunPicas:
            return 6.0;
        case kTwunPoints:
            return 72.0;
        case kTwunTwips:
            return 1440.0;
        case kTwunPixels:
            return dpi > 0 ? dpi : 0.0;
        case kTwunMillimeters:
            return 25.4;
        default:
            return 0.0;
    }
}

double Source::current(int code, double fallback) const {
    const Capability* c = m_caps.find(code);
    return c ? c->current : fallback;
}

Emulation Source::emulation() const {
    auto on = [&](int code) { return emulated(code) && current(code) != 0; };
    return {on(kIcapAutomaticBorderDetection), on(kIcapAutomaticDeskew), on(kIcapAutomaticRotate)};
}

void Source::add_emulated_caps() {
    std::vector<double> codes;
    for (int code : {kIcapAutomaticBorderDetection, kIcapAutomaticDeskew, kIcapAutomaticRotate}) {
        m_caps.add(CapEnum(code, kTwtyBool, {0, 1}, 0));
        m_emulated.insert(code);
        codes.push_back(code);
    }
    m_caps.add(CapEnum(kCapEmulated, kTwtyUint16, codes, codes.front(), true));
}

int Source::set_value(int code, double value, bool* adjusted) {
    Capability* c = m_caps.find(code);
    if (!c) return kTwccCapUnsupported;
    if (c->read_only) return kTwccCapBadOperation;
    if (c->is_text()) return kTwccBadValue;
    std::optional<double> v = c->accept(value);
    if (!v) return kTwccBadValue;
    if (adjusted) *adjusted = std::fabs(*v - value) > 1e-9;
    c->current = *v;
    changed(code);
    return kTwccSuccess;
}

int Source::set_text(int code, const std::string& text) {
    Capability* c = m_caps.find(code);
    if (!c) return kTwccCapUnsupported;
    if (c->read_only) return kTwccCapBadOperation;
    if (!c->is_text()) return kTwccBadValue;
    if (text.size() > size_t(text_type_capacity(c->item_type))) return kTwccBadValue;
    c->text = text;
    return kTwccSuccess;
}

int Source::reset(int code) {
    Capability* c = m_caps.find(code);
    if (!c) return kTwccCapUnsupported;
    if (c->read_only) return kTwccSuccess;  // nothing to reset; the value stays
    c->current = c->default_value;
    c->text = c->default_text;
    changed(code);
    return kTwccSuccess;
}

}  // namespace lumtwain
