// IStream over a global memory block, and a read-only stream over caller memory.
#include <algorithm>
#include <limits>

#include "platform/context.h"
#include "lumtwainpro/ole.h"
#include "platform/win/win.h"

namespace {

// What both streams share: the interfaces, the position and seeking within the size.
class StreamBase : public RefCounted<IStream> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IStream || iid == IID_ISequentialStream) {
            AddRef();
            *out = static_cast<IStream*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Seek(int64_t move, DWORD origin, uint64_t* new_position) override {
        int64_t base = origin == STREAM_SEEK_SET   ? 0
                       : origin == STREAM_SEEK_CUR ? int64_t(m_pos)
                       : origin == STREAM_SEEK_END ? int64_t(size())
                                                   : -1;
        if (base < 0 || (move < 0 && -move > base)) return STG_E_INVALIDFUNCTION;
        m_pos = uint64_t(base + move);
        if (new_position) *new_position = m_pos;
        return S_OK;
    }
    HRESULT Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG{};
        stat->cbSize = size();
        return S_OK;
    }
    HRESULT Commit(DWORD) override { return S_OK; }
    HRESULT Clone(IStream** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

protected:
    virtual uint64_t size() const = 0;
    uint64_t m_pos = 0;
};

// Grows its block on writes past the end, as the platform's HGLOBAL stream does.
class HGlobalStream final : public StreamBase {
public:
    HGlobalStream(HGLOBAL mem, bool delete_on_release)
        : m_mem(mem), m_delete(delete_on_release), m_size(GlobalSize(mem)) {}
    // The block is a handle of the thread that made the stream: freed there.
    ~HGlobalStream() override {
        if (m_delete) m_owner.run([mem = m_mem] { GlobalFree(mem); });
    }

    HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
        if (!buffer && count) return STG_E_INVALIDPOINTER;
        uint64_t n = m_pos < m_size ? std::min<uint64_t>(count, m_size - m_pos) : 0;
        if (n) {
            auto* p = static_cast<BYTE*>(GlobalLock(m_mem));
            if (!p) return E_UNEXPECTED;
            std::memcpy(buffer, p + m_pos, size_t(n));
            GlobalUnlock(m_mem);
        }
        m_pos += n;
        if (read) *read = ULONG(n);
        return n < count ? S_FALSE : S_OK;
    }

    HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
        if (written) *written = 0;
        if (!buffer && count) return STG_E_INVALIDPOINTER;
        if (count == 0) return S_OK;
        uint64_t end = m_pos + count;
        if (end > m_size && FAILED(SetSize(end))) return STG_E_MEDIUMFULL;
        auto* p = static_cast<BYTE*>(GlobalLock(m_mem));
        if (!p) return E_UNEXPECTED;
        std::memcpy(p + m_pos, buffer, count);
        GlobalUnlock(m_mem);
        m_pos = end;
        if (written) *written = count;
        return S_OK;
    }

    HRESULT SetSize(uint64_t size) override {
        if (size > std::numeric_limits<uint32_t>::max()) return STG_E_MEDIUMFULL;
        if (size > GlobalSize(m_mem)) {
            // Grow geometrically so a stream written in small pieces stays linear.
            uint64_t capacity = std::max<uint64_t>(size, uint64_t(GlobalSize(m_mem)) * 3 / 2);
            capacity = std::min<uint64_t>(capacity, std::numeric_limits<uint32_t>::max());
            if (!GlobalReAlloc(m_mem, SIZE_T(capacity), GMEM_MOVEABLE)) return STG_E_MEDIUMFULL;
        }
        m_size = size;
        return S_OK;
    }

    HGLOBAL hglobal() const { return m_mem; }

private:
    uint64_t size() const override { return m_size; }

    HGLOBAL m_mem;
    bool m_delete;
    uint64_t m_size;
    platform::OwnerThread m_owner;
};

// A read-only view of memory the caller keeps alive.
class MemoryStream final : public StreamBase {
public:
    MemoryStream(const void* data, size_t size)
        : m_data(static_cast<const BYTE*>(data)), m_size(size) {}

    HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
        if (!buffer && count) return STG_E_INVALIDPOINTER;
        uint64_t n = m_pos < m_size ? std::min<uint64_t>(count, m_size - m_pos) : 0;
        if (n) std::memcpy(buffer, m_data + m_pos, size_t(n));
        m_pos += n;
        if (read) *read = ULONG(n);
        return n < count ? S_FALSE : S_OK;
    }
    HRESULT Write(const void*, ULONG, ULONG* written) override {
        if (written) *written = 0;
        return STG_E_MEDIUMFULL;
    }
    HRESULT SetSize(uint64_t) override { return STG_E_MEDIUMFULL; }

private:
    uint64_t size() const override { return m_size; }

    const BYTE* m_data;
    uint64_t m_size;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL mem, BOOL delete_on_release, IStream** out) {
    if (!out) return E_INVALIDARG;
    *out = nullptr;
    if (mem == 0) {
        mem = GlobalAlloc(GMEM_MOVEABLE, 0);
        if (!mem) return E_OUTOFMEMORY;
    } else if (!GlobalLock(mem)) {
        return E_INVALIDARG;
    } else {
        GlobalUnlock(mem);
    }
    *out = new HGlobalStream(mem, delete_on_release != FALSE);
    return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* out) {
    if (!out) return E_INVALIDARG;
    *out = 0;
    auto* s = dynamic_cast<HGlobalStream*>(stream);
    if (!s) return E_INVALIDARG;
    *out = s->hglobal();
    return S_OK;
}

namespace ole {

ComPtr<IStream> CreateStreamOnMemory(const void* data, size_t size) {
    return ComPtr<IStream>::adopt(new MemoryStream(data, size));
}

HRESULT ReadAll(IStream* stream, std::vector<uint8_t>* out) {
    if (!stream || !out) return E_POINTER;
    out->clear();
    std::vector<uint8_t> chunk(1 << 16);
    for (;;) {
        ULONG n = 0;
        HRESULT hr = stream->Read(chunk.data(), ULONG(chunk.size()), &n);
        if (FAILED(hr)) return hr;
        out->insert(out->end(), chunk.begin(), chunk.begin() + n);
        // A short read is not the end: only a read that brings nothing is.
        if (n == 0) return S_OK;
    }
}

}  // namespace ole
