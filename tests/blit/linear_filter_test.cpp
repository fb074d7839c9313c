// The linear filter: its sample tables and the 2-D and 3-D strategies.
#include <gtest/gtest.h>

#include <cfenv>
#include <vector>

#include "blit/blitter.h"
#include "blit/linear_filter.h"
#include "blit_test_support.h"

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

// ---------------------------------------------------------------------------
// The strategies
// ---------------------------------------------------------------------------

using blittest::FloatCodec;
using blittest::FloatImage;
using blittest::RunStrategy;

// A row of `width` pixels whose red channel holds values[x].
FloatImage Row(const std::vector<float>& values) {
    FloatImage image(static_cast<UINT>(values.size()), 1);
    for (size_t x = 0; x < values.size(); ++x)
        image.at(static_cast<UINT>(x)) = {values[x], 0, 0, 1};
    return image;
}

std::vector<float> Reds(FloatImage& image, UINT width) {
    std::vector<float> reds;
    for (UINT x = 0; x < width; ++x)
        reds.push_back(image.at(x).r);
    return reds;
}

TEST(LinearFilter, BlendsAlongRowsWithWrapOrMirror) {
    struct Case {
        std::vector<float> source;
        UINT destWidth;
        DWORD filter;
        std::vector<float> expected;
    };
    const DWORD linear = TX_FILTER_LINEAR;
    for (const Case& c : {
             Case{{0, 10, 20, 30}, 8, linear, {15, 0, 5, 10, 15, 20, 25, 30}},
             Case{{0, 10, 20, 30}, 8, linear | TX_FILTER_MIRROR_U, {0, 0, 5, 10, 15, 20, 25, 30}},
             Case{{0, 10, 20, 30, 40}, 1, linear, {20}},
             Case{{0, 10, 20, 30, 40, 50, 60, 70}, 4, linear, {35, 15, 35, 55}},
         }) {
        FloatImage src = Row(c.source), dst(c.destWidth, 1);
        auto run = RunStrategy(&Blitter::TryLinear2D, dst.Codec(), src.Codec(), c.filter);
        ASSERT_EQ(run.result, S_OK);
        EXPECT_EQ(Reds(dst, c.destWidth), c.expected);
        // The one-row source feeds both sample rows; alpha 1 stays 1.
        EXPECT_EQ(dst.at(0).a, 1.0f);
    }
}

TEST(LinearFilter, DecodesEachSourceRowOncePerRun) {
    // 4 rows to 8: the second sample row becomes the first one, the buffers
    // are swapped, and only the wrap back to row 0 at the end decodes again.
    FloatImage src(2, 4), dst(2, 8);
    for (UINT y = 0; y < 4; ++y)
        src.at(0, y) = src.at(1, y) = {float(y), 0, 0, 0};
    auto source = src.Codec();
    FloatCodec* sourceCodec = source.get();
    Blitter blitter;
    blitter.filter = TX_FILTER_LINEAR;
    blitter.sourceCodec = std::move(source);
    blitter.destCodec = dst.Codec();
    ASSERT_EQ(blitter.TryLinear2D(), S_OK);
    EXPECT_EQ(sourceCodec->decodes, 6);
    const float expected[8] = {1.5f, 0, 0.5f, 1, 1.5f, 2, 2.5f, 3};
    for (UINT y = 0; y < 8; ++y)
        EXPECT_EQ(dst.at(1, y).r, expected[y]) << y;
}

TEST(LinearFilter, VolumesBlendSlices) {
    for (DWORD filter : {TX_FILTER_LINEAR, TX_FILTER_LINEAR | TX_FILTER_MIRROR_W}) {
        FloatImage src(2, 2, 4), dst(3, 1, 2);
        const float slices[4] = {0, 10, 20, 60};
        for (UINT z = 0; z < 4; ++z)
            for (UINT y = 0; y < 2; ++y)
                for (UINT x = 0; x < 2; ++x)
                    src.at(x, y, z) = {slices[z], float(y), 0, 0};
        dst.Fill(-1);
        auto run = RunStrategy(&Blitter::TryLinear3D, dst.Codec(), src.Codec(), filter);
        ASSERT_EQ(run.result, S_OK);
        // Depth positions -0.5 and 1.5: slices (3, 0) or, mirrored, (0, 0);
        // then (1, 2).
        const float first = filter & TX_FILTER_MIRROR_W ? 0.0f : 30.0f;
        for (UINT x = 0; x < 3; ++x) {
            EXPECT_EQ(dst.at(x, 0, 0).r, first);
            EXPECT_EQ(dst.at(x, 0, 1).r, 15.0f);
        }
        auto* codec = static_cast<FloatCodec*>(run.destCodec.get());
        EXPECT_EQ(codec->encoded, (std::vector<std::pair<UINT, UINT>>{{0, 0}, {0, 1}}));
    }
}

TEST(LinearFilter, DeclinesOtherKindsAndEmptySources) {
    FloatImage src(4, 4), dst(2, 3), empty(0, 4);
    EXPECT_EQ(
        RunStrategy(&Blitter::TryLinear2D, dst.Codec(), src.Codec(), TX_FILTER_TRIANGLE).result,
        E_FAIL);
    EXPECT_EQ(RunStrategy(&Blitter::TryLinear3D, dst.Codec(), src.Codec(), TX_FILTER_BOX).result,
              E_FAIL);
    EXPECT_EQ(
        RunStrategy(&Blitter::TryLinear2D, dst.Codec(), empty.Codec(), TX_FILTER_LINEAR).result,
        E_FAIL);
    // Nothing to write needs nothing to read.
    EXPECT_EQ(
        RunStrategy(&Blitter::TryLinear2D, empty.Codec(), src.Codec(), TX_FILTER_LINEAR).result,
        S_OK);
    FloatImage volume(2, 2, 2);
    EXPECT_EQ(
        RunStrategy(&Blitter::TryLinear2D, dst.Codec(), volume.Codec(), TX_FILTER_LINEAR).result,
        E_FAIL);
}

} // namespace
