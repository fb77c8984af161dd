// Property items from EXIF blocks (through libexif) and from the IFDs of TIFF files (read
// directly, every offset checked). Item ids are the EXIF/TIFF tag numbers; tags of the
// thumbnail IFD take the platform's 0x50xx ids. Values are converted to little-endian.
#include <libexif/exif-data.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/byte_reader.h"
#include "platform/gdiplus/codecs_p.h"

namespace gdip::codec {
namespace {

// EXIF/TIFF field types: element size, byte-swap unit, and the platform's item type.
struct FieldType {
    uint32_t size;
    uint32_t swap;
    WORD gdip;
};

FieldType field_type(uint32_t type) {
    switch (type) {
        case 1:
            return {1, 1, PropertyTagTypeByte};
        case 2:
            return {1, 1, PropertyTagTypeASCII};
        case 3:
            return {2, 2, PropertyTagTypeShort};
        case 4:
            return {4, 4, PropertyTagTypeLong};
        case 5:
            return {8, 4, PropertyTagTypeRational};
        case 6:
            return {1, 1, PropertyTagTypeByte};  // SBYTE
        case 7:
            return {1, 1, PropertyTagTypeUndefined};
        case 8:
            return {2, 2, PropertyTagTypeShort};  // SSHORT
        case 9:
            return {4, 4, PropertyTagTypeSLONG};
        case 10:
            return {8, 4, PropertyTagTypeSRational};
        case 11:
            return {4, 4, PropertyTagTypeUndefined};  // FLOAT, kept as bytes
        case 12:
            return {8, 8, PropertyTagTypeUndefined};  // DOUBLE
        case 13:
            return {4, 4, PropertyTagTypeLong};  // IFD
        default:
            return {0, 0, 0};
    }
}

std::vector<BYTE> to_little_endian(const uint8_t* p, size_t bytes, uint32_t swap, bool big) {
    std::vector<BYTE> v(p, p + bytes);
    if (big && swap > 1)
        for (size_t i = 0; i + swap <= bytes; i += swap)
            std::reverse(v.begin() + i, v.begin() + i + swap);
    return v;
}

PROPID thumbnail_id(uint16_t tag) {
    static constexpr uint16_t kMap[][2] = {
        {0x0100, 0x5020}, {0x0101, 0x5021}, {0x0102, 0x5022}, {0x0103, 0x5023}, {0x0106, 0x5024},
        {0x010E, 0x5025}, {0x010F, 0x5026}, {0x0110, 0x5027}, {0x0111, 0x5028}, {0x0112, 0x5029},
        {0x0115, 0x502A}, {0x0116, 0x502B}, {0x0117, 0x502C}, {0x011A, 0x502D}, {0x011B, 0x502E},
        {0x011C, 0x502F}, {0x0128, 0x5030}, {0x012D, 0x5031}, {0x0131, 0x5032}, {0x0132, 0x5033},
        {0x013B, 0x5034}, {0x013E, 0x5035}, {0x013F, 0x5036}, {0x0211, 0x5037}, {0x0212, 0x5038},
        {0x0213, 0x5039}, {0x0214, 0x503A}, {0x8298, 0x503B}};
    for (const auto& m : kMap)
        if (m[0] == tag) return m[1];
    return tag;
}

struct ExifDataDeleter {
    void operator()(ExifData* d) const { exif_data_unref(d); }
};

void add_entry(Image& image, PROPID id, const ExifEntry* e, bool big) {
    FieldType t = field_type(e->format);
    if (!t.size || !e->data) return;
    size_t bytes = std::min<size_t>(e->size, size_t(e->components) * t.size);
    add_property(image, id, t.gdip, to_little_endian(e->data, bytes, t.swap, big));
}

// Walks one classic TIFF IFD; follows the EXIF and GPS pointers (the interoperability IFD
// is left out: its tag numbers collide with GPS ones).
void walk_ifd(Image& image, const platform::ByteReader& file, bool big, uint64_t off, int depth) {
    if (depth > 2 || off > file.size()) return;
    platform::ByteReader ifd = file.from(size_t(off));
    const size_t count = ifd.u16(big);
    for (size_t i = 0; i < count && ifd.remaining() >= 12; ++i) {
        const uint16_t tag = ifd.u16(big);
        const uint32_t type = ifd.u16(big), cnt = ifd.u32(big);
        platform::ByteReader inline_value = ifd.at(ifd.position(), 4);
        const uint32_t at = ifd.u32(big);
        FieldType t = field_type(type);
        if (!t.size || cnt > file.size() / t.size) continue;
        const size_t bytes = size_t(cnt) * t.size;
        platform::ByteReader value = bytes > 4 ? file.at(at, bytes) : inline_value;
        auto span = value.bytes(bytes);
        if (!value.ok()) continue;
        add_property(image, tag, t.gdip, to_little_endian(span.data(), bytes, t.swap, big));
        if ((tag == 0x8769 || tag == 0x8825) && cnt == 1 && (type == 4 || type == 13))
            walk_ifd(image, file, big, platform::ByteReader(span).u32(big), depth + 1);
    }
}

}  // namespace

void add_exif_properties(Image& image, const uint8_t* data, size_t size) {
    std::vector<uint8_t> buf;
    if (size >= 4 && (std::memcmp(data, "II*\0", 4) == 0 || std::memcmp(data, "MM\0*", 4) == 0)) {
        buf.assign({'E', 'x', 'i', 'f', 0, 0});
        buf.insert(buf.end(), data, data + size);
        data = buf.data();
        size = buf.size();
    }
    if (size > 0xFFFFFFFFu) return;
    std::unique_ptr<ExifData, ExifDataDeleter> ed(exif_data_new());
    if (!ed) return;
    exif_data_unset_option(ed.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_unset_option(ed.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(ed.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(ed.get(), data, static_cast<unsigned int>(size));
    const bool big = exif_data_get_byte_order(ed.get()) == EXIF_BYTE_ORDER_MOTOROLA;
    const ExifIfd order[] = {EXIF_IFD_0, EXIF_IFD_EXIF, EXIF_IFD_GPS, EXIF_IFD_1};
    for (ExifIfd ifd : order) {
        const ExifContent* c = ed->ifd[ifd];
        if (!c) continue;
        for (unsigned i = 0; i < c->count; ++i) {
            const ExifEntry* e = c->entries[i];
            if (!e) continue;
            PROPID id = ifd == EXIF_IFD_1 ? thumbnail_id(uint16_t(e->tag)) : PROPID(e->tag);
            add_entry(image, id, e, big);
        }
    }
    if (ed->data && ed->size)
        add_property(image, 0x501B, PropertyTagTypeByte,
                     std::vector<BYTE>(ed->data, ed->data + ed->size));
}

bool exif_resolution(const Image& image, float* dpi_x, float* dpi_y) {
    auto rational = [&](PROPID id, double* out) {
        const PropertyData* p = find_property(image, id);
        if (!p || p->type != PropertyTagTypeRational || p->value.size() < 8) return false;
        platform::ByteReader r(p->value.data(), p->value.size());
        uint32_t num = r.u32le(), den = r.u32le();
        if (!den || !num) return false;
        *out = double(num) / den;
        return true;
    };
    double x = 0, y = 0;
    if (!rational(0x011A, &x) || !rational(0x011B, &y)) return false;
    int unit = 2;
    if (const PropertyData* u = find_property(image, 0x0128); u && u->value.size() >= 2)
        unit = platform::ByteReader(u->value.data(), u->value.size()).u16le();
    if (unit != 2 && unit != 3) return false;
    double k = unit == 3 ? 2.54 : 1.0;
    *dpi_x = float(x * k);
    *dpi_y = float(y * k);
    return true;
}

void add_tiff_ifd_properties(Image& image, const uint8_t* data, size_t size, uint64_t offset) {
    platform::ByteReader file(data, size);
    const bool big = file.u8() == 'M';
    file.skip(1);
    if (file.u16(big) != 42) return;  // BigTIFF items are not read
    walk_ifd(image, file, big, offset, 0);
}

}  // namespace gdip::codec
