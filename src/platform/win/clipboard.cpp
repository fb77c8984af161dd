// The clipboard of the calling thread. It owns what is set on it until it is emptied.
#include <map>

#include "platform/win/gdi_p.h"

namespace {

struct Clipboard {
    bool open = false;
    std::map<UINT, HANDLE> data;
};

Clipboard& clipboard() {
    thread_local Clipboard c;
    return c;
}

void release(UINT format, HANDLE h) {
    switch (format) {
        case CF_DIB:
            GlobalFree(h);
            break;
        case CF_METAFILEPICT: {
            if (auto* mfp = static_cast<METAFILEPICT*>(GlobalLock(h))) {
                DeleteMetaFile(mfp->hMF);
                GlobalUnlock(h);
            }
            GlobalFree(h);
            break;
        }
        case CF_ENHMETAFILE:
            DeleteEnhMetaFile(h);
            break;
        default:
            DeleteObject(h);
    }
}

}  // namespace

BOOL OpenClipboard(HWND) {
    if (clipboard().open) return FALSE;
    clipboard().open = true;
    return TRUE;
}

BOOL CloseClipboard() {
    if (!clipboard().open) return FALSE;
    clipboard().open = false;
    return TRUE;
}

BOOL EmptyClipboard() {
    if (!clipboard().open) return FALSE;
    for (auto& [format, h] : clipboard().data) release(format, h);
    clipboard().data.clear();
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    Clipboard& c = clipboard();
    if (!c.open || !data) return 0;
    if (auto it = c.data.find(format); it != c.data.end() && it->second != data)
        release(format, it->second);
    c.data[format] = data;
    return data;
}

HANDLE GetClipboardData(UINT format) {
    Clipboard& c = clipboard();
    if (!c.open) return 0;
    auto it = c.data.find(format);
    return it == c.data.end() ? 0 : it->second;
}

BOOL IsClipboardFormatAvailable(UINT format) {
    return clipboard().data.count(format) ? TRUE : FALSE;
}
