// The triangle filter: contribution lists, accumulators, and the 2-D and 3-D
// strategies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "blit/blitter.h"
#include "blit/triangle_filter.h"
#include "blit_test_support.h"

// Found by argument-dependent lookup, so beside Contribution.
static bool operator==(const Contribution& a, const Contribution& b) {
    return a.index == b.index && a.weight == b.weight;
}

static std::ostream& operator<<(std::ostream& os, const Contribution& c) {
    return os << "(" << c.index << ", " << c.weight << ")";
}

namespace {

using Record = std::vector<Contribution>;

// Walks the raw block, checking its size words on the way.
std::vector<Record> Records(const uint32_t* list) {
    std::vector<Record> records;
    const size_t total = list[0];
    size_t offset = sizeof(uint32_t);
    while (offset < total) {
        const uint32_t size = list[offset / 4];
        EXPECT_GE(size, 4u);
        EXPECT_EQ((size - 4) % 8, 0u);
        Record record;
        for (size_t w = offset / 4 + 1; w < (offset + size) / 4; w += 2) {
            Contribution c;
            c.index = static_cast<int32_t>(list[w]);
            std::memcpy(&c.weight, &list[w + 1], sizeof c.weight);
            record.push_back(c);
        }
        records.push_back(record);
        offset += size;
    }
    EXPECT_EQ(offset, total) << "records overrun the block";
    return records;
}

struct ListCase {
    const char* name;
    UINT source;
    UINT dest;
    bool wrap;
    std::vector<Record> expected;
};

void PrintTo(const ListCase& c, std::ostream* os) {
    *os << c.name;
}

class TriangleListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(TriangleListTest, RecordsMatch) {
    const ListCase& c = GetParam();
    ContributionList list = BuildTriangleLists(c.source, c.dest, c.wrap);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Records(list.get()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TriangleListTest,
    ::testing::Values(
        ListCase{
            "Down4to2Fold",
            4,
            2,
            false,
            {{{0, 0.5f}}, {{0, 0.4375f}, {1, 0.0625f}}, {{0, 0.0625f}, {1, 0.4375f}}, {{1, 0.5f}}}},
        // With wrap the outer halves of the edge tents reach the far edge.
        ListCase{"Down4to2Wrap",
                 4,
                 2,
                 true,
                 {{{1, 0.0625f}, {0, 0.4375f}},
                  {{0, 0.4375f}, {1, 0.0625f}},
                  {{0, 0.0625f}, {1, 0.4375f}},
                  {{1, 0.4375f}, {0, 0.0625f}}}},
        ListCase{"Up2to4Fold",
                 2,
                 4,
                 false,
                 {{{0, 1.0f}, {1, 0.75f}, {2, 0.25f}}, {{1, 0.25f}, {2, 0.75f}, {3, 1.0f}}}},
        ListCase{"Up2to4Wrap",
                 2,
                 4,
                 true,
                 {{{3, 0.25f}, {0, 0.75f}, {1, 0.75f}, {2, 0.25f}},
                  {{1, 0.25f}, {2, 0.75f}, {3, 0.75f}, {0, 0.25f}}}},
        // A single source pixel covers everything, whichever the edge mode.
        ListCase{"OneToThreeFold", 1, 3, false, {{{0, 1.0f}, {1, 1.0f}, {2, 1.0f}}}}),
    [](const ::testing::TestParamInfo<ListCase>& p) { return std::string(p.param.name); });

// The tents of all source pixels add up to 1 everywhere, so the weights that
// reach each destination pixel add up to 1 (up to rounding and the dropped
// pairs), for any pair of sizes and either edge mode. Every index lies in the
// destination.
TEST(TriangleLists, WeightsPerDestinationSumToOne) {
    struct Sizes {
        UINT source;
        UINT dest;
    };
    std::vector<Sizes> sizes;
    for (UINT s = 1; s <= 24; ++s)
        for (UINT d = 1; d <= 24; ++d)
            if (s != d) sizes.push_back({s, d});
    // Strong reductions and enlargements, and sizes around powers of two.
    for (Sizes extra : std::vector<Sizes>{
             {1, 1000}, {3, 4097}, {1000, 3}, {4097, 5}, {2048, 1000}, {2048, 3000}, {255, 256}})
        sizes.push_back(extra);

    for (const Sizes& sz : sizes) {
        for (bool wrap : {false, true}) {
            SCOPED_TRACE(testing::Message() << sz.source << "->" << sz.dest << " wrap=" << wrap);
            ContributionList list = BuildTriangleLists(sz.source, sz.dest, wrap);
            ASSERT_NE(list, nullptr);
            std::vector<Record> records = Records(list.get());
            ASSERT_EQ(records.size(), sz.source);
            std::vector<double> total(sz.dest, 0.0);
            for (const Record& r : records) {
                for (const Contribution& c : r) {
                    ASSERT_GE(c.index, 0);
                    ASSERT_LT(c.index, static_cast<int32_t>(sz.dest));
                    EXPECT_GT(c.weight, 0.00001f);
                    total[c.index] += c.weight;
                }
            }
            for (UINT d = 0; d < sz.dest; ++d)
                EXPECT_NEAR(total[d], 1.0, 2e-4) << "dest " << d;
        }
    }
}

TEST(TriangleLists, EmptyExtentsHaveNoList) {
    EXPECT_EQ(BuildTriangleLists(0, 4, true), nullptr);
    EXPECT_EQ(BuildTriangleLists(4, 0, false), nullptr);
}

TEST(TriangleLists, TableUnpacksTheRecords) {
    ContributionList list = BuildTriangleLists(2, 4, true);
    ASSERT_NE(list, nullptr);
    ContributionTable table;
    ASSERT_TRUE(ReadContributionList(list.get(), 4, &table));
    ASSERT_EQ(table.sourceExtent, 2u);
    std::vector<Record> records = Records(list.get());
    for (UINT j = 0; j < 2; ++j) {
        EXPECT_EQ(Record(table.begin(j), table.end(j)), records[j]);
        EXPECT_FALSE(table.repeats[j]);
    }
    // An index at or beyond the destination extent is refused.
    EXPECT_FALSE(ReadContributionList(list.get(), 3, &table));
}

TEST(TriangleLists, TableMarksRecordsNamingAnIndexTwice) {
    // Header, then one record of two pairs for index 1, one of a single pair.
    std::vector<uint32_t> words = {0, 20, 1, 0, 1, 0, 12, 0, 0};
    words[0] = static_cast<uint32_t>(words.size() * 4);
    ContributionTable table;
    ASSERT_TRUE(ReadContributionList(words.data(), 2, &table));
    ASSERT_EQ(table.sourceExtent, 2u);
    EXPECT_TRUE(table.repeats[0]);
    EXPECT_FALSE(table.repeats[1]);
    // A record size that runs past the block is refused.
    words[6] = 16;
    EXPECT_FALSE(ReadContributionList(words.data(), 2, &table));
}

TEST(AccumulatorFreeList, ReusesTheLastFinishedBufferZeroed) {
    AccumulatorRow rows[3];
    AccumulatorFreeList freeList;
    ASSERT_TRUE(freeList.Open(rows[0], 4));
    ASSERT_TRUE(freeList.Open(rows[1], 4));
    for (int i = 0; i < 4; ++i) {
        rows[0].pixels[i] = {1, 2, 3, 4};
        rows[1].pixels[i] = {5, 6, 7, 8};
    }
    ColorF* first = rows[0].pixels.get();
    ColorF* second = rows[1].pixels.get();
    freeList.Finish(rows[0]);
    freeList.Finish(rows[1]);

    // Last in, first out; the donor gives its buffer up.
    ASSERT_TRUE(freeList.Open(rows[2], 4));
    EXPECT_EQ(rows[2].pixels.get(), second);
    EXPECT_EQ(rows[1].pixels, nullptr);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(rows[2].pixels[i].r, 0.0f);
        EXPECT_EQ(rows[2].pixels[i].a, 0.0f);
    }
    ASSERT_TRUE(freeList.Open(rows[1], 4));
    EXPECT_EQ(rows[1].pixels.get(), first);
    EXPECT_EQ(rows[0].pixels, nullptr);
}

// ---------------------------------------------------------------------------
// The strategies
// ---------------------------------------------------------------------------

using blittest::FloatCodec;
using blittest::FloatImage;
using blittest::RunStrategy;

TEST(TriangleFilter, WeighsSourcePixelsByTheirTents) {
    struct Case {
        std::vector<float> source;
        UINT destWidth;
        DWORD filter;
        std::vector<float> expected;
    };
    const DWORD fold = TX_FILTER_TRIANGLE | TX_FILTER_MIRROR;
    for (const Case& c : {
             // 0.5 s0 + 0.4375 s1 + 0.0625 s2, and the mirror image.
             Case{{16, 32, 64, 128}, 2, fold, {26, 94}},
             // With wrap s3 reaches destination 0 and s0 destination 1.
             Case{{16, 32, 64, 128}, 2, TX_FILTER_TRIANGLE, {33, 87}},
             // Enlarging: the edge pixels are copied, the inner ones blend.
             Case{{16, 32}, 4, fold, {16, 20, 28, 32}},
         }) {
        FloatImage src(static_cast<UINT>(c.source.size()), 1), dst(c.destWidth, 1);
        for (UINT x = 0; x < c.source.size(); ++x)
            src.at(x) = {c.source[x], 0, 0, 1};
        auto run = RunStrategy(&Blitter::TryTriangle2D, dst.Codec(), src.Codec(), c.filter);
        ASSERT_EQ(run.result, S_OK);
        for (UINT x = 0; x < c.destWidth; ++x) {
            EXPECT_EQ(dst.at(x).r, c.expected[x]) << x;
            EXPECT_EQ(dst.at(x).a, 1.0f) << x;
        }
    }
}

// A flat image stays flat at any size pair and edge mode: the weights reaching
// every destination pixel add up to 1, and every pixel is written.
TEST(TriangleFilter, FlatImagesStayFlat) {
    struct Sizes {
        UINT sw, sh, sd, dw, dh, dd;
    };
    for (Sizes z : {Sizes{7, 5, 1, 3, 9, 1}, Sizes{1, 1, 1, 5, 3, 1}, Sizes{40, 3, 1, 1, 1, 1},
                    Sizes{3, 4, 5, 5, 2, 3}, Sizes{2, 2, 1, 2, 2, 4}}) {
        for (DWORD filter : {TX_FILTER_TRIANGLE, TX_FILTER_TRIANGLE | TX_FILTER_MIRROR}) {
            SCOPED_TRACE(testing::Message() << z.sw << "x" << z.sh << "x" << z.sd << " -> " << z.dw
                                            << "x" << z.dh << "x" << z.dd << " " << filter);
            FloatImage src(z.sw, z.sh, z.sd), dst(z.dw, z.dh, z.dd);
            src.Fill(0.75f);
            dst.Fill(-1);
            const bool flat = z.sd == 1 && z.dd == 1;
            auto run = RunStrategy(flat ? &Blitter::TryTriangle2D : &Blitter::TryTriangle3D,
                                   dst.Codec(), src.Codec(), filter);
            ASSERT_EQ(run.result, S_OK);
            for (const ColorF& c : dst.pixels()) {
                EXPECT_NEAR(c.r, 0.75f, 1e-5f);
                EXPECT_NEAR(c.a, 0.75f, 1e-5f);
            }
            // Each destination row is written exactly once.
            auto encoded = static_cast<FloatCodec*>(run.destCodec.get())->encoded;
            EXPECT_EQ(encoded.size(), size_t(z.dh) * z.dd);
            std::sort(encoded.begin(), encoded.end());
            EXPECT_EQ(std::unique(encoded.begin(), encoded.end()), encoded.end());
        }
    }
}

// The specified order of operations, spelled out plainly: for each source
// pixel, each (z pair), each y pair, each x pair, in record order,
// acc += wz * (wx * wy) * pixel (2-D: (wx * wy) * pixel).
std::vector<ColorF> ReferenceTriangle(FloatImage& src, UINT sw, UINT sh, UINT sd, UINT dw, UINT dh,
                                      UINT dd, DWORD filter) {
    ContributionTable xs, ys, zs;
    auto build = [](UINT s, UINT d, bool wrap, ContributionTable* t) {
        ContributionList list = BuildTriangleLists(s, d, wrap);
        EXPECT_TRUE(list && ReadContributionList(list.get(), d, t));
    };
    build(sw, dw, !(filter & TX_FILTER_MIRROR_U), &xs);
    build(sh, dh, !(filter & TX_FILTER_MIRROR_V), &ys);
    build(sd, dd, !(filter & TX_FILTER_MIRROR_W), &zs);
    const bool volume = sd != 1 || dd != 1;
    std::vector<ColorF> acc(size_t(dw) * dh * dd, ColorF{0, 0, 0, 0});
    for (UINT i = 0; i < sd; ++i)
        for (UINT j = 0; j < sh; ++j)
            for (UINT x = 0; x < sw; ++x) {
                const ColorF s = src.at(x, j, i);
                for (const Contribution* z = zs.begin(i); z != zs.end(i); ++z)
                    for (const Contribution* y = ys.begin(j); y != ys.end(j); ++y)
                        for (const Contribution* p = xs.begin(x); p != xs.end(x); ++p) {
                            const float w = volume ? z->weight * (p->weight * y->weight)
                                                   : p->weight * y->weight;
                            ColorF& a = acc[(size_t(z->index) * dh + y->index) * dw + p->index];
                            a.r += w * s.r;
                            a.g += w * s.g;
                            a.b += w * s.b;
                            a.a += w * s.a;
                        }
            }
    return acc;
}

// The strategies reorder the loops for speed; every accumulated value must
// still come out bit for bit as in the plain order, also where one record
// names a destination index twice (a single source pixel wrapping around).
TEST(TriangleFilter, MatchesThePlainOrderBitForBit) {
    struct Sizes {
        UINT sw, sh, sd, dw, dh, dd;
    };
    for (Sizes z : {Sizes{13, 11, 1, 5, 17, 1}, Sizes{1, 1, 1, 3, 4, 1}, Sizes{1, 7, 1, 6, 2, 1},
                    Sizes{9, 1, 1, 4, 3, 1}, Sizes{5, 4, 3, 3, 6, 2}, Sizes{2, 3, 1, 3, 2, 5}}) {
        for (DWORD filter : {TX_FILTER_TRIANGLE, TX_FILTER_TRIANGLE | TX_FILTER_MIRROR,
                             TX_FILTER_BOX | TX_FILTER_MIRROR_V}) {
            SCOPED_TRACE(testing::Message() << z.sw << "x" << z.sh << "x" << z.sd << " -> " << z.dw
                                            << "x" << z.dh << "x" << z.dd << " " << filter);
            FloatImage src(z.sw, z.sh, z.sd), dst(z.dw, z.dh, z.dd);
            blittest::Random random(z.sw * 31 + z.dh);
            for (ColorF& c : src.pixels()) {
                auto next = [&] { return static_cast<float>(random.Next() >> 8) / 16777216.0f; };
                c = {next(), next() * 1000.0f, next() - 0.5f, next() * 1e-3f};
            }
            const bool flat = z.sd == 1 && z.dd == 1;
            auto run = RunStrategy(flat ? &Blitter::TryTriangle2D : &Blitter::TryTriangle3D,
                                   dst.Codec(), src.Codec(), filter);
            ASSERT_EQ(run.result, S_OK);
            const std::vector<ColorF> expected =
                ReferenceTriangle(src, z.sw, z.sh, z.sd, z.dw, z.dh, z.dd, filter);
            ASSERT_EQ(expected.size(), dst.pixels().size());
            EXPECT_EQ(
                std::memcmp(expected.data(), dst.pixels().data(), expected.size() * sizeof(ColorF)),
                0);
        }
    }
}

TEST(TriangleFilter, VolumeSlicesAreWrittenOnceAfterTheirLastSource) {
    FloatImage src(4, 4, 4), dst(2, 2, 2);
    src.Fill(0.5f);
    for (DWORD filter : {TX_FILTER_TRIANGLE | TX_FILTER_MIRROR_W, TX_FILTER_TRIANGLE}) {
        auto source = src.Codec();
        FloatCodec* sourceCodec = source.get();
        Blitter blitter;
        blitter.filter = filter;
        blitter.sourceCodec = std::move(source);
        blitter.destCodec = dst.Codec();
        ASSERT_EQ(blitter.TryTriangle3D(), S_OK);
        // Each source row decoded once; each destination slice written once,
        // whole. Folded, slice 0 is complete after source slice 2; wrapped,
        // source slice 3 still reaches it, so slice 1 is written first.
        EXPECT_EQ(sourceCodec->decodes, 16);
        using Rows = std::vector<std::pair<UINT, UINT>>;
        const Rows expected = filter & TX_FILTER_MIRROR_W ? Rows{{0, 0}, {1, 0}, {0, 1}, {1, 1}}
                                                          : Rows{{0, 1}, {1, 1}, {0, 0}, {1, 0}};
        EXPECT_EQ(static_cast<FloatCodec*>(blitter.destCodec.get())->encoded, expected);
    }
}

TEST(TriangleFilter, BoxOfSixToFourIsTheTriangleFilter) {
    blittest::TestImage src(D3DFMT_A8R8G8B8, 4, 6, 6);
    blittest::FillRandom(src, 66);
    blittest::TestImage box(D3DFMT_A8R8G8B8, 4, 4, 4), triangle(D3DFMT_A8R8G8B8, 4, 4, 4);
    Blitter blitter;
    ASSERT_EQ(blitter.Execute(box.block(), src.block(), TX_FILTER_BOX), S_OK);
    ASSERT_EQ(blitter.Execute(triangle.block(), src.block(), TX_FILTER_TRIANGLE), S_OK);
    EXPECT_EQ(box.Pixels(), triangle.Pixels());
    EXPECT_TRUE(box.MarginIntact());
}

// Past a reduction of about 100000 to 1 every pair is negligible: rather
// than report success with a destination never written, the filter fails.
TEST(TriangleFilter, ReductionsBeyondTheWeightsFail) {
    FloatImage src(200000, 1), dst(1, 1);
    src.Fill(0.5f);
    dst.Fill(-1);
    EXPECT_EQ(
        RunStrategy(&Blitter::TryTriangle2D, dst.Codec(), src.Codec(), TX_FILTER_TRIANGLE).result,
        E_FAIL);
    EXPECT_EQ(dst.at(0).r, -1.0f);
    ContributionTable table;
    ContributionList list = BuildTriangleLists(200000, 1, true);
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(ReadContributionList(list.get(), 1, &table));
    EXPECT_FALSE(table.coversDestination);
    // A strong but workable reduction still succeeds.
    FloatImage wide(20000, 1);
    wide.Fill(0.5f);
    ASSERT_EQ(
        RunStrategy(&Blitter::TryTriangle2D, dst.Codec(), wide.Codec(), TX_FILTER_TRIANGLE).result,
        S_OK);
    EXPECT_NEAR(dst.at(0).r, 0.5f, 1e-3f);
}

TEST(TriangleFilter, EmptyExtentsFail) {
    FloatImage src(4, 4), dst(2, 2), empty(0, 2);
    EXPECT_EQ(
        RunStrategy(&Blitter::TryTriangle2D, dst.Codec(), empty.Codec(), TX_FILTER_TRIANGLE).result,
        E_FAIL);
    EXPECT_EQ(
        RunStrategy(&Blitter::TryTriangle3D, empty.Codec(), src.Codec(), TX_FILTER_TRIANGLE).result,
        E_FAIL);
    FloatImage volume(2, 2, 2);
    EXPECT_EQ(RunStrategy(&Blitter::TryTriangle2D, dst.Codec(), volume.Codec(), TX_FILTER_TRIANGLE)
                  .result,
              E_FAIL);
}

} // namespace
