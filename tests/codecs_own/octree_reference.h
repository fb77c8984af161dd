// A plain octree written the way the algorithm reads (records in a pool, one recursive add per
// pixel, reduction after each), the reference the library's faster tree is compared with.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace owntest {

class ReferenceOctree {
  public:
    void Build(int32_t row_bytes, int32_t height, int32_t padding, const uint8_t* px,
               int32_t budget) {
        m_nodes.assign(2, Node{});
        m_leaves = 0;
        m_lists.fill(0);
        m_free = 0;
        const int32_t width = (row_bytes - padding) / 3;
        for (int32_t y = height - 1; y >= 0; --y)
            for (int32_t x = width - 1; x >= 0; --x) {
                const uint8_t* p = px + size_t(y) * size_t(row_bytes) + 3 * size_t(x);
                add(1, 1, p[0], p[1], p[2]);
                while (m_leaves > uint32_t(budget) && reduce()) {
                }
            }
        palette.assign(m_leaves <= 16 ? 16 : 256, {0, 0, 0});
        count = 0;
        walk(1);
    }
    uint8_t Map(uint8_t b, uint8_t g, uint8_t r) const {
        uint32_t n = 1;
        for (int level = 1; level <= 8; ++level) {
            n = m_nodes[n].child[index(b, g, r, level)];
            if (m_nodes[n].leaf) return uint8_t(m_nodes[n].palette_index);
        }
        return 0;
    }

    std::vector<std::array<uint8_t, 3>> palette;  // red, green, blue
    int32_t count = 0;                            // entries filled

  private:
    struct Node {
        bool leaf = false, listed = false;
        uint32_t pixels = 0;
        double sums[3] = {};  // blue, green, red
        uint32_t child[8] = {};
        uint32_t next = 0, palette_index = 0;
    };
    static int index(uint8_t b, uint8_t g, uint8_t r, int level) {
        const uint8_t m = uint8_t(0x80 >> (level - 1));
        return (r & m ? 4 : 0) + (g & m ? 2 : 0) + (b & m ? 1 : 0);
    }
    uint32_t take() {
        if (m_free) {
            uint32_t n = m_free;
            m_free = m_nodes[n].next;
            m_nodes[n] = Node{};
            return n;
        }
        m_nodes.emplace_back();
        return uint32_t(m_nodes.size() - 1);
    }
    void add(uint32_t node, int level, uint8_t b, uint8_t g, uint8_t r) {
        const int c = index(b, g, r, level);
        if (!m_nodes[node].child[c]) {
            uint32_t n = take();
            m_nodes[n].leaf = level == 8;
            m_nodes[node].child[c] = n;
            ++m_nodes[node].pixels;
        }
        const uint32_t child = m_nodes[node].child[c];
        Node& k = m_nodes[child];
        if (k.leaf) {
            if (k.pixels == 0) ++m_leaves;
            ++k.pixels;
            k.sums[0] += b, k.sums[1] += g, k.sums[2] += r;
            return;
        }
        if (!k.listed) {
            k.listed = true;
            k.next = m_lists[size_t(level)];
            m_lists[size_t(level)] = child;
        }
        add(child, level + 1, b, g, r);
    }
    bool reduce() {
        int level = 8;
        while (level >= 1 && !m_lists[size_t(level)]) --level;
        if (level < 1) return false;
        const uint32_t n = m_lists[size_t(level)];
        m_lists[size_t(level)] = m_nodes[n].next;
        double sums[3] = {};
        uint32_t pixels = 0, removed = 0;
        for (uint32_t& c : m_nodes[n].child) {
            if (!c) continue;
            for (int k = 0; k < 3; ++k) sums[k] += double(int64_t(m_nodes[c].sums[k]));
            pixels += m_nodes[c].pixels;
            m_nodes[c].next = m_free;
            m_free = c;
            c = 0;
            ++removed;
        }
        m_leaves = m_leaves - removed + 1;
        Node& node = m_nodes[n];
        node.leaf = true;
        node.pixels = pixels;
        for (int k = 0; k < 3; ++k) node.sums[k] = sums[k];
        return true;
    }
    void walk(uint32_t n) {
        Node& node = m_nodes[n];
        if (node.leaf) {
            node.palette_index = uint32_t(count);
            if (size_t(count) < palette.size())
                palette[size_t(count)] = {uint8_t(node.sums[2] / node.pixels),
                                          uint8_t(node.sums[1] / node.pixels),
                                          uint8_t(node.sums[0] / node.pixels)};
            ++count;
            return;
        }
        for (uint32_t c : node.child)
            if (c) walk(c);
    }

    std::vector<Node> m_nodes;
    uint32_t m_leaves = 0, m_free = 0;
    std::array<uint32_t, 9> m_lists{};
};

}  // namespace owntest
