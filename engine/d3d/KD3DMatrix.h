// Matrix helpers of the Direct3D backend, on D3DMATRIX in the row-vector
// convention (a point is a row multiplied on the left: p' = p * M, so in A * B
// A applies first). Pure functions; any thread.
#pragma once

#include "platform/swd3d/SwD3D.h"

// Left-handed orthographic projection of a w x h volume centred on the origin,
// depth zn..zf mapped to 0..1.
void ortho(D3DMATRIX *m, float w, float h, float zn, float zf);
// These replace the matrix with a fresh transform.
void translate(D3DMATRIX &m, float x, float y, float z);
void scale(D3DMATRIX &m, float x, float y, float z);
// Counter-clockwise on screen for positive degrees (y up).
void rotatez(D3DMATRIX &m, float degrees);
void identity(D3DMATRIX &m);
// out = a * b; out may be a or b.
void multiply(D3DMATRIX &out, const D3DMATRIX &a, const D3DMATRIX &b);
// out = m * translation(x, y, z), without a full product; out may be m.
void postTranslate(D3DMATRIX &out, const D3DMATRIX &m, float x, float y, float z);
