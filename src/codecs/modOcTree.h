// The octree colour quantiser: the colours of a 24-bit pixel buffer are added to an eight-level
// tree that is merged down to a colour budget as it grows; its leaves become the palette, and
// every colour of the buffer maps to a leaf.
//
// One Octree object holds what was the module's state, so that two threads (or two saves) can
// quantise at once.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace modOcTree {

class Octree {
  public:
    // Builds the tree and the palette from `height` rows of `row_bytes` bytes each (padded;
    // the last `padding` bytes of a row are not pixels), 3 bytes per pixel (blue, green, red),
    // keeping at most `budget` colours. `leaf_level` is 8. Rows are read from the last to the
    // first, and each row from its last pixel to its first.
    void BuildOctree(int32_t row_bytes, int32_t height, int32_t padding, const uint8_t* pixels,
                     int32_t budget, int32_t leaf_level = 8);
    // The index of the last palette entry filled (the number of colours - 1); -1 before a build.
    int32_t GetPaletteCount() const { return m_palette_count; }
    // Red, green and blue of entry `index` (0 outside the palette).
    void GetPaletteColor(int32_t index, uint8_t& red, uint8_t& green, uint8_t& blue) const;
    // The palette index of a colour of the build. A colour that was not part of it maps to the
    // nearest palette colour.
    uint8_t MapColor(uint8_t blue, uint8_t green, uint8_t red) const;

    // 16 entries when there are at most 16 leaves, else 256 (entries past the count are 0).
    size_t palette_size() const { return m_palette.size(); }

  private:
    static constexpr uint32_t kNone = 0;
    static constexpr uint32_t kLeaf = 0x80000000u;  // in a child link: that child is a leaf
    static constexpr int kLevels = 8;

    // Nodes are split in two arrays indexed alike: the child links every pixel walks through
    // (32 bytes, two nodes to a cache line), and the rest.
    using Links = std::array<uint32_t, 8>;  // node index | kLeaf, kNone for no child
    struct Node {
        uint64_t sums[3] = {};  // blue, green, red (leaves)
        uint32_t count = 0;     // leaves: pixels merged into the node
        uint32_t next = kNone;  // next on its reducible list, or on the free list
        uint32_t parent = kNone;
        uint8_t slot = 0;  // which child of the parent
    };

    // The first kCachedLevels levels of a colour's path, by the colour's top bits: the link
    // reached there (a leaf, or the inner node to walk on from). While building, an entry is
    // good until a node of those levels is merged (`m_generation` changes); paths only grow
    // otherwise.
    static constexpr int kCachedLevels = 5;
    struct CacheEntry {
        uint32_t link = kNone;
        uint32_t generation = 0;
    };
    static size_t cache_key(uint8_t blue, uint8_t green, uint8_t red) {
        constexpr int s = 8 - kCachedLevels;
        return size_t(red >> s) << (2 * kCachedLevels) | size_t(green >> s) << kCachedLevels |
               size_t(blue >> s);
    }
    void fill_map_table();

    void reset();
    uint32_t new_node(uint32_t parent, int slot, int level);
    void add_color(uint8_t blue, uint8_t green, uint8_t red);
    bool reduce();
    void fill_palette(uint32_t node);
    uint8_t nearest(uint8_t blue, uint8_t green, uint8_t red) const;

    std::vector<Links> m_links;  // index 0 is "no node"; the root is 1
    std::vector<Node> m_nodes;
    std::vector<uint8_t> m_index;  // palette index of each leaf
    uint32_t m_free = kNone;
    uint32_t m_leaves = 0;
    int m_leaf_level = kLevels;
    std::array<uint32_t, kLevels + 1> m_reducible{};  // heads by level, 1..8
    std::vector<std::array<uint8_t, 4>> m_palette;    // red, green, blue, 0
    int32_t m_palette_count = -1;
    uint32_t m_last_leaf = kNone;  // the leaf of the previous pixel, while no merge happened
    uint32_t m_last_color = 0xFFFFFFFFu;
    std::vector<CacheEntry> m_cache;  // while building
    uint32_t m_generation = 1;
    std::vector<uint32_t> m_map;  // after building: the link at level kCachedLevels
};

}  // namespace modOcTree
