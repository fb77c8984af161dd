// OLE picture objects over GDI handles.
#include "platform/context.h"
#include "lumtwainpro/ole.h"
#include "platform/win/win.h"

namespace {

// Implements IPicture; answers IPictureDisp and IDispatch with the same object (its default
// property, the handle, is read through get_Handle).
class Picture final : public RefCounted<IPicture> {
public:
    Picture(const PICTDESC& desc, bool own) : m_desc(desc), m_own(own) {}
    // The handle belongs to the thread that made the picture: deleted there.
    ~Picture() override {
        if (m_own) m_owner.run([d = m_desc] { delete_handle(d); });
    }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IPicture || iid == IID_IPictureDisp ||
            iid == IID_IDispatch) {
            AddRef();
            *out = static_cast<IPicture*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }

    HRESULT get_Handle(OLE_HANDLE* handle) override {
        if (!handle) return E_POINTER;
        switch (m_desc.picType) {
            case PICTYPE_BITMAP: *handle = m_desc.bmp.hbitmap; break;
            case PICTYPE_METAFILE: *handle = m_desc.wmf.hmeta; break;
            case PICTYPE_ICON: *handle = m_desc.icon.hicon; break;
            case PICTYPE_ENHMETAFILE: *handle = m_desc.emf.hemf; break;
            default: *handle = 0;
        }
        return S_OK;
    }
    HRESULT get_hPal(OLE_HANDLE* palette) override {
        if (!palette) return E_POINTER;
        *palette = m_desc.picType == PICTYPE_BITMAP ? m_desc.bmp.hpal : 0;
        return S_OK;
    }
    HRESULT get_Type(SHORT* type) override {
        if (!type) return E_POINTER;
        *type = SHORT(m_desc.picType);
        return S_OK;
    }
    HRESULT get_Width(LONG* himetric) override { return extent(himetric, true); }
    HRESULT get_Height(LONG* himetric) override { return extent(himetric, false); }

private:
    // HIMETRIC at 96 dpi: 2540 units per inch.
    HRESULT extent(LONG* out, bool width) {
        if (!out) return E_POINTER;
        *out = 0;
        if (m_desc.picType == PICTYPE_BITMAP) {
            BITMAP bm{};
            if (GetObject(m_desc.bmp.hbitmap, sizeof bm, &bm))
                *out = LONG((width ? bm.bmWidth : bm.bmHeight) * 2540.0 / 96 + 0.5);
        } else if (m_desc.picType == PICTYPE_METAFILE) {
            *out = width ? m_desc.wmf.xExt : m_desc.wmf.yExt;
        } else if (m_desc.picType == PICTYPE_ENHMETAFILE) {
            if (const auto* m = win::FindMetafile(m_desc.emf.hemf))
                *out = LONG((width ? m->width / m->dpi_x : m->height / m->dpi_y) * 2540 + 0.5);
        }
        return S_OK;
    }

    PICTDESC m_desc;
    static void delete_handle(const PICTDESC& d) {
        switch (d.picType) {
            case PICTYPE_BITMAP: DeleteObject(d.bmp.hbitmap); break;
            case PICTYPE_METAFILE: DeleteMetaFile(d.wmf.hmeta); break;
            case PICTYPE_ICON: DestroyIcon(d.icon.hicon); break;
            case PICTYPE_ENHMETAFILE: DeleteEnhMetaFile(d.emf.hemf); break;
            default: break;
        }
    }

    bool m_own;
    platform::OwnerThread m_owner;
};

}  // namespace

HRESULT OleCreatePictureIndirect(PICTDESC* desc, REFIID iid, BOOL own, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    PICTDESC d;
    if (desc) {
        d = *desc;
        if (d.picType > PICTYPE_ENHMETAFILE) return E_INVALIDARG;
    } else {
        d.picType = PICTYPE_UNINITIALIZED;
    }
    auto picture = ComPtr<IPicture>::adopt(new Picture(d, own != FALSE));
    return picture->QueryInterface(iid, out);
}
