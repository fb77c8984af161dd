// The per-thread context of the stand-ins: every handle table of a thread (images, global
// blocks, GDI objects, device contexts, graphics; later windows and internet handles) lives
// in one object, destroyed in a fixed order when the thread ends.
//
// Handle values (32 bits):
//
//   31 30..28  27 ........................... 0
//   +--+------+-------------------------------+
//   |0 | kind | serial                        |
//   +--+------+-------------------------------+
//
// Bit 31 stays clear so that identifiers are positive Longs. Serials come from one
// process-wide counter per kind: a closed handle's value comes back only after 2^28 - 1
// further handles of its kind have been made, on any thread, so a stale identifier stays
// stale for any realistic life and a handle of one thread is never found in another
// thread's table. Lookups are O(1). 0 is never a valid handle.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <typeinfo>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lumtwainpro/export.h"

LUM_BEGIN_EXPORTS

namespace platform {

enum class HandleKind : uint32_t {
    Image = 1,
    Global = 2,
    GdiObject = 3,
    DeviceContext = 4,
    Window = 5,
    Internet = 6,
    Graphics = 7,
};
constexpr size_t kHandleKinds = 8;
constexpr uint32_t kSerialMask = 0x0FFFFFFFu;

constexpr HandleKind kind_of(uint32_t handle) {
    return HandleKind((handle >> 28) & 7u);
}

// The next serial of `kind` tagged with it; never 0, never with bit 31 set.
uint32_t next_handle_value(HandleKind kind);

class HandleTableBase {
public:
    virtual ~HandleTableBase() = default;
};

template <class T>
class HandleTable final : public HandleTableBase {
public:
    explicit HandleTable(HandleKind kind) : m_kind(kind) {}
    HandleTable(const HandleTable&) = delete;
    HandleTable& operator=(const HandleTable&) = delete;
    // Values are destroyed newest first: a later object may depend on an earlier one.
    ~HandleTable() override {
        std::vector<uint32_t> handles = ordered();
        for (auto it = handles.rbegin(); it != handles.rend(); ++it) take(*it);
    }

    // Takes ownership; 0 when no handle value is free (never in practice) or memory ran out.
    uint32_t insert(std::unique_ptr<T> value) noexcept {
        if (!value) return 0;
        try {
            for (int attempt = 0; attempt < 64; ++attempt) {
                uint32_t h = next_handle_value(m_kind);
                if (m_entries.count(h)) continue;  // after the serial wrapped: still in use here
                m_entries.emplace(h, Entry{std::move(value), m_next_order++});
                return h;
            }
        } catch (const std::bad_alloc&) {
        }
        return 0;
    }

    T* find(uint32_t handle) const noexcept {
        if (handle == 0 || kind_of(handle) != m_kind) return nullptr;
        auto it = m_entries.find(handle);
        return it == m_entries.end() ? nullptr : it->second.value.get();
    }

    // Removes and returns the value; null for an unknown or stale handle.
    std::unique_ptr<T> take(uint32_t handle) noexcept {
        if (handle == 0 || kind_of(handle) != m_kind) return nullptr;
        auto it = m_entries.find(handle);
        if (it == m_entries.end()) return nullptr;
        std::unique_ptr<T> value = std::move(it->second.value);
        m_entries.erase(it);
        return value;
    }

    bool erase(uint32_t handle) noexcept { return take(handle) != nullptr; }
    size_t size() const noexcept { return m_entries.size(); }

    // Handles in the order they were made.
    std::vector<uint32_t> ordered() const {
        std::vector<std::pair<uint64_t, uint32_t>> v;
        v.reserve(m_entries.size());
        for (const auto& [h, e] : m_entries) v.emplace_back(e.order, h);
        std::sort(v.begin(), v.end());
        std::vector<uint32_t> out;
        out.reserve(v.size());
        for (const auto& p : v) out.push_back(p.second);
        return out;
    }

private:
    struct Entry {
        std::unique_ptr<T> value;
        uint64_t order;
    };
    HandleKind m_kind;
    std::unordered_map<uint32_t, Entry> m_entries;
    uint64_t m_next_order = 0;
};

// Work that another thread hands to the owner of an object (the release of a block that
// belongs to this thread's tables). Posting after the owner thread ended does nothing: what
// the work would release was released with the owner's context.
class Mailbox {
public:
    // False when the owner is gone.
    bool post(std::function<void()> work);
    // Runs what was posted; called by the owner thread only.
    void drain();
    void close();
    bool pending() const { return m_pending.load(std::memory_order_acquire); }

private:
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_work;
    bool m_closed = false;
    std::atomic<bool> m_pending{false};
};

class ThreadContext {
public:
    // The calling thread's context; runs work posted by other threads first.
    static ThreadContext& current();

    template <class T>
    HandleTable<T>& table(HandleKind kind) {
        auto& slot = m_tables[size_t(kind)];
        if (!slot) {
            slot = std::make_unique<HandleTable<T>>(kind);
            m_types[size_t(kind)] = &typeid(T);
        }
        // One value type per kind; a mismatch is a programming error caught here.
        if (*m_types[size_t(kind)] != typeid(T)) std::terminate();
        return static_cast<HandleTable<T>&>(*slot);
    }

    const std::shared_ptr<Mailbox>& mailbox() const { return m_mailbox; }
    bool is_current() const { return std::this_thread::get_id() == m_owner; }

    ThreadContext();
    ~ThreadContext();
    ThreadContext(const ThreadContext&) = delete;
    ThreadContext& operator=(const ThreadContext&) = delete;

private:
    std::unique_ptr<HandleTableBase> m_tables[kHandleKinds];
    const std::type_info* m_types[kHandleKinds] = {};
    std::shared_ptr<Mailbox> m_mailbox;
    std::thread::id m_owner;
};

// The thread whose tables hold an object's handles. A reference-counted object may be
// released on any thread; what it frees is freed on its owner thread (at that thread's next
// use of its context), or was freed already when that thread ended.
class OwnerThread {
public:
    OwnerThread();
    bool is_current() const { return std::this_thread::get_id() == m_id; }
    void run(std::function<void()> work) const {
        if (is_current()) work();
        else m_mailbox->post(std::move(work));
    }

private:
    std::shared_ptr<Mailbox> m_mailbox;
    std::thread::id m_id;
};

// The calling thread's table of `kind`.
template <class T>
HandleTable<T>& thread_table(HandleKind kind) {
    return ThreadContext::current().table<T>(kind);
}

}  // namespace platform

LUM_END_EXPORTS
