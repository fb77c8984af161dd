// 32-bit handle tables shared by the stand-ins.
//
// A handle is a slot-map key: bits 0..19 hold the slot index plus one, bits 20..27 a
// generation and bits 28..30 a per-table tag, so a stale handle, or a handle of another
// kind, is found out instead of reaching freed memory. 0 is never a valid handle.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace platform {

enum class HandleKind : uint32_t {
    Image = 1,
    Global = 2,
    GdiObject = 3,
    DeviceContext = 4,
    Window = 5,
    Internet = 6,
    Other = 7,
};

template <class T>
class HandleTable {
public:
    explicit HandleTable(HandleKind kind) : m_tag(static_cast<uint32_t>(kind) << 28) {}

    // Takes ownership; returns 0 when the table is full.
    uint32_t insert(std::unique_ptr<T> value) {
        uint32_t index;
        if (!m_free.empty()) {
            index = m_free.back();
            m_free.pop_back();
        } else {
            if (m_slots.size() >= kMaxSlots) return 0;
            index = static_cast<uint32_t>(m_slots.size());
            m_slots.emplace_back();
        }
        Slot& slot = m_slots[index];
        slot.value = std::move(value);
        ++m_live;
        return m_tag | (uint32_t(slot.generation) << 20) | (index + 1);
    }

    T* find(uint32_t handle) const {
        const Slot* slot = slot_of(handle);
        return slot ? slot->value.get() : nullptr;
    }

    // Removes and returns the value; null for an unknown or stale handle.
    std::unique_ptr<T> take(uint32_t handle) {
        Slot* slot = const_cast<Slot*>(slot_of(handle));
        if (!slot) return nullptr;
        std::unique_ptr<T> value = std::move(slot->value);
        slot->generation = uint8_t(slot->generation + 1);
        m_free.push_back((handle & kIndexMask) - 1);
        --m_live;
        return value;
    }

    bool erase(uint32_t handle) { return take(handle) != nullptr; }
    size_t size() const { return m_live; }

    template <class F>
    void for_each(F&& f) const {
        for (size_t i = 0; i < m_slots.size(); ++i)
            if (m_slots[i].value)
                f(m_tag | (uint32_t(m_slots[i].generation) << 20) | uint32_t(i + 1),
                  *m_slots[i].value);
    }

private:
    static constexpr uint32_t kIndexMask = 0xFFFFF;
    static constexpr size_t kMaxSlots = kIndexMask - 1;

    struct Slot {
        std::unique_ptr<T> value;
        uint8_t generation = 1;
    };

    const Slot* slot_of(uint32_t handle) const {
        if ((handle & 0x70000000u) != m_tag) return nullptr;
        uint32_t index = handle & kIndexMask;
        if (index == 0 || index > m_slots.size()) return nullptr;
        const Slot& slot = m_slots[index - 1];
        if (!slot.value || slot.generation != ((handle >> 20) & 0xFF)) return nullptr;
        return &slot;
    }

    uint32_t m_tag;
    std::vector<Slot> m_slots;
    std::vector<uint32_t> m_free;
    size_t m_live = 0;
};

}  // namespace platform
