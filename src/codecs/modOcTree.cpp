#include "codecs/modOcTree.h"

#include <algorithm>

namespace modOcTree {
namespace {

// The child of a colour at `level` (1..8): red, green and blue bits of that level's mask.
inline int child_index(uint8_t blue, uint8_t green, uint8_t red, int level) {
    const int s = 8 - level;
    return ((red >> s) & 1) << 2 | ((green >> s) & 1) << 1 | ((blue >> s) & 1);
}

}  // namespace

void Octree::reset() {
    m_links.clear();
    m_nodes.clear();
    m_links.reserve(1024);
    m_nodes.reserve(1024);
    m_links.resize(2, Links{});  // no node, root
    m_nodes.resize(2);
    m_free = kNone;
    m_leaves = 0;
    m_reducible.fill(kNone);
    m_palette.clear();
    m_index.clear();
    m_palette_count = -1;
    m_last_leaf = kNone;
    m_last_color = 0xFFFFFFFFu;
    m_cache.assign(size_t(1) << (3 * kCachedLevels), CacheEntry{});
    m_generation = 1;
    m_map.clear();
}

// A node linked in as child `slot` of `parent`. An inner node goes on the front of its level's
// reducible list at once: the pixel that makes it passes through it next.
uint32_t Octree::new_node(uint32_t parent, int slot, int level) {
    uint32_t n;
    if (m_free != kNone) {
        n = m_free;
        m_free = m_nodes[n].next;
        m_links[n] = Links{};
        m_nodes[n] = Node{};
    } else {
        n = uint32_t(m_nodes.size());
        m_links.emplace_back();
        m_nodes.emplace_back();
    }
    m_nodes[n].parent = parent;
    m_nodes[n].slot = uint8_t(slot);
    const bool leaf = level == m_leaf_level;
    m_links[parent][size_t(slot)] = n | (leaf ? kLeaf : 0);
    if (!leaf) {
        m_nodes[n].next = m_reducible[size_t(level)];
        m_reducible[size_t(level)] = n;
    }
    return n;
}

void Octree::add_color(uint8_t blue, uint8_t green, uint8_t red) {
    const uint32_t color = uint32_t(blue) | uint32_t(green) << 8 | uint32_t(red) << 16;
    uint32_t node = 1;
    // A repeated colour ends in the same leaf, and adds nothing else, until a merge.
    if (color == m_last_color && m_last_leaf != kNone) {
        node = m_last_leaf;
    } else {
        CacheEntry& cached = m_cache[cache_key(blue, green, red)];
        int level = 1;
        uint32_t link = kNone;
        if (cached.generation == m_generation && cached.link != kNone) {
            link = cached.link;
            node = link & ~kLeaf;
            level = kCachedLevels + 1;
        }
        for (; !(link & kLeaf); ++level) {
            const int c = child_index(blue, green, red, level);
            link = m_links[node][size_t(c)];
            if (link == kNone) {
                new_node(node, c, level);
                link = m_links[node][size_t(c)];
            }
            node = link & ~kLeaf;
            if (level == kCachedLevels || (level < kCachedLevels && (link & kLeaf)))
                cached = {link, m_generation};
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

// Merges the children of the node added last to the deepest list into it. Its children are
// all leaves: every deeper inner node was merged before.
bool Octree::reduce() {
    int level = m_leaf_level;
    while (level >= 1 && m_reducible[size_t(level)] == kNone) --level;
    if (level < 1) return false;
    const uint32_t n = m_reducible[size_t(level)];
    m_reducible[size_t(level)] = m_nodes[n].next;
    if (level <= kCachedLevels) ++m_generation;  // cached paths may end in freed nodes
    uint64_t sums[3] = {}, count = 0;
    uint32_t removed = 0;
    for (uint32_t& link : m_links[n]) {
        if (link == kNone) continue;
        const uint32_t child = link & ~kLeaf;
        Node& c = m_nodes[child];
        for (int k = 0; k < 3; ++k) sums[k] += c.sums[k];
        count += c.count;
        c.next = m_free;
        m_free = child;
        link = kNone;
        ++removed;
    }
    Node& node = m_nodes[n];
    m_leaves = m_leaves - removed + 1;
    node.count = uint32_t(count);
    std::copy(sums, sums + 3, node.sums);
    m_links[node.parent][node.slot] |= kLeaf;
    m_last_leaf = kNone;
    return true;
}

void Octree::fill_palette(uint32_t n) {
    for (uint32_t link : m_links[n]) {
        if (link == kNone) continue;
        const uint32_t child = link & ~kLeaf;
        if (!(link & kLeaf)) {
            fill_palette(child);
            continue;
        }
        const uint32_t index = uint32_t(++m_palette_count);
        m_index[child] = uint8_t(index);
        const Node& leaf = m_nodes[child];
        if (index < m_palette.size() && leaf.count) {
            m_palette[index] = {uint8_t(leaf.sums[2] / leaf.count),
                                uint8_t(leaf.sums[1] / leaf.count),
                                uint8_t(leaf.sums[0] / leaf.count), 0};
        }
    }
}

void Octree::BuildOctree(int32_t row_bytes, int32_t height, int32_t padding, const uint8_t* pixels,
                         int32_t budget, int32_t leaf_level) {
    reset();
    m_leaf_level = std::clamp(leaf_level, 1, kLevels);
    const uint32_t limit = uint32_t(std::max(budget, 1));
    const int32_t width = row_bytes > padding && padding >= 0 ? (row_bytes - padding) / 3 : 0;
    if (pixels && width > 0 && height > 0) {
        for (int32_t y = height - 1; y >= 0; --y) {
            const uint8_t* row = pixels + size_t(y) * size_t(row_bytes);
            for (int32_t x = width - 1; x >= 0; --x) {
                const uint8_t* p = row + 3 * size_t(x);
                add_color(p[0], p[1], p[2]);
                while (m_leaves > limit && reduce()) {
                }
            }
        }
    }
    m_palette.assign(m_leaves <= 16 ? 16 : 256, {0, 0, 0, 0});
    m_index.assign(m_nodes.size(), 0);
    if (m_leaves > 0) fill_palette(1);
    m_palette_count = std::min<int32_t>(m_palette_count, int32_t(m_palette.size()) - 1);
    m_cache = {};
    fill_map_table();
}

void Octree::fill_map_table() {
    constexpr int s = 8 - kCachedLevels;
    const int levels = std::min(kCachedLevels, m_leaf_level);
    m_map.assign(size_t(1) << (3 * kCachedLevels), kNone);
    for (size_t key = 0; key < m_map.size(); ++key) {
        const uint8_t red = uint8_t((key >> (2 * kCachedLevels)) << s);
        const uint8_t green = uint8_t(((key >> kCachedLevels) & ((1u << kCachedLevels) - 1)) << s);
        const uint8_t blue = uint8_t((key & ((1u << kCachedLevels) - 1)) << s);
        uint32_t node = 1, link = kNone;
        for (int level = 1; level <= levels; ++level) {
            link = m_links[node][size_t(child_index(blue, green, red, level))];
            if (link == kNone || (link & kLeaf)) break;
            node = link;
        }
        m_map[key] = link;
    }
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
    if (m_map.empty() || m_index.empty()) return 0;
    uint32_t link = m_map[cache_key(blue, green, red)];
    for (int level = kCachedLevels + 1;; ++level) {
        if (link == kNone) return nearest(blue, green, red);
        if (link & kLeaf) return m_index[link & ~kLeaf];
        if (level > m_leaf_level) return nearest(blue, green, red);
        link = m_links[link][size_t(child_index(blue, green, red, level))];
    }
}

}  // namespace modOcTree
