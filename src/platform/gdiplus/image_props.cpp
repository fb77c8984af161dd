// Frame dimensions and frames, and property items (tags) as raw items.
#include <algorithm>
#include <cstring>

#include "platform/gdiplus/pixels_p.h"

using namespace gdip;

namespace {

// A bitmap made in memory has one page; decoders set the dimension they fill.
GUID dimension_of(const Image& img) {
    return img.frame_dimension == GUID{} ? FrameDimensionPage : img.frame_dimension;
}

PropertyData* find_property(Image& img, PROPID id) {
    auto& props = img.props();
    auto it = std::find_if(props.begin(), props.end(),
                           [id](const PropertyData& p) { return p.id == id; });
    return it == props.end() ? nullptr : &*it;
}

}  // namespace

GpStatus GdipImageGetFrameDimensionsCount(GpImage image, UINT* count) {
    Image* img = find_bitmap(image);
    if (!img || !count) return Gdiplus::InvalidParameter;
    *count = 1;
    return Gdiplus::Ok;
}

GpStatus GdipImageGetFrameDimensionsList(GpImage image, GUID* dimensions, UINT count) {
    Image* img = find_bitmap(image);
    if (!img || !dimensions || count != 1) return Gdiplus::InvalidParameter;
    dimensions[0] = dimension_of(*img);
    return Gdiplus::Ok;
}

GpStatus GdipImageGetFrameCount(GpImage image, const GUID* dimension, UINT* count) {
    Image* img = find_bitmap(image);
    if (!img || !dimension || !count || !(*dimension == dimension_of(*img)))
        return Gdiplus::InvalidParameter;
    *count = UINT(img->frames.size());
    return Gdiplus::Ok;
}

GpStatus GdipImageSelectActiveFrame(GpImage image, const GUID* dimension, UINT index) {
    Image* img = find_bitmap(image);
    if (!img || !dimension || !(*dimension == dimension_of(*img)) || index >= img->frames.size())
        return Gdiplus::InvalidParameter;
    // Switching frames under an outstanding lock would write the pixels back elsewhere.
    if (is_locked(*img)) return Gdiplus::WrongState;
    img->active = index;
    return Gdiplus::Ok;
}

GpStatus GdipGetPropertyCount(GpImage image, UINT* count) {
    Image* img = find_image(image);
    if (!img || !count) return Gdiplus::InvalidParameter;
    *count = UINT(img->props().size());
    return Gdiplus::Ok;
}

GpStatus GdipGetPropertyIdList(GpImage image, UINT count, PROPID* list) {
    Image* img = find_image(image);
    if (!img || !list || count != img->props().size()) return Gdiplus::InvalidParameter;
    for (size_t i = 0; i < img->props().size(); ++i) list[i] = img->props()[i].id;
    return Gdiplus::Ok;
}

GpStatus GdipGetPropertyItemSize(GpImage image, PROPID id, UINT* size) {
    Image* img = find_image(image);
    if (!img || !size) return Gdiplus::InvalidParameter;
    const PropertyData* p = find_property(*img, id);
    if (!p) return Gdiplus::PropertyNotFound;
    *size = UINT(sizeof(PropertyItem) + p->value.size());
    return Gdiplus::Ok;
}

GpStatus GdipGetPropertyItem(GpImage image, PROPID id, UINT size, PropertyItem* buffer) {
    Image* img = find_image(image);
    if (!img || !buffer) return Gdiplus::InvalidParameter;
    const PropertyData* p = find_property(*img, id);
    if (!p) return Gdiplus::PropertyNotFound;
    if (size < sizeof(PropertyItem) + p->value.size()) return Gdiplus::InvalidParameter;
    // The value follows the header in the caller's buffer.
    BYTE* value = reinterpret_cast<BYTE*>(buffer) + sizeof(PropertyItem);
    if (!p->value.empty()) std::memcpy(value, p->value.data(), p->value.size());
    buffer->id = p->id;
    buffer->length = ULONG(p->value.size());
    buffer->type = p->type;
    buffer->value = p->value.empty() ? nullptr : value;
    return Gdiplus::Ok;
}

GpStatus GdipSetPropertyItem(GpImage image, const PropertyItem* item) {
    Image* img = find_image(image);
    if (!img || !item || (item->length && !item->value)) return Gdiplus::InvalidParameter;
    PropertyData data;
    data.id = item->id;
    data.type = item->type;
    const BYTE* v = static_cast<const BYTE*>(item->value);
    return guarded([&] {
        data.value.assign(v, v + item->length);  // any length a caller claims
        if (PropertyData* p = find_property(*img, item->id))
            *p = std::move(data);
        else
            img->props().push_back(std::move(data));
        return Gdiplus::Ok;
    });
}
