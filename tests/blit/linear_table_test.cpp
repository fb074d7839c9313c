// Sample tables of the linear filter.
#include <gtest/gtest.h>

#include <cfenv>
#include <vector>

#include "blit/linear_filter.h"

namespace {

struct TableCase {
    const char* name;
    UINT dest;
    UINT source;
    bool wrap;
    std::vector<LinearSample> expectedStart; // the first entries of the table
    int firstChecked = 0;                    // index of expectedStart[0]
};

void PrintTo(const TableCase& c, std::ostream* os) {
    *os << c.name;
}

class LinearTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(LinearTableTest, EntriesMatch) {
    const TableCase& c = GetParam();
    auto table = BuildLinearTable(c.dest, c.source, c.wrap);
    ASSERT_NE(table, nullptr);
    for (size_t i = 0; i < c.expectedStart.size(); ++i) {
        const LinearSample& got = table[c.firstChecked + i];
        const LinearSample& want = c.expectedStart[i];
        SCOPED_TRACE(testing::Message() << "entry " << c.firstChecked + i);
        EXPECT_EQ(got.index0, want.index0);
        EXPECT_EQ(got.weight0, want.weight0);
        EXPECT_EQ(got.index1, want.index1);
        EXPECT_EQ(got.weight1, want.weight1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, LinearTableTest,
    ::testing::Values(
        // Upscaling: destination pixel 0 blends the last and the first source
        // pixel when wrapping, only the first when mirroring.
        TableCase{"Up4to8Wrap", 8, 4, true, {{3, 0.5f, 0, 0.5f}, {0, 1, 1, 0}, {0, 0.5f, 1, 0.5f}}},
        TableCase{"Up4to8Mirror", 8, 4, false, {{0, 0.5f, 0, 0.5f}, {0, 1, 1, 0}}},
        TableCase{"Down8to4Wrap", 4, 8, true, {{7, 0.5f, 0, 0.5f}, {1, 0.5f, 2, 0.5f}}},
        TableCase{"Down8to4Mirror", 4, 8, false, {{0, 0.5f, 0, 0.5f}, {1, 0.5f, 2, 0.5f}}},
        TableCase{"OneFromFive", 1, 5, true, {{4, 0.5f, 0, 0.5f}}},
        TableCase{"Up2to4Wrap",
                  4,
                  2,
                  true,
                  {{1, 0.5f, 0, 0.5f}, {0, 1, 1, 0}, {0, 0.5f, 1, 0.5f}, {1, 1, 0, 0}}},
        // Mirroring keeps the last sample at the edge instead of wrapping.
        TableCase{"Up2to4MirrorLast", 4, 2, false, {{1, 1, 1, 0}}, 3},
        TableCase{"SingleSource", 3, 1, true, {{0, 0.5f, 0, 0.5f}}},
        // Positions and weights are truncated, not rounded to nearest: with
        // round-to-nearest these would be 0x1.aaaaaap-1 / 0x1.555558p-3 and
        // 0x1.55555p-3 / 0x1.aaaaacp-1.
        TableCase{"TruncatedThirds",
                  3,
                  2,
                  true,
                  {{0, 0x1.aaaaacp-1f, 1, 0x1.55555p-3f}, {0, 0x1.55556p-3f, 1, 0x1.aaaaa8p-1f}},
                  1}),
    [](const ::testing::TestParamInfo<TableCase>& p) { return std::string(p.param.name); });

// Every index stays inside the source for a range of size pairs, in both edge
// modes, and the two weights add up to 1.
TEST(LinearTable, IndicesInsideSourceAndWeightsComplementary) {
    for (UINT source = 1; source <= 33; ++source) {
        for (UINT dest = 1; dest <= 33; ++dest) {
            for (bool wrap : {false, true}) {
                auto table = BuildLinearTable(dest, source, wrap);
                ASSERT_NE(table, nullptr);
                for (UINT k = 0; k < dest; ++k) {
                    const LinearSample& s = table[k];
                    SCOPED_TRACE(testing::Message() << source << "->" << dest << " k=" << k);
                    ASSERT_GE(s.index0, 0);
                    ASSERT_LT(s.index0, static_cast<int32_t>(source));
                    ASSERT_GE(s.index1, 0);
                    ASSERT_LT(s.index1, static_cast<int32_t>(source));
                    EXPECT_GE(s.weight0, 0.0f);
                    EXPECT_LE(s.weight0, 1.0f);
                    EXPECT_FLOAT_EQ(s.weight0 + s.weight1, 1.0f);
                }
            }
        }
    }
}

TEST(LinearTable, RestoresRoundingMode) {
    const int saved = std::fegetround();
    ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
    auto table = BuildLinearTable(7, 3, true);
    const int during = std::fegetround();
    std::fesetround(saved);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(during, FE_UPWARD);
}

TEST(LinearTable, EmptySourceHasNoTable) {
    EXPECT_EQ(BuildLinearTable(4, 0, true), nullptr);
    // An empty destination needs no entries from any source.
    EXPECT_NE(BuildLinearTable(0, 0, true), nullptr);
    EXPECT_NE(BuildLinearTable(0, 5, false), nullptr);
}

} // namespace
