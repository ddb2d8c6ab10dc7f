// Matrix helpers of the Direct3D backend (row-vector convention). Any thread.
#include "d3d/KD3DMatrix.h"

#include <cmath>
#include <cstring>

void identity(D3DMATRIX &m) {
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1.0f;
}

void ortho(D3DMATRIX *m, float w, float h, float zn, float zf) {
  if (!m) return;
  std::memset(m, 0, sizeof *m);
  m->_11 = 2.0f / w;
  m->_22 = 2.0f / h;
  m->_33 = 1.0f / (zf - zn);
  m->_43 = zn / (zn - zf);
  m->_44 = 1.0f;
}

void translate(D3DMATRIX &m, float x, float y, float z) {
  identity(m);
  m._41 = x;
  m._42 = y;
  m._43 = z;
}

void scale(D3DMATRIX &m, float x, float y, float z) {
  identity(m);
  m._11 = x;
  m._22 = y;
  m._33 = z;
}

void rotatez(D3DMATRIX &m, float degrees) {
  identity(m);
  // The angle constant is kept as the backend has always used it.
  float a = degrees * 6.2831855f / 360.0f;
  m._11 = std::cos(a);
  m._12 = std::sin(a);
  m._21 = -std::sin(a);
  m._22 = std::cos(a);
}

void multiply(D3DMATRIX &out, const D3DMATRIX &a, const D3DMATRIX &b) {
  const float *pa = &a._11, *pb = &b._11;
  float r[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      float s = 0;
      for (int k = 0; k < 4; ++k) s += pa[i * 4 + k] * pb[k * 4 + j];
      r[i * 4 + j] = s;
    }
  std::memcpy(&out._11, r, sizeof r);
}

void postTranslate(D3DMATRIX &out, const D3DMATRIX &m, float x, float y, float z) {
  const float *pm = &m._11;
  float r[16];
  for (int i = 0; i < 4; ++i) {
    const float w = pm[i * 4 + 3];
    r[i * 4 + 0] = pm[i * 4 + 0] + w * x;
    r[i * 4 + 1] = pm[i * 4 + 1] + w * y;
    r[i * 4 + 2] = pm[i * 4 + 2] + w * z;
    r[i * 4 + 3] = w;
  }
  std::memcpy(&out._11, r, sizeof r);
}
