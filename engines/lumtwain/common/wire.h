// The byte format of the messages between the engine and its SANE worker, and their transport
// over a SOCK_SEQPACKET socket (one message per packet, at most one file descriptor with it).
//
// Every message: u32 kind, u32 sequence number, then its body. Numbers are little-endian as
// the host stores them (both ends run on the same machine); texts and lists carry a u32
// length first. A Reader never trusts the bytes: the first bad length or short read fails it,
// and it stays failed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lumtwain::wire {

constexpr size_t kMaxMessageBytes = 64 * 1024;
constexpr uint32_t kMaxText = 4096;
constexpr uint32_t kMaxItems = 4096;

class Writer {
  public:
    void u32(uint32_t v) { raw(&v, sizeof v); }
    void i32(int32_t v) { raw(&v, sizeof v); }
    void f64(double v) { raw(&v, sizeof v); }
    void flag(bool v) { u32(v ? 1 : 0); }
    void text(const std::string& s);
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    std::vector<uint8_t> take() { return std::move(m_bytes); }

  private:
    void raw(const void* p, size_t n);
    std::vector<uint8_t> m_bytes;
};

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit Reader(const std::vector<uint8_t>& v) : Reader(v.data(), v.size()) {}
    uint32_t u32();
    int32_t i32();
    double f64();  // NaN and infinities are refused: they fail the reader
    bool flag();
    std::string text();
    // A count of following items, each at least `min_item_bytes` long; fails beyond kMaxItems
    // or when the rest of the message cannot hold them.
    uint32_t count(size_t min_item_bytes);
    bool ok() const { return m_ok; }
    bool at_end() const { return m_ok && m_pos == m_size; }
    void fail() { m_ok = false; }

  private:
    bool raw(void* p, size_t n);
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

enum class Kind : uint32_t {
    Hello = 1,
    ListDevices = 2,
    Open = 3,
    Scan = 4,
    EndBatch = 5,
    Close = 6,
    Exit = 7,
    Progress = 8,  // worker to engine while a scan runs: bytes read so far
    Reply = 9,
};

struct Message {
    Kind kind = Kind::Reply;
    uint32_t seq = 0;
    std::vector<uint8_t> body;
};

// Splits a packet into a message; false for a packet too short or of an unknown kind.
[[nodiscard]] bool DecodeMessage(const uint8_t* data, size_t size, Message* out);
std::vector<uint8_t> EncodeMessage(const Message& m);

// A file descriptor closed when it goes.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : m_fd(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& o) noexcept : m_fd(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    int get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }
    void reset(int fd = -1);

  private:
    int m_fd = -1;
};

// Sends one message, with `fd` attached when it is not -1. False when the peer is gone.
[[nodiscard]] bool Send(int socket, const Message& m, int fd = -1);
// Receives one message (blocking) and the descriptor sent with it, if any. False when the
// peer is gone or the packet is not a message; a packet longer than kMaxMessageBytes is refused.
[[nodiscard]] bool Receive(int socket, Message* m, UniqueFd* fd);

}  // namespace lumtwain::wire
