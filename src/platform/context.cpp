#include "platform/context.h"

namespace platform {

uint32_t next_handle_value(HandleKind kind) {
    static std::atomic<uint32_t> serials[kHandleKinds];
    for (;;) {
        uint32_t serial = serials[size_t(kind)].fetch_add(1, std::memory_order_relaxed) & kSerialMask;
        if (serial != 0) return (uint32_t(kind) << 28) | serial;
    }
}

bool Mailbox::post(std::function<void()> work) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_closed) return false;
    m_work.push_back(std::move(work));
    m_pending.store(true, std::memory_order_release);
    return true;
}

void Mailbox::drain() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        work.swap(m_work);
        m_pending.store(false, std::memory_order_release);
    }
    for (auto& w : work) w();
}

void Mailbox::close() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_closed = true;
    m_work.clear();
    m_pending.store(false, std::memory_order_release);
}

ThreadContext::ThreadContext()
    : m_mailbox(std::make_shared<Mailbox>()), m_owner(std::this_thread::get_id()) {}

ThreadContext::~ThreadContext() {
    m_mailbox->drain();
    m_mailbox->close();
    // Dependants before what they depend on: drawing targets before the windows and DCs that
    // show them, images before the global blocks and GDI bitmaps their pixels may live in.
    for (HandleKind k : {HandleKind::Graphics, HandleKind::Internet, HandleKind::Window,
                         HandleKind::DeviceContext, HandleKind::Image, HandleKind::GdiObject,
                         HandleKind::Global})
        m_tables[size_t(k)].reset();
}

OwnerThread::OwnerThread()
    : m_mailbox(ThreadContext::current().mailbox()), m_id(std::this_thread::get_id()) {}

ThreadContext& ThreadContext::current() {
    thread_local ThreadContext context;
    if (context.m_mailbox->pending()) context.m_mailbox->drain();
    return context;
}

}  // namespace platform
