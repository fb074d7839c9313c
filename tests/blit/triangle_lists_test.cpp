// Contribution lists and accumulators of the triangle filter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "blit/triangle_filter.h"

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

} // namespace
