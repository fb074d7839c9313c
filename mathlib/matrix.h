// Matrix operations of the math layer. Every operation writes its result into
// `out` and returns `out`; angles are in radians.
#pragma once

#include "platform/d3d8_types.h"

D3DMATRIX* TxMatrixMultiply(D3DMATRIX* out, const D3DMATRIX* m1, const D3DMATRIX* m2);
D3DMATRIX* TxMatrixRotationX(D3DMATRIX* out, float angle);
D3DMATRIX* TxMatrixRotationY(D3DMATRIX* out, float angle);
D3DMATRIX* TxMatrixRotationZ(D3DMATRIX* out, float angle);
D3DMATRIX* TxMatrixLookAtLH(D3DMATRIX* out, const D3DVECTOR* eye, const D3DVECTOR* at,
                            const D3DVECTOR* up);
D3DMATRIX* TxMatrixPerspectiveFovLH(D3DMATRIX* out, float fovY, float aspect, float zNear,
                                    float zFar);
