// Matrix operations: products with aliased operands, rotations, the
// look-at view (including its normalisation rule) and the projection.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "mathlib/matrix.h"

namespace {

D3DMATRIX Numbered(float start) {
    D3DMATRIX m;
    for (int i = 0; i < 16; ++i)
        m.m[i / 4][i % 4] = start + static_cast<float>(i) * 0.5f - static_cast<float>(i % 3);
    return m;
}

bool SameBits(const D3DMATRIX& a, const D3DMATRIX& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

void ExpectRow(const D3DMATRIX& m, int row, float a, float b, float c, float d,
               float tolerance = 1e-6f) {
    EXPECT_NEAR(m.m[row][0], a, tolerance) << "row " << row;
    EXPECT_NEAR(m.m[row][1], b, tolerance) << "row " << row;
    EXPECT_NEAR(m.m[row][2], c, tolerance) << "row " << row;
    EXPECT_NEAR(m.m[row][3], d, tolerance) << "row " << row;
}

TEST(MatrixMultiply, ComputesTheRowByColumnProduct) {
    const D3DMATRIX a = Numbered(1.0f);
    const D3DMATRIX b = Numbered(-3.0f);
    D3DMATRIX out;
    EXPECT_EQ(TxMatrixMultiply(&out, &a, &b), &out);
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += static_cast<double>(a.m[i][k]) * b.m[k][j];
            EXPECT_NEAR(out.m[i][j], sum, 1e-4) << i << "," << j;
        }
    // Row vectors on the left: a translation in row 3 of the second operand
    // moves the result of the first.
    D3DMATRIX move = Numbered(0.0f);
    std::memset(&move, 0, sizeof move);
    move.m[0][0] = move.m[1][1] = move.m[2][2] = move.m[3][3] = 1.0f;
    move.m[3][0] = 5.0f;
    D3DMATRIX identity = move;
    identity.m[3][0] = 0.0f;
    TxMatrixMultiply(&out, &identity, &move);
    EXPECT_TRUE(SameBits(out, move));
}

TEST(MatrixMultiply, OutputMayBeEitherOperandOrBoth) {
    const D3DMATRIX a = Numbered(1.0f);
    const D3DMATRIX b = Numbered(-3.0f);
    D3DMATRIX expected, squared;
    TxMatrixMultiply(&expected, &a, &b);
    TxMatrixMultiply(&squared, &a, &a);

    D3DMATRIX first = a;
    EXPECT_EQ(TxMatrixMultiply(&first, &first, &b), &first);
    EXPECT_TRUE(SameBits(first, expected));

    D3DMATRIX second = b;
    TxMatrixMultiply(&second, &a, &second);
    EXPECT_TRUE(SameBits(second, expected));

    D3DMATRIX both = a;
    TxMatrixMultiply(&both, &both, &both);
    EXPECT_TRUE(SameBits(both, squared));
}

TEST(MatrixRotation, AxesTurnTheWayTheTablesSay) {
    const float halfPi = 1.57079637f;
    D3DMATRIX m;
    struct Case {
        D3DMATRIX* (*rotate)(D3DMATRIX*, float);
        const char* name;
        float rows[4][4]; // at a quarter turn
    } const cases[] = {
        {TxMatrixRotationX, "X", {{1, 0, 0, 0}, {0, 0, 1, 0}, {0, -1, 0, 0}, {0, 0, 0, 1}}},
        {TxMatrixRotationY, "Y", {{0, 0, -1, 0}, {0, 1, 0, 0}, {1, 0, 0, 0}, {0, 0, 0, 1}}},
        {TxMatrixRotationZ, "Z", {{0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.rotate(&m, 0.0f), &m);
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                EXPECT_EQ(m.m[r][k], r == k ? 1.0f : 0.0f) << "angle 0 gives the identity";
        c.rotate(&m, halfPi);
        for (int r = 0; r < 4; ++r)
            ExpectRow(m, r, c.rows[r][0], c.rows[r][1], c.rows[r][2], c.rows[r][3]);
    }
    // An arbitrary angle puts sine and cosine where they belong.
    TxMatrixRotationY(&m, 0.3f);
    EXPECT_FLOAT_EQ(m.m[0][0], std::cos(0.3f));
    EXPECT_FLOAT_EQ(m.m[2][0], std::sin(0.3f));
    EXPECT_FLOAT_EQ(m.m[0][2], -std::sin(0.3f));
}

TEST(MatrixLookAt, ViewerCameraLooksDownAndAtTheOrigin) {
    const D3DVECTOR eye{0, 3, -5}, at{0, 0, 0}, up{0, 1, 0};
    D3DMATRIX view;
    EXPECT_EQ(TxMatrixLookAtLH(&view, &eye, &at, &up), &view);
    // Columns hold the camera's axes: x, y and z.
    ExpectRow(view, 0, 1, 0, 0, 0);
    ExpectRow(view, 1, 0, 0.857493f, -0.514496f, 0);
    ExpectRow(view, 2, 0, 0.514496f, 0.857493f, 0);
    ExpectRow(view, 3, 0, 0, 5.830952f, 1, 1e-5f);
    // The eye itself lands at the view origin.
    const float ex = eye.x, ey = eye.y, ez = eye.z;
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(ex * view.m[0][c] + ey * view.m[1][c] + ez * view.m[2][c] + view.m[3][c], 0,
                    1e-5f);
}

TEST(MatrixLookAt, NormalisationKeepsNearUnitVectorsAndZeroesTinyOnes) {
    D3DMATRIX view;
    const D3DVECTOR origin{0, 0, 0}, up{0, 1, 0};

    // Squared length within 2^-23 of one (here 1 - 2^-24): taken as it is;
    // rescaling would move both components by an ulp or more.
    const float x = std::nextafter(0.8f, 0.0f), z = 0.6f;
    const D3DVECTOR nearUnit{x, 0, z};
    TxMatrixLookAtLH(&view, &origin, &nearUnit, &up);
    EXPECT_EQ(view.m[0][2], x);
    EXPECT_EQ(view.m[2][2], z);

    // A longer direction is scaled to unit length.
    const D3DVECTOR far{0, 0, 8};
    TxMatrixLookAtLH(&view, &origin, &far, &up);
    EXPECT_EQ(view.m[2][2], 1.0f);

    // Too short to have a direction (squared length below FLT_MIN): zero
    // rather than a huge scale; the x axis built from it is zero too.
    const D3DVECTOR tiny{1e-20f, 0, 0};
    const D3DVECTOR same{3, 4, 5};
    for (const D3DVECTOR* target : {&tiny, &same}) {
        const D3DVECTOR& eye = target == &tiny ? origin : same;
        TxMatrixLookAtLH(&view, &eye, target, &up);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(view.m[r][c], 0.0f) << r << "," << c;
        EXPECT_EQ(view.m[3][3], 1.0f);
        EXPECT_FALSE(std::isnan(view.m[3][0]));
    }
}

TEST(MatrixPerspective, ViewerProjection) {
    D3DMATRIX p;
    EXPECT_EQ(TxMatrixPerspectiveFovLH(&p, 0.785398185f, 1.0f, 1.0f, 100.0f), &p);
    ExpectRow(p, 0, 2.414214f, 0, 0, 0, 1e-5f);
    ExpectRow(p, 1, 0, 2.414214f, 0, 0, 1e-5f);
    ExpectRow(p, 2, 0, 0, 1.010101f, 1, 1e-6f);
    ExpectRow(p, 3, 0, 0, -1.010101f, 0, 1e-6f);

    // The aspect divides only the horizontal scale; near and far map to
    // depths 0 and 1 after the divide by w.
    TxMatrixPerspectiveFovLH(&p, 1.0f, 2.0f, 2.0f, 10.0f);
    EXPECT_FLOAT_EQ(p.m[0][0] * 2.0f, p.m[1][1]);
    for (float z : {2.0f, 10.0f})
        EXPECT_NEAR((z * p.m[2][2] + p.m[3][2]) / z, z == 2.0f ? 0.0f : 1.0f, 1e-6f);
}

} // namespace
