// The octree quantiser: which colours merge first, and two trees built at once.
#include <thread>

#include "codecs/modOcTree.h"
#include "octree_reference.h"
#include "own_fixture.h"

using namespace owntest;

namespace {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

// One row of pixels as blue, green, red, padded to 4 bytes.
Bytes row_of(const std::vector<Rgb>& px, int* stride) {
    *stride = int(px.size() * 3 + 3) / 4 * 4;
    Bytes b(size_t(*stride), 0);
    for (size_t i = 0; i < px.size(); ++i)
        b[3 * i] = px[i].b, b[3 * i + 1] = px[i].g, b[3 * i + 2] = px[i].r;
    return b;
}

Rgb entry(const modOcTree::Octree& t, const Rgb& c) {
    Rgb e{};
    t.GetPaletteColor(t.MapColor(c.b, c.g, c.r), e.r, e.g, e.b);
    return e;
}

}  // namespace

// Pixels are added from the last to the first: the pair added last shares the deepest parent
// pushed most recently, and is the one merged when the ninth colour arrives.
TEST(OctreeMerge, TheMostRecentDeepestParentMergesFirst) {
    const std::vector<Rgb> px = {
        {200, 40, 10}, {200, 40, 11},  // A: differ in the last bit of blue only
        {90, 90, 90},  {90, 90, 91},   // B: the same shape, added earlier
        {0, 0, 0},     {255, 0, 0},   {0, 255, 0}, {0, 0, 255}, {255, 255, 255},
    };
    int stride = 0;
    Bytes row = row_of(px, &stride);
    modOcTree::Octree tree;
    tree.BuildOctree(stride, 1, stride - int(px.size()) * 3, row.data(), 8, 8);
    EXPECT_EQ(tree.GetPaletteCount(), 7);
    EXPECT_EQ(entry(tree, px[0]), (Rgb{200, 40, 10})) << "A merged: the integer mean";
    EXPECT_EQ(tree.MapColor(10, 40, 200), tree.MapColor(11, 40, 200));
    EXPECT_EQ(entry(tree, px[2]), px[2]) << "B kept apart";
    EXPECT_EQ(entry(tree, px[3]), px[3]);
    for (size_t i = 4; i < px.size(); ++i) EXPECT_EQ(entry(tree, px[i]), px[i]);
}

TEST(OctreeMerge, LeavesNeverExceedTheBudget) {
    for (int budget : {8, 16, 17, 100, 256}) {
        Bytes rgb = random_bytes(64 * 3 * 50, uint32_t(budget));
        modOcTree::Octree tree;
        tree.BuildOctree(64 * 3, 50, 0, rgb.data(), budget, 8);
        EXPECT_LE(tree.GetPaletteCount() + 1, budget);
        EXPECT_EQ(tree.palette_size(), tree.GetPaletteCount() < 16 ? 16u : 256u);
        for (size_t i = 0; i < rgb.size(); i += 3)
            ASSERT_LE(tree.MapColor(rgb[i], rgb[i + 1], rgb[i + 2]), tree.GetPaletteCount());
    }
}

// Each tree is an object of its own: two threads building at once get what one gets.
TEST(OctreeMerge, TwoThreadsBuildAtOnce) {
    const Bytes a = random_bytes(200 * 3 * 100, 1), b = random_bytes(200 * 3 * 100, 2, 64);
    auto build = [](const Bytes& rgb) {
        modOcTree::Octree t;
        t.BuildOctree(600, 100, 0, rgb.data(), 256, 8);
        Bytes mapped;
        for (size_t i = 0; i < rgb.size(); i += 3)
            mapped.push_back(t.MapColor(rgb[i], rgb[i + 1], rgb[i + 2]));
        for (int i = 0; i <= t.GetPaletteCount(); ++i) {
            uint8_t r, g, bl;
            t.GetPaletteColor(i, r, g, bl);
            mapped.insert(mapped.end(), {r, g, bl});
        }
        return mapped;
    };
    const Bytes want_a = build(a), want_b = build(b);
    Bytes got_a, got_b;
    std::thread t1([&] { got_a = build(a); });
    std::thread t2([&] { got_b = build(b); });
    t1.join();
    t2.join();
    EXPECT_EQ(got_a, want_a);
    EXPECT_EQ(got_b, want_b);
}

// The library's tree gives the same palette and the same index for every pixel as the plain
// reference, on noise, gradients, few colours and one colour, for several budgets.
TEST(OctreeMerge, SameResultAsTheReferenceTree) {
    struct Image {
        const char* name;
        int w, h;
        Bytes rgb;
    };
    std::vector<Image> images;
    images.push_back({"noise", 97, 61, random_bytes(97 * 61 * 3, 5)});
    Bytes gradient(size_t(128 * 90 * 3));
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 128; ++x) {
            uint8_t* p = &gradient[size_t(y * 128 + x) * 3];
            p[0] = uint8_t(x * 2), p[1] = uint8_t(y * 2 + (x & 3)), p[2] = uint8_t((x * y) >> 5);
        }
    images.push_back({"gradient", 128, 90, gradient});
    images.push_back({"few", 40, 30, random_bytes(40 * 30 * 3, 6, 2)});
    images.push_back({"one", 9, 9, Bytes(9 * 9 * 3, 77)});
    for (const Image& im : images)
        for (int budget : {8, 16, 17, 64, 256}) {
            // Padded rows, the padding holding a colour no pixel has.
            const int stride = (im.w * 3 + 3) / 4 * 4;
            Bytes rows(size_t(stride * im.h), 0xEE);
            for (int y = 0; y < im.h; ++y)
                std::memcpy(&rows[size_t(y * stride)], &im.rgb[size_t(y * im.w * 3)],
                            size_t(im.w) * 3);
            modOcTree::Octree tree;
            tree.BuildOctree(stride, im.h, stride - im.w * 3, rows.data(), budget, 8);
            ReferenceOctree ref;
            ref.Build(stride, im.h, stride - im.w * 3, rows.data(), budget);
            ASSERT_EQ(tree.GetPaletteCount() + 1, ref.count) << im.name << " " << budget;
            ASSERT_EQ(tree.palette_size(), ref.palette.size());
            for (size_t i = 0; i < ref.palette.size(); ++i) {
                Rgb e{};
                tree.GetPaletteColor(int32_t(i), e.r, e.g, e.b);
                ASSERT_EQ(e, (Rgb{ref.palette[i][0], ref.palette[i][1], ref.palette[i][2]}))
                    << im.name << " " << budget << " entry " << i;
            }
            for (size_t i = 0; i < im.rgb.size(); i += 3)
                ASSERT_EQ(tree.MapColor(im.rgb[i], im.rgb[i + 1], im.rgb[i + 2]),
                          ref.Map(im.rgb[i], im.rgb[i + 1], im.rgb[i + 2]))
                    << im.name << " " << budget << " pixel " << i / 3;
        }
}
