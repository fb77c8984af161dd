#include "wire.h"

#include <errno.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

namespace lumtwain::wire {

void Writer::raw(const void* p, size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    m_bytes.insert(m_bytes.end(), b, b + n);
}

void Writer::text(const std::string& s) {
    size_t n = std::min<size_t>(s.size(), kMaxText);
    u32(uint32_t(n));
    raw(s.data(), n);
}

bool Reader::raw(void* p, size_t n) {
    if (!m_ok || m_size - m_pos < n) return m_ok = false;
    std::memcpy(p, m_data + m_pos, n);
    m_pos += n;
    return true;
}

uint32_t Reader::u32() {
    uint32_t v = 0;
    return raw(&v, sizeof v) ? v : 0;
}

int32_t Reader::i32() {
    int32_t v = 0;
    return raw(&v, sizeof v) ? v : 0;
}

double Reader::f64() {
    double v = 0;
    if (!raw(&v, sizeof v)) return 0;
    if (!std::isfinite(v)) return m_ok = false, 0;
    return v;
}

bool Reader::flag() {
    uint32_t v = u32();
    if (v > 1) m_ok = false;
    return m_ok && v == 1;
}

std::string Reader::text() {
    uint32_t n = u32();
    if (!m_ok || n > kMaxText || m_size - m_pos < n) return m_ok = false, std::string();
    std::string s(reinterpret_cast<const char*>(m_data + m_pos), n);
    m_pos += n;
    return s;
}

uint32_t Reader::count(size_t min_item_bytes) {
    uint32_t n = u32();
    if (!m_ok || n > kMaxItems || (min_item_bytes && (m_size - m_pos) / min_item_bytes < n))
        return m_ok = false, 0;
    return n;
}

bool DecodeMessage(const uint8_t* data, size_t size, Message* out) {
    Reader r(data, size);
    uint32_t kind = r.u32();
    out->seq = r.u32();
    if (!r.ok() || kind < uint32_t(Kind::Hello) || kind > uint32_t(Kind::Reply)) return false;
    out->kind = Kind(kind);
    out->body.assign(data + 8, data + size);
    return true;
}

std::vector<uint8_t> EncodeMessage(const Message& m) {
    Writer w;
    w.u32(uint32_t(m.kind));
    w.u32(m.seq);
    std::vector<uint8_t> out = w.take();
    out.insert(out.end(), m.body.begin(), m.body.end());
    return out;
}

void UniqueFd::reset(int fd) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
}

bool Send(int socket, const Message& m, int fd) {
    std::vector<uint8_t> bytes = EncodeMessage(m);
    if (bytes.size() > kMaxMessageBytes) return false;
    iovec iov{bytes.data(), bytes.size()};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&msg);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &fd, sizeof fd);
    }
    ssize_t n;
    do n = ::sendmsg(socket, &msg, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n == ssize_t(bytes.size());
}

namespace {

// Takes every descriptor the packet carried, keeping the first and closing the others.
void take_descriptors(msghdr* msg, UniqueFd* fd) {
    for (cmsghdr* c = CMSG_FIRSTHDR(msg); c; c = CMSG_NXTHDR(msg, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS) continue;
        size_t n = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < n; ++i) {
            int d;
            std::memcpy(&d, CMSG_DATA(c) + i * sizeof(int), sizeof d);
            if (fd && !*fd)
                fd->reset(d);
            else
                ::close(d);
        }
    }
}

}  // namespace

bool Receive(int socket, Message* m, UniqueFd* fd) {
    std::vector<uint8_t> buf(kMaxMessageBytes + 1);
    iovec iov{buf.data(), buf.size()};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))];
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    if (fd) fd->reset();
    ssize_t n;
    do n = ::recvmsg(socket, &msg, MSG_CMSG_CLOEXEC);
    while (n < 0 && errno == EINTR);
    if (n <= 0) return false;
    take_descriptors(&msg, fd);
    if ((msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || size_t(n) > kMaxMessageBytes) {
        if (fd) fd->reset();
        return false;
    }
    return DecodeMessage(buf.data(), size_t(n), m);
}

}  // namespace lumtwain::wire
