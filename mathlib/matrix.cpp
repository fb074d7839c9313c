// Matrix operations: the portable forms, in single precision and with a fixed
// order of operations so that every build gives the same bits.
#include "mathlib/matrix.h"

#include <cfloat>
#include <cmath>

namespace {

// Sine and cosine are taken in double precision and rounded once, as the
// processor's own instructions deliver them.
float Sine(float angle) {
    return static_cast<float>(std::sin(static_cast<double>(angle)));
}
float Cosine(float angle) {
    return static_cast<float>(std::cos(static_cast<double>(angle)));
}

D3DMATRIX Rows(float m00, float m01, float m02, float m03, float m10, float m11, float m12,
               float m13, float m20, float m21, float m22, float m23, float m30, float m31,
               float m32, float m33) {
    D3DMATRIX r;
    r.m[0][0] = m00, r.m[0][1] = m01, r.m[0][2] = m02, r.m[0][3] = m03;
    r.m[1][0] = m10, r.m[1][1] = m11, r.m[1][2] = m12, r.m[1][3] = m13;
    r.m[2][0] = m20, r.m[2][1] = m21, r.m[2][2] = m22, r.m[2][3] = m23;
    r.m[3][0] = m30, r.m[3][1] = m31, r.m[3][2] = m32, r.m[3][3] = m33;
    return r;
}

D3DVECTOR Subtract(const D3DVECTOR& a, const D3DVECTOR& b) {
    return D3DVECTOR{a.x - b.x, a.y - b.y, a.z - b.z};
}

D3DVECTOR Cross(const D3DVECTOR& a, const D3DVECTOR& b) {
    return D3DVECTOR{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float Dot(const D3DVECTOR& a, const D3DVECTOR& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Vectors already of unit length within one step of float precision are left
// alone (no rounding drift when normalising twice); vectors too short to
// have a direction become zero instead of blowing up.
D3DVECTOR Normalize(const D3DVECTOR& v) {
    const float lengthSquared = Dot(v, v);
    if (std::fabs(lengthSquared - 1.0f) <= FLT_EPSILON) return v;
    if (lengthSquared <= FLT_MIN) return D3DVECTOR{0.0f, 0.0f, 0.0f};
    const float scale = 1.0f / std::sqrt(lengthSquared);
    return D3DVECTOR{v.x * scale, v.y * scale, v.z * scale};
}

} // namespace

D3DMATRIX* TxMatrixMultiply(D3DMATRIX* out, const D3DMATRIX* m1, const D3DMATRIX* m2) {
    // Computed aside so that out may be either operand, or both.
    D3DMATRIX product;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            product.m[i][j] = m1->m[i][0] * m2->m[0][j] + m1->m[i][1] * m2->m[1][j] +
                              m1->m[i][2] * m2->m[2][j] + m1->m[i][3] * m2->m[3][j];
    *out = product;
    return out;
}

D3DMATRIX* TxMatrixRotationX(D3DMATRIX* out, float angle) {
    const float s = Sine(angle), c = Cosine(angle);
    *out = Rows(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return out;
}

D3DMATRIX* TxMatrixRotationY(D3DMATRIX* out, float angle) {
    const float s = Sine(angle), c = Cosine(angle);
    *out = Rows(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return out;
}

D3DMATRIX* TxMatrixRotationZ(D3DMATRIX* out, float angle) {
    const float s = Sine(angle), c = Cosine(angle);
    *out = Rows(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DMATRIX* TxMatrixLookAtLH(D3DMATRIX* out, const D3DVECTOR* eye, const D3DVECTOR* at,
                            const D3DVECTOR* up) {
    const D3DVECTOR z = Normalize(Subtract(*at, *eye));
    const D3DVECTOR x = Normalize(Cross(*up, z));
    const D3DVECTOR y = Cross(z, x);
    *out = Rows(x.x, y.x, z.x, 0, x.y, y.y, z.y, 0, x.z, y.z, z.z, 0, -Dot(x, *eye), -Dot(y, *eye),
                -Dot(z, *eye), 1);
    return out;
}

D3DMATRIX* TxMatrixPerspectiveFovLH(D3DMATRIX* out, float fovY, float aspect, float zNear,
                                    float zFar) {
    const float half = fovY / 2.0f;
    const float yScale = Cosine(half) / Sine(half);
    const float xScale = yScale / aspect;
    const float q = zFar / (zFar - zNear);
    *out = Rows(xScale, 0, 0, 0, 0, yScale, 0, 0, 0, 0, q, 1, 0, 0, -zNear * q, 0);
    return out;
}
