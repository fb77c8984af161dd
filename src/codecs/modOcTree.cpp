#include "codecs/modOcTree.h"

#include <algorithm>

namespace modOcTree {
namespace {

constexpr uint8_t kMask[9] = {0, 128, 64, 32, 16, 8, 4, 2, 1};

int child_index(uint8_t blue, uint8_t green, uint8_t red, int level) {
    uint8_t m = kMask[level];
    return ((red & m) ? 4 : 0) | ((green & m) ? 2 : 0) | ((blue & m) ? 1 : 0);
}

}  // namespace

void Octree::reset() {
    m_nodes.clear();
    m_nodes.reserve(1024);
    m_nodes.resize(2);  // no node, root
    m_free = kNone;
    m_leaves = 0;
    m_reducible.fill(kNone);
    m_palette.clear();
    m_palette_count = -1;
    m_last_leaf = kNone;
    m_last_color = 0xFFFFFFFFu;
}

uint32_t Octree::new_node(int level) {
    uint32_t n;
    if (m_free != kNone) {
        n = m_free;
        m_free = m_nodes[n].next;
    } else {
        if (m_nodes.size() == m_nodes.capacity()) m_nodes.reserve(m_nodes.size() + 1024);
        n = uint32_t(m_nodes.size());
        m_nodes.emplace_back();
    }
    m_nodes[n] = Node{};
    m_nodes[n].leaf = level == m_leaf_level;
    return n;
}

void Octree::add_color(uint8_t blue, uint8_t green, uint8_t red) {
    uint32_t color = uint32_t(blue) | uint32_t(green) << 8 | uint32_t(red) << 16;
    uint32_t node = 1;
    // A repeated colour ends in the same leaf, and adds nothing else, until a merge.
    if (color == m_last_color && m_last_leaf != kNone) {
        node = m_last_leaf;
    } else {
        for (int level = 1;; ++level) {
            int c = child_index(blue, green, red, level);
            uint32_t child = m_nodes[node].children[c];
            if (child == kNone) {
                child = new_node(level);  // may move the pool: index again below
                m_nodes[node].children[c] = child;
                ++m_nodes[node].count;
            }
            if (m_nodes[child].leaf) {
                node = child;
                break;
            }
            Node& inner = m_nodes[child];
            if (!inner.in_list) {
                inner.in_list = true;
                inner.next = m_reducible[size_t(level)];
                m_reducible[size_t(level)] = child;
            }
            node = child;
        }
    }
    Node& leaf = m_nodes[node];
    if (leaf.count == 0) ++m_leaves;
    ++leaf.count;
    leaf.sums[0] += blue;
    leaf.sums[1] += green;
    leaf.sums[2] += red;
    m_last_leaf = node;
    m_last_color = color;
}

bool Octree::reduce() {
    int level = m_leaf_level;
    while (level >= 1 && m_reducible[size_t(level)] == kNone) --level;
    if (level < 1) return false;
    uint32_t n = m_reducible[size_t(level)];
    m_reducible[size_t(level)] = m_nodes[n].next;
    uint64_t sums[3] = {}, count = 0, removed = 0;
    for (uint32_t& child : m_nodes[n].children) {
        if (child == kNone) continue;
        Node& c = m_nodes[child];
        for (int k = 0; k < 3; ++k) sums[k] += c.sums[k];
        count += c.count;
        c.next = m_free;
        m_free = child;
        child = kNone;
        ++removed;
    }
    Node& node = m_nodes[n];
    m_leaves = m_leaves - uint32_t(removed) + 1;
    node.leaf = true;
    node.count = uint32_t(count);
    std::copy(sums, sums + 3, node.sums);
    m_last_leaf = kNone;
    return true;
}

void Octree::fill_palette(uint32_t n) {
    const Node& node = m_nodes[n];
    if (node.leaf) {
        uint32_t index = uint32_t(++m_palette_count);
        m_nodes[n].palette_index = index;
        if (index < m_palette.size() && node.count) {
            m_palette[index] = {uint8_t(node.sums[2] / node.count),
                                uint8_t(node.sums[1] / node.count),
                                uint8_t(node.sums[0] / node.count), 0};
        }
        return;
    }
    for (uint32_t child : node.children)
        if (child != kNone) fill_palette(child);
}

void Octree::BuildOctree(int32_t row_bytes, int32_t height, int32_t padding,
                         const uint8_t* pixels, int32_t budget, int32_t leaf_level) {
    reset();
    m_leaf_level = std::clamp(leaf_level, 1, kLevels);
    const int32_t width = row_bytes > padding && padding >= 0 ? (row_bytes - padding) / 3 : 0;
    if (pixels && width > 0 && height > 0) {
        for (int32_t y = height - 1; y >= 0; --y) {
            const uint8_t* row = pixels + size_t(y) * size_t(row_bytes);
            for (int32_t x = width - 1; x >= 0; --x) {
                const uint8_t* p = row + 3 * size_t(x);
                add_color(p[0], p[1], p[2]);
                while (m_leaves > uint32_t(std::max(budget, 1)) && reduce()) {
                }
            }
        }
    }
    m_palette.assign(m_leaves <= 16 ? 16 : 256, {0, 0, 0, 0});
    if (m_leaves > 0) fill_palette(1);
    m_palette_count = std::min<int32_t>(m_palette_count, int32_t(m_palette.size()) - 1);
}

void Octree::GetPaletteColor(int32_t index, uint8_t& red, uint8_t& green, uint8_t& blue) const {
    red = green = blue = 0;
    if (index < 0 || size_t(index) >= m_palette.size()) return;
    red = m_palette[size_t(index)][0];
    green = m_palette[size_t(index)][1];
    blue = m_palette[size_t(index)][2];
}

uint8_t Octree::nearest(uint8_t blue, uint8_t green, uint8_t red) const {
    uint32_t best = 0, best_d = UINT32_MAX;
    for (int32_t i = 0; i <= m_palette_count; ++i) {
        const auto& e = m_palette[size_t(i)];
        int dr = int(e[0]) - red, dg = int(e[1]) - green, db = int(e[2]) - blue;
        uint32_t d = uint32_t(dr * dr + dg * dg + db * db);
        if (d < best_d) best = uint32_t(i), best_d = d;
    }
    return uint8_t(best);
}

uint8_t Octree::MapColor(uint8_t blue, uint8_t green, uint8_t red) const {
    if (m_nodes.size() < 2) return 0;
    uint32_t node = 1;
    for (int level = 1; level <= m_leaf_level; ++level) {
        uint32_t child = m_nodes[node].children[child_index(blue, green, red, level)];
        if (child == kNone) return nearest(blue, green, red);
        if (m_nodes[child].leaf) return uint8_t(m_nodes[child].palette_index);
        node = child;
    }
    return nearest(blue, green, red);
}

}  // namespace modOcTree
