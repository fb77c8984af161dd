#include "sane_options.h"

#include <cmath>
#include <vector>

namespace lumtwain {

void SaneOptions::load() {
    m_options.clear();
    SANE_Int count = 0;
    if (sane_control_option(m_handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) !=
        SANE_STATUS_GOOD)
        return;
    for (SANE_Int i = 1; i < count && i < 4096; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(m_handle, i);
        if (!d || !d->name || !*d->name) continue;
        SaneOption o;
        o.index = i;
        o.type = d->type;
        o.size = d->size;
        o.cap = d->cap;
        auto word = [&](SANE_Word w) { return d->type == SANE_TYPE_FIXED ? SANE_UNFIX(w) : w; };
        if (d->constraint_type == SANE_CONSTRAINT_STRING_LIST && d->constraint.string_list)
            for (const SANE_String_Const* s = d->constraint.string_list; *s; ++s)
                o.strings.emplace_back(*s);
        if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST && d->constraint.word_list)
            for (SANE_Int k = 1; k <= d->constraint.word_list[0] && k < 4096; ++k)
                o.words.push_back(word(d->constraint.word_list[k]));
        if (d->constraint_type == SANE_CONSTRAINT_RANGE && d->constraint.range) {
            o.has_range = true;
            o.min = word(d->constraint.range->min);
            o.max = word(d->constraint.range->max);
            o.quant = word(d->constraint.range->quant);
        }
        m_options[d->name] = std::move(o);
    }
}

const SaneOption* SaneOptions::find(const std::string& name) const {
    auto it = m_options.find(name);
    return it == m_options.end() ? nullptr : &it->second;
}

std::optional<double> SaneOptions::get_number(const std::string& name) const {
    const SaneOption* o = find(name);
    if (!o || !SANE_OPTION_IS_ACTIVE(o->cap) || o->size < SANE_Int(sizeof(SANE_Word)) ||
        (o->type != SANE_TYPE_INT && o->type != SANE_TYPE_FIXED && o->type != SANE_TYPE_BOOL))
        return std::nullopt;
    std::vector<SANE_Word> buf(size_t(o->size) / sizeof(SANE_Word) + 1);
    if (sane_control_option(m_handle, o->index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) !=
        SANE_STATUS_GOOD)
        return std::nullopt;
    return o->type == SANE_TYPE_FIXED ? SANE_UNFIX(buf[0]) : double(buf[0]);
}

std::optional<std::string> SaneOptions::get_string(const std::string& name) const {
    const SaneOption* o = find(name);
    if (!o || !SANE_OPTION_IS_ACTIVE(o->cap) || o->type != SANE_TYPE_STRING || o->size <= 0)
        return std::nullopt;
    std::vector<char> buf(size_t(o->size) + 1, '\0');
    if (sane_control_option(m_handle, o->index, SANE_ACTION_GET_VALUE, buf.data(), nullptr) !=
        SANE_STATUS_GOOD)
        return std::nullopt;
    return std::string(buf.data());
}

std::optional<double> SaneOptions::set_number(const std::string& name, double value) {
    const SaneOption* o = find(name);
    if (!o || !o->active() || !std::isfinite(value)) return std::nullopt;
    SANE_Word w = o->type == SANE_TYPE_FIXED ? SANE_FIX(value) : SANE_Word(std::lround(value));
    SANE_Int info = 0;
    if (sane_control_option(m_handle, o->index, SANE_ACTION_SET_VALUE, &w, &info) !=
        SANE_STATUS_GOOD)
        return std::nullopt;
    if (info & SANE_INFO_RELOAD_OPTIONS) load();
    return get_number(name);
}

std::optional<std::string> SaneOptions::set_string(const std::string& name,
                                                   const std::string& value) {
    const SaneOption* o = find(name);
    if (!o || !o->active() || o->type != SANE_TYPE_STRING) return std::nullopt;
    std::vector<char> buf(std::max<size_t>(size_t(o->size), value.size() + 1), '\0');
    std::copy(value.begin(), value.end(), buf.begin());
    SANE_Int info = 0;
    if (sane_control_option(m_handle, o->index, SANE_ACTION_SET_VALUE, buf.data(), &info) !=
        SANE_STATUS_GOOD)
        return std::nullopt;
    if (info & SANE_INFO_RELOAD_OPTIONS) load();
    return get_string(name);
}

}  // namespace lumtwain
