// The Direct3D device of the software renderer: render target and viewport,
// render and texture-stage states, the three transforms, Clear, scenes and
// DrawPrimitive of lit vertices (transform, clipping, viewport mapping, then the
// rasteriser). Lighting is not evaluated: vertex colours are used as given, and
// texture coordinates are interpolated without perspective. One thread.
//
// Primitives are recorded, not drawn at once: they are drawn when anything needs
// the target's pixels (a blit, flip or lock; another target). Most frames of a
// quiet screen repeat the one before call for call; when the recorded calls
// begin by covering the whole target, equal the last ones drawn (same textures,
// unchanged), and the target still holds what those left, nothing is drawn.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/swd3d/SwInternal.h"

namespace {

// D3D caps one call at this many vertices; it also bounds our scratch memory.
const uint32_t kMaxVertices = 0xFFFF;
// Primitives recorded before they are drawn whether or not anything reads them.
const size_t kMaxRecorded = 1 << 16;
// How a banded frame draws each op: as a job set up once, or op by op; the
// latter set up from texels that were missing, so never taken as a model.
enum : uint8_t { kNoJob, kJob, kFreshOnly };
// Rows drawn together when a whole frame is drawn: a band of a wide target and
// the texels blended into it fit the processor's nearer caches.
const int kBandRows = 32;
// Guard band in normalised device units: triangles are clipped against it
// instead of the viewport edges (the rasteriser scissors exactly), which keeps
// shared edges free of interpolation seams while bounding screen coordinates.
const double kGuard = 32.0;

struct ClipVertex {
  double x, y, z, w;
  double c[4];  // a, r, g, b, 0..255; filled only once clipping blends colours
  double u, v;
  D3DCOLOR color;  // the vertex's own colour, while no clipping has blended it
  bool original;
};

// Colour channel i (a, r, g, b) of a vertex, as a number to interpolate.
double channel(const ClipVertex &p, int i) {
  return p.original ? double((p.color >> (24 - 8 * i)) & 255) : p.c[i];
}

ClipVertex lerp(const ClipVertex &a, const ClipVertex &b, double t) {
  ClipVertex r;
  r.x = a.x + (b.x - a.x) * t;
  r.y = a.y + (b.y - a.y) * t;
  r.z = a.z + (b.z - a.z) * t;
  r.w = a.w + (b.w - a.w) * t;
  for (int i = 0; i < 4; ++i) {
    const double ca = channel(a, i);
    r.c[i] = ca + (channel(b, i) - ca) * t;
  }
  r.u = a.u + (b.u - a.u) * t;
  r.v = a.v + (b.v - a.v) * t;
  r.color = 0;
  r.original = false;
  return r;
}

const int kPlanes = 7;
// Signed distance to clip plane i; inside when >= 0.
double planeDist(const ClipVertex &p, int i) {
  switch (i) {
    case 0: return p.z;
    case 1: return p.w - p.z;
    case 2: return p.x + kGuard * p.w;
    case 3: return kGuard * p.w - p.x;
    case 4: return p.y + kGuard * p.w;
    case 5: return kGuard * p.w - p.y;
    default: return p.w - 1e-6;
  }
}

bool inside(const ClipVertex &p) {
  const double gw = kGuard * p.w;
  // Written so that a NaN anywhere counts as outside.
  return p.z >= 0 && p.w - p.z >= 0 && p.x + gw >= 0 && gw - p.x >= 0 && p.y + gw >= 0 &&
         gw - p.y >= 0 && p.w - 1e-6 >= 0;
}

void mul(const D3DMATRIX &a, const D3DMATRIX &b, double out[4][4]) {
  const float *pa = &a._11, *pb = &b._11;
  for (int r = 0; r < 4; ++r)
    for (int c = 0; c < 4; ++c) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += double(pa[r * 4 + k]) * double(pb[k * 4 + c]);
      out[r][c] = s;
    }
}

// Floor and ceiling of a float known to fit an int, without a library call.
int floorToInt(float f) {
  const int i = int(f);
  return i - (float(i) > f ? 1 : 0);
}
int ceilToInt(float f) {
  const int i = int(f);
  return i + (float(i) < f ? 1 : 0);
}

// Pixels [x0, x1) x [y0, y1).
struct PixelArea {
  int x0, y0, x1, y1;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
  bool overlaps(const PixelArea &o) const {
    return !empty() && !o.empty() && x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1;
  }
  PixelArea meet(const PixelArea &o) const {
    return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
  }
  PixelArea join(const PixelArea &o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    return {std::min(x0, o.x0), std::min(y0, o.y0), std::max(x1, o.x1), std::max(y1, o.y1)};
  }
};

// One recorded primitive (or clear), in screen space, as the rasteriser takes it.
struct RecordedOp {
  enum Kind : uint8_t { kClear, kTriangle, kQuad, kPoint, kLine };
  Kind kind = kClear;
  uint32_t state = 0;  // index of its raster state; unused by a clear
  SwVertex v[4] = {};
  D3DCOLOR color = 0;  // a triangle's flat colour; a clear's colour in the target's format
  long rect[4] = {};   // a clear: x0, y0, x1, y1 within the viewport
  PixelArea area = {0, 0, 0, 0};  // the pixels it may write (reach), found once
};
static_assert(sizeof(SwVertex) == 20, "vertices are compared as bytes: no padding");

// The raster state of recorded primitives; the texels are looked up when drawn.
struct RecordedState {
  SwRasterState st;
  SwSurface *texture = nullptr;  // held (see _held) while recorded
  uint64_t textureVersion = 0;
};

bool sameRaster(const SwRasterState &a, const SwRasterState &b) {
  static_assert(sizeof(SwRasterState) == 72, "compare every field of SwRasterState here");
  return a.blend == b.blend && a.srcBlend == b.srcBlend && a.dstBlend == b.dstBlend &&
         a.hasTexture == b.hasTexture && a.tex.width == b.tex.width &&
         a.tex.height == b.tex.height && a.addressU == b.addressU && a.addressV == b.addressV &&
         a.magFilter == b.magFilter && a.minFilter == b.minFilter &&
         a.colorUsesTex == b.colorUsesTex && a.colorUsesDiffuse == b.colorUsesDiffuse &&
         a.alphaUsesTex == b.alphaUsesTex && a.alphaUsesDiffuse == b.alphaUsesDiffuse &&
         a.flatShade == b.flatShade && a.clipX0 == b.clipX0 && a.clipY0 == b.clipY0 &&
         a.clipX1 == b.clipX1 && a.clipY1 == b.clipY1;
}

bool operator==(const RecordedState &a, const RecordedState &b) {
  return a.texture == b.texture && a.textureVersion == b.textureVersion && sameRaster(a.st, b.st);
}

class SwDevice;
// Devices holding recorded primitives, and whether they are being drawn now.
std::vector<SwDevice *> gRecording;
bool gFlushing = false;
uint64_t gStamps = 0;
long long gDrawn = 0;

D3DMATRIX identity() {
  D3DMATRIX m;
  std::memset(&m, 0, sizeof m);
  m._11 = m._22 = m._33 = m._44 = 1;
  return m;
}

class SwDevice final : public IDirect3DDevice7 {
public:
  explicit SwDevice(SwSurface *target) {
    std::memset(_rs, 0, sizeof _rs);
    std::memset(_tss, 0, sizeof _tss);
    _rs[D3DRENDERSTATE_ZENABLE] = D3DZB_FALSE;
    _rs[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    _rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    _rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    _rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    _rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    _rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
    _rs[D3DRENDERSTATE_CLIPPING] = 1;
    _rs[D3DRENDERSTATE_LIGHTING] = 1;
    _rs[D3DRENDERSTATE_COLORVERTEX] = 1;
    _tss[D3DTSS_COLOROP] = D3DTOP_MODULATE;
    _tss[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    _tss[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    _tss[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
    _tss[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    _tss[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    _tss[D3DTSS_ADDRESS] = _tss[D3DTSS_ADDRESSU] = _tss[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    _tss[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    _tss[D3DTSS_MINFILTER] = D3DTFN_POINT;
    _tss[D3DTSS_MIPFILTER] = D3DTFP_NONE;
    _world = _view = _proj = identity();
    setTarget(target);
  }
  ~SwDevice() override {
    flush();
    if (_target) _target->Release();
    if (_texture) _texture->Release();
  }

  unsigned long AddRef() override { return ++_refs; }
  unsigned long Release() override { return swRelease(this, _refs); }
  HRESULT QueryInterface(REFIID, void **out) override { return swNoInterface(out); }

  HRESULT SetViewport(D3DVIEWPORT7 *vp) override {
    if (!vp || !_target) return DDERR_INVALIDPARAMS;
    uint64_t right = uint64_t(vp->dwX) + vp->dwWidth, bottom = uint64_t(vp->dwY) + vp->dwHeight;
    if (vp->dwWidth == 0 || vp->dwHeight == 0 || right > uint64_t(_target->width()) ||
        bottom > uint64_t(_target->height()))
      return DDERR_INVALIDPARAMS;
    if (!std::isfinite(vp->dvMinZ) || !std::isfinite(vp->dvMaxZ)) return DDERR_INVALIDPARAMS;
    _vp = *vp;
    _stateDirty = true;
    return D3D_OK;
  }
  HRESULT GetViewport(D3DVIEWPORT7 *vp) override {
    if (!vp) return DDERR_INVALIDPARAMS;
    *vp = _vp;
    return D3D_OK;
  }

  HRESULT SetRenderTarget(IDirectDrawSurface7 *target, uint32_t) override {
    SwSurface *s = static_cast<SwSurface *>(target);
    if (!s) return DDERR_INVALIDPARAMS;
    if (!(s->caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
    if (s != _target) {
      flush();
      _drawn[0].valid = _drawn[1].valid = false;  // what was drawn is on the other target
    }
    setTarget(s);
    return D3D_OK;
  }
  HRESULT GetRenderTarget(IDirectDrawSurface7 **out) override {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = _target;
    if (_target) _target->AddRef();
    return D3D_OK;
  }

  HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) override {
    if (unsigned(state) >= kStates) return DDERR_INVALIDPARAMS;
    if (_rs[state] != value) _stateDirty = true;
    _rs[state] = value;
    return D3D_OK;
  }
  HRESULT GetRenderState(D3DRENDERSTATETYPE state, uint32_t *value) override {
    if (unsigned(state) >= kStates || !value) return DDERR_INVALIDPARAMS;
    *value = _rs[state];
    return D3D_OK;
  }

  HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX *m) override {
    D3DMATRIX *slot = transform(type);
    if (!slot || !m) return DDERR_INVALIDPARAMS;
    *slot = *m;
    if (type != D3DTRANSFORMSTATE_WORLD) _viewProjDirty = true;
    _matrixDirty = true;
    return D3D_OK;
  }
  HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX *m) override {
    D3DMATRIX *slot = transform(type);
    if (!slot || !m) return DDERR_INVALIDPARAMS;
    *m = *slot;
    return D3D_OK;
  }

  HRESULT Clear(uint32_t count, D3DRECT *rects, uint32_t flags, D3DCOLOR color, float,
                uint32_t) override {
    if (count > 0 && !rects) return DDERR_INVALIDPARAMS;
    if (!(flags & D3DCLEAR_TARGET)) return D3D_OK;  // there is no depth or stencil buffer
    if (!_target || _target->lost()) return DDERR_SURFACELOST;
    if (_target->locked()) return DDERR_SURFACEBUSY;
    D3DRECT whole = {long(_vp.dwX), long(_vp.dwY), long(_vp.dwX + _vp.dwWidth),
                     long(_vp.dwY + _vp.dwHeight)};
    if (count == 0) {
      rects = &whole;
      count = 1;
    }
    RecordedOp op;
    op.kind = RecordedOp::kClear;
    op.color = swNativeFromArgb(_target->format(), color);
    for (uint32_t i = 0; i < count; ++i) {
      // Clearing never reaches outside the viewport.
      op.rect[0] = std::max(rects[i].x1, whole.x1);
      op.rect[1] = std::max(rects[i].y1, whole.y1);
      op.rect[2] = std::min(rects[i].x2, whole.x2);
      op.rect[3] = std::min(rects[i].y2, whole.y2);
      makeRoom();
      if (op.rect[0] < op.rect[2] && op.rect[1] < op.rect[3]) record(op);
    }
    return D3D_OK;
  }

  HRESULT BeginScene() override {
    if (_inScene) return D3DERR_SCENE_IN_SCENE;
    _inScene = true;
    return D3D_OK;
  }
  HRESULT EndScene() override {
    if (!_inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    _inScene = false;
    return D3D_OK;
  }

  HRESULT SetTexture(uint32_t stage, IDirectDrawSurface7 *texture) override {
    if (stage >= 8) return DDERR_INVALIDPARAMS;
    SwSurface *s = static_cast<SwSurface *>(texture);
    if (s && !(s->caps() & DDSCAPS_TEXTURE)) return DDERR_INVALIDCAPS;
    if (stage != 0) return D3D_OK;  // one stage is all this device blends
    if (s == _texture) return D3D_OK;
    if (s) s->AddRef();
    if (_texture) _texture->Release();
    _texture = s;
    _textureDirty = true;
    return D3D_OK;
  }
  HRESULT GetTexture(uint32_t stage, IDirectDrawSurface7 **out) override {
    if (!out || stage >= 8) return DDERR_INVALIDPARAMS;
    *out = stage == 0 ? _texture : nullptr;
    if (*out) (*out)->AddRef();
    return D3D_OK;
  }

  HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                               uint32_t value) override {
    if (stage >= 8 || unsigned(type) >= kStageStates) return DDERR_INVALIDPARAMS;
    if (stage != 0) return D3D_OK;
    if (_tss[type] != value) _stateDirty = true;
    _tss[type] = value;
    if (type == D3DTSS_ADDRESS && (_tss[D3DTSS_ADDRESSU] != value || _tss[D3DTSS_ADDRESSV] != value)) {
      _tss[D3DTSS_ADDRESSU] = _tss[D3DTSS_ADDRESSV] = value;
      _stateDirty = true;
    }
    return D3D_OK;
  }
  HRESULT GetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                               uint32_t *value) override {
    if (stage >= 8 || unsigned(type) >= kStageStates || !value) return DDERR_INVALIDPARAMS;
    *value = stage == 0 ? _tss[type] : 0;
    return D3D_OK;
  }

  HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t fvf, void *vertices, uint32_t count,
                        uint32_t) override {
    if (!_inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (fvf != D3DFVF_LVERTEX) return D3DERR_INVALIDVERTEXFORMAT;
    if (!vertices || count == 0 || count > kMaxVertices) return DDERR_INVALIDPARAMS;
    if (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) return DDERR_INVALIDPARAMS;
    if (!_target || _target->lost()) return DDERR_SURFACELOST;
    if (_target->locked() || (_texture && _texture->locked())) return DDERR_SURFACEBUSY;

    prepare();
    if (_st.hasTexture && _texture->drawsPending())
      swFlushDrawing();  // it is drawn on: what is drawn on it so far comes first
    const D3DLVERTEX *in = static_cast<const D3DLVERTEX *>(vertices);
    _clip.resize(count);
    for (uint32_t i = 0; i < count; ++i) transformVertex(in[i], _clip[i]);

    switch (type) {
      case D3DPT_POINTLIST:
        for (uint32_t i = 0; i < count; ++i) drawPoint(_clip[i]);
        break;
      case D3DPT_LINELIST:
        for (uint32_t i = 0; i + 1 < count; i += 2) drawLine(_clip[i], _clip[i + 1]);
        break;
      case D3DPT_LINESTRIP:
        for (uint32_t i = 0; i + 1 < count; ++i) drawLine(_clip[i], _clip[i + 1]);
        break;
      case D3DPT_TRIANGLELIST:
        for (uint32_t i = 0; i + 2 < count; i += 3)
          drawTriangle(_clip[i], _clip[i + 1], _clip[i + 2], in[i].color);
        break;
      case D3DPT_TRIANGLESTRIP:
        if (count == 4 && drawQuad()) break;
        for (uint32_t i = 0; i + 2 < count; ++i) {
          // Odd triangles swap their first two vertices so the strip keeps one winding.
          if (i & 1)
            drawTriangle(_clip[i + 1], _clip[i], _clip[i + 2], in[i].color);
          else
            drawTriangle(_clip[i], _clip[i + 1], _clip[i + 2], in[i].color);
        }
        break;
      case D3DPT_TRIANGLEFAN:
        for (uint32_t i = 1; i + 1 < count; ++i)
          drawTriangle(_clip[0], _clip[i], _clip[i + 1], in[i - 1].color);
        break;
    }
    return D3D_OK;
  }

  HRESULT PreLoad(IDirectDrawSurface7 *texture) override {
    SwSurface *s = static_cast<SwSurface *>(texture);
    if (!s) return DDERR_INVALIDPARAMS;
    if (s->lost()) return DDERR_SURFACELOST;
    s->texels();
    return D3D_OK;
  }

private:
  static const unsigned kStates = 256;
  static const unsigned kStageStates = 32;

  void setTarget(SwSurface *s) {
    s->AddRef();
    if (_target) _target->Release();
    _target = s;
    _vp = {0, 0, uint32_t(s->width()), uint32_t(s->height()), 0.0f, 1.0f};
    _stateDirty = true;
  }

  D3DMATRIX *transform(D3DTRANSFORMSTATETYPE type) {
    switch (type) {
      case D3DTRANSFORMSTATE_WORLD: return &_world;
      case D3DTRANSFORMSTATE_VIEW: return &_view;
      case D3DTRANSFORMSTATE_PROJECTION: return &_proj;
    }
    return nullptr;
  }

  static bool usesTex(uint32_t op, uint32_t a1, uint32_t a2) {
    if (op == D3DTOP_SELECTARG1) return a1 == D3DTA_TEXTURE;
    if (op == D3DTOP_SELECTARG2) return a2 == D3DTA_TEXTURE;
    if (op == D3DTOP_DISABLE) return false;
    return a1 == D3DTA_TEXTURE || a2 == D3DTA_TEXTURE;
  }
  static bool usesDiffuse(uint32_t op, uint32_t a1, uint32_t a2) {
    if (op == D3DTOP_SELECTARG1) return a1 != D3DTA_TEXTURE;
    if (op == D3DTOP_SELECTARG2) return a2 != D3DTA_TEXTURE;
    if (op == D3DTOP_DISABLE) return true;
    return a1 != D3DTA_TEXTURE || a2 != D3DTA_TEXTURE;
  }

  // Gathers the state the rasteriser needs, once per call.
  void prepare() {
    if (_viewProjDirty) {
      mul(_view, _proj, _vp2);
      _mTopIsVp2 = false;
      _vp2Finite = true;
      for (auto &row : _vp2)
        for (double x : row) _vp2Finite = _vp2Finite && std::isfinite(x);
      _viewProjDirty = false;
    }
    if (_matrixDirty) {
      combine();
      _matrixDirty = false;
    }

    SwRasterState &st = _st;
    if (!_stateDirty) {
      if (_textureDirty) {
        setTextureState(st);
        _textureDirty = false;
      }
      return;
    }
    _stateDirty = false;
    _textureDirty = false;
    st = SwRasterState();
    st.blend = _rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
    st.srcBlend = int(_rs[D3DRENDERSTATE_SRCBLEND]);
    st.dstBlend = int(_rs[D3DRENDERSTATE_DESTBLEND]);
    st.flatShade = _rs[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
    uint32_t cop = _tss[D3DTSS_COLOROP], aop = _tss[D3DTSS_ALPHAOP];
    if (cop == D3DTOP_DISABLE) aop = D3DTOP_DISABLE;  // a disabled stage passes the diffuse on
    st.colorUsesTex = usesTex(cop, _tss[D3DTSS_COLORARG1], _tss[D3DTSS_COLORARG2]);
    st.colorUsesDiffuse = usesDiffuse(cop, _tss[D3DTSS_COLORARG1], _tss[D3DTSS_COLORARG2]);
    st.alphaUsesTex = usesTex(aop, _tss[D3DTSS_ALPHAARG1], _tss[D3DTSS_ALPHAARG2]);
    st.alphaUsesDiffuse = usesDiffuse(aop, _tss[D3DTSS_ALPHAARG1], _tss[D3DTSS_ALPHAARG2]);
    setTextureState(st);
    st.addressU = int(_tss[D3DTSS_ADDRESSU]);
    st.addressV = int(_tss[D3DTSS_ADDRESSV]);
    st.magFilter = int(_tss[D3DTSS_MAGFILTER]);
    st.minFilter = int(_tss[D3DTSS_MINFILTER]);
    st.clipX0 = int(_vp.dwX);
    st.clipY0 = int(_vp.dwY);
    st.clipX1 = std::min(int(_vp.dwX + _vp.dwWidth), _target->width());
    st.clipY1 = std::min(int(_vp.dwY + _vp.dwHeight), _target->height());
  }

  // The texture's part of the raster state; the rest stays as gathered. The
  // texels are looked up when the primitives are drawn.
  void setTextureState(SwRasterState &st) {
    // A stage with no texture reads its texture argument as opaque white.
    st.hasTexture = _texture && (st.colorUsesTex || st.alphaUsesTex);
    st.tex = SwTexture();
    if (st.hasTexture) {
      st.tex.width = _texture->width();
      st.tex.height = _texture->height();
    }
  }

  // world x view x projection. A world that only moves (every 2D blit) changes
  // the last row alone; the other rows are then view x projection as it is, the
  // same numbers the full product gives when that has no infinity or NaN.
  void combine() {
    const float *w = &_world._11;
    const bool moveOnly = _vp2Finite && w[0] == 1 && w[1] == 0 && w[2] == 0 && w[3] == 0 &&
                          w[4] == 0 && w[5] == 1 && w[6] == 0 && w[7] == 0 && w[8] == 0 &&
                          w[9] == 0 && w[10] == 1 && w[11] == 0 && w[15] == 1;
    const int first = moveOnly ? 3 : 0;
    if (moveOnly && !_mTopIsVp2)
      for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) _m[r][c] = _vp2[r][c];
    _mTopIsVp2 = moveOnly;
    for (int r = first; r < 4; ++r)
      for (int c = 0; c < 4; ++c)
        _m[r][c] = double(w[r * 4]) * _vp2[0][c] + double(w[r * 4 + 1]) * _vp2[1][c] +
                   double(w[r * 4 + 2]) * _vp2[2][c] + double(w[r * 4 + 3]) * _vp2[3][c];
  }

  void transformVertex(const D3DLVERTEX &v, ClipVertex &o) const {
    double x = v.x, y = v.y, z = v.z;
    o.x = x * _m[0][0] + y * _m[1][0] + z * _m[2][0] + _m[3][0];
    o.y = x * _m[0][1] + y * _m[1][1] + z * _m[2][1] + _m[3][1];
    o.z = x * _m[0][2] + y * _m[1][2] + z * _m[2][2] + _m[3][2];
    o.w = x * _m[0][3] + y * _m[1][3] + z * _m[2][3] + _m[3][3];
    o.u = v.tu;
    o.v = v.tv;
    o.color = v.color;
    o.original = true;
  }

  SwVertex project(const ClipVertex &p) const {
    SwVertex s;
    project(p, s);
    return s;
  }
  // Written in place: a vertex returned by value and copied on stalls the
  // processor on every sprite (its fields are stored one by one, then loaded whole).
  void project(const ClipVertex &p, SwVertex &s) const {
    // Affine transforms (every 2D view) leave w at 1: no division then.
    double x = p.x, y = p.y;
    if (p.w != 1.0) {
      double iw = 1.0 / p.w;
      x *= iw;
      y *= iw;
    }
    s.x = float(_vp.dwX + (1.0 + x) * _vp.dwWidth * 0.5);
    s.y = float(_vp.dwY + (1.0 - y) * _vp.dwHeight * 0.5);
    uint32_t col = p.color;
    if (!p.original) {
      col = 0;
      for (int i = 0; i < 4; ++i)
        col |= uint32_t(std::max(0.0, std::min(255.0, p.c[i])) + 0.5) << (24 - 8 * i);
    }
    s.color = col;
    s.u = float(p.u);
    s.v = float(p.v);
  }

  // True when the screen winding of the triangle is one the cull mode removes.
  bool culled(const SwVertex &a, const SwVertex &b, const SwVertex &c) const {
    uint32_t mode = _rs[D3DRENDERSTATE_CULLMODE];
    if (mode != D3DCULL_CW && mode != D3DCULL_CCW) return false;
    double area = (double(b.x) - a.x) * (double(c.y) - a.y) - (double(c.x) - a.x) * (double(b.y) - a.y);
    // With y growing downward, a positive area is clockwise on screen.
    return mode == D3DCULL_CW ? area > 0 : area < 0;
  }

  bool drawQuad() {
    for (int i = 0; i < 4; ++i)
      if (!inside(_clip[i])) return false;
    RecordedOp op;
    op.kind = RecordedOp::kQuad;
    SwVertex *v = op.v;
    for (int i = 0; i < 4; ++i) project(_clip[i], v[i]);
    if (culled(v[0], v[1], v[2]) || culled(v[2], v[1], v[3])) return false;
    recordPrimitive(op);
    return true;
  }

  void drawTriangle(const ClipVertex &a, const ClipVertex &b, const ClipVertex &c,
                    D3DCOLOR flatColor) {
    if (inside(a) && inside(b) && inside(c)) {
      RecordedOp op;
      op.kind = RecordedOp::kTriangle;
      op.color = flatColor;
      project(a, op.v[0]);
      project(b, op.v[1]);
      project(c, op.v[2]);
      if (!culled(op.v[0], op.v[1], op.v[2])) recordPrimitive(op);
      return;
    }
    // Sutherland-Hodgman against each plane in turn.
    ClipVertex bufA[16], bufB[16];
    ClipVertex *in = bufA, *out = bufB;
    int n = 3;
    in[0] = a;
    in[1] = b;
    in[2] = c;
    for (int p = 0; p < kPlanes && n > 0; ++p) {
      int m = 0;
      for (int i = 0; i < n; ++i) {
        const ClipVertex &s = in[i], &e = in[(i + 1) % n];
        double ds = planeDist(s, p), de = planeDist(e, p);
        if (!(ds == ds) || !(de == de)) return;  // not a number: nothing sensible to draw
        if (ds >= 0) out[m++] = s;
        if ((ds >= 0) != (de >= 0)) out[m++] = lerp(s, e, ds / (ds - de));
      }
      n = m;
      std::swap(in, out);
    }
    if (n < 3) return;
    SwVertex sv[16];
    for (int i = 0; i < n; ++i) sv[i] = project(in[i]);
    RecordedOp op;
    op.kind = RecordedOp::kTriangle;
    op.color = flatColor;
    for (int i = 1; i + 1 < n; ++i) {
      if (culled(sv[0], sv[i], sv[i + 1])) continue;
      op.v[0] = sv[0], op.v[1] = sv[i], op.v[2] = sv[i + 1];
      recordPrimitive(op);
    }
  }

  void drawPoint(const ClipVertex &p) {
    if (!inside(p)) return;
    RecordedOp op;
    op.kind = RecordedOp::kPoint;
    project(p, op.v[0]);
    recordPrimitive(op);
  }

  void drawLine(ClipVertex a, ClipVertex b) {
    double t0 = 0, t1 = 1;
    for (int p = 0; p < kPlanes; ++p) {
      double da = planeDist(a, p), db = planeDist(b, p);
      if (!(da == da) || !(db == db)) return;
      if (da < 0 && db < 0) return;
      if (da < 0) t0 = std::max(t0, da / (da - db));
      if (db < 0) t1 = std::min(t1, da / (da - db));
    }
    if (t0 > t1) return;
    ClipVertex ca = t0 > 0 ? lerp(a, b, t0) : a, cb = t1 < 1 ? lerp(a, b, t1) : b;
    RecordedOp op;
    op.kind = RecordedOp::kLine;
    project(ca, op.v[0]);
    project(cb, op.v[1]);
    recordPrimitive(op);
  }

  std::atomic<unsigned long> _refs{1};
  SwSurface *_target = nullptr;
  SwSurface *_texture = nullptr;
  D3DVIEWPORT7 _vp{};
  uint32_t _rs[kStates];
  uint32_t _tss[kStageStates];
  D3DMATRIX _world, _view, _proj;
  bool _inScene = false;
  bool _stateDirty = true;    // the gathered raster state needs rebuilding
  bool _textureDirty = true;  // only its texture part does

  // view x projection, remade when either changes; world x that, per call.
  double _vp2[4][4];
  bool _viewProjDirty = true;
  bool _vp2Finite = true;
  bool _matrixDirty = true;  // _m needs remaking
  double _m[4][4];
  bool _mTopIsVp2 = false;  // _m's first three rows are _vp2's (a world that only moves)
  SwRasterState _st;
  std::vector<ClipVertex> _clip;

  // Recorded, not yet drawn.
  std::vector<RecordedOp> _ops;
  std::vector<RecordedState> _states;
  std::vector<SwSurface *> _held;  // a reference to each texture the states name
  uint64_t _holdStamp = swNewStamp();
  bool _selfFed = false;  // a recorded primitive reads the target it draws on
  // The last two lists of calls drawn over a whole target, newest first, and the
  // stamp of what each left there (a flip chain holds both at once).
  struct Drawn {
    std::vector<RecordedOp> ops;
    std::vector<RecordedState> states;
    uint64_t stamp = 0;
    bool valid = false;
    // How each op was set up when drawn in bands (see drawBanded).
    std::vector<SwRectJob> jobs;
    std::vector<uint8_t> isJob;
    bool jobsValid = false;
  };
  Drawn _drawn[2];
  std::vector<PixelArea> _areas;  // what differs from the calls the target holds
  std::vector<RECT> _rects;
  // Drawing: the state in use, and a banded frame's set-up (kept for their memory).
  uint32_t _current = UINT32_MAX;
  SwRasterState _base;
  std::vector<SwRectJob> _jobs;
  std::vector<uint8_t> _isJob;  // kNoJob, kJob or kFreshOnly per op
  bool _banded = false;         // _jobs and _isJob hold this flush's set-up
  std::vector<uint32_t> _bandStart, _bandFill, _bandOps;

public:
  // Draws what was recorded: nothing when the target already holds what it
  // draws, only the areas where it differs when the target holds calls that
  // differ a little, else all of it.
  void flush() {
    if (_ops.empty()) return;
    gRecording.erase(std::find(gRecording.begin(), gRecording.end(), this));
    _target->setDrawsPending(false);
    const bool whole = !_selfFed && coversTarget(_ops.front());
    Drawn *held = nullptr;  // the calls whose result the target holds
    for (Drawn &d : _drawn)
      if (whole && d.valid && d.stamp == _target->version()) held = &d;
    Drawn *same = nullptr;  // calls equal to these, drawn before
    for (Drawn &d : _drawn)
      if (whole && d.valid && sameCalls(d)) same = &d;
    if (same && same == held) {
      // Nothing to draw.
    } else if (held && changedAreas(*held)) {
      const uint64_t from = held->stamp;
      for (const PixelArea &a : _areas) draw(&a);
      _rects.clear();
      for (const PixelArea &a : _areas) _rects.push_back(RECT{a.x0, a.y0, a.x1, a.y1});
      if (same) _target->sameAs(same->stamp);
      _target->changedOnly(from, _rects);  // the display need not look elsewhere
    } else {
      draw(nullptr);
      if (same) _target->sameAs(same->stamp);  // the same calls leave the same pixels
    }
    for (SwSurface *t : _held) t->Release();
    _held.clear();
    _holdStamp = swNewStamp();
    if (!whole) {
      _drawn[0].valid = _drawn[1].valid = false;
    } else if (same) {
      if (same != &_drawn[0]) std::swap(_drawn[0], _drawn[1]);
    } else {
      std::swap(_drawn[0], _drawn[1]);
      _drawn[0].ops.swap(_ops);
      _drawn[0].states.swap(_states);
      _drawn[0].stamp = _target->version();
      _drawn[0].valid = true;
      _drawn[0].jobs.swap(_jobs);
      _drawn[0].isJob.swap(_isJob);
      _drawn[0].jobsValid = _banded;
    }
    _banded = false;
    _ops.clear();
    _states.clear();
    _selfFed = false;
  }

private:
  void record(const RecordedOp &op) {
    if (_ops.empty()) {
      gRecording.push_back(this);
      _target->setDrawsPending(true);
    }
    _ops.push_back(op);
    _ops.back().area = reach(op, _states);
  }

  // Drawing that is never read is drawn from time to time all the same, so what
  // is recorded stays bounded.
  void makeRoom() {
    if (_ops.size() >= kMaxRecorded) flush();
  }

  // A primitive in the current raster state.
  void recordPrimitive(RecordedOp &op) {
    makeRoom();
    SwSurface *tex = _st.hasTexture ? _texture : nullptr;
    if (tex == _target) _selfFed = true;  // reads what it draws on: never skipped
    const uint64_t version = tex ? tex->version() : 0;
    // The texture first: sprites one after another mostly differ by it alone.
    if (_states.empty() || _states.back().texture != tex ||
        _states.back().textureVersion != version || !sameRaster(_states.back().st, _st)) {
      if (tex && tex->heldFor() != _holdStamp) {
        tex->AddRef();
        tex->setHeldFor(_holdStamp);
        _held.push_back(tex);
      }
      _states.push_back(RecordedState{_st, tex, version});
    }
    op.state = uint32_t(_states.size() - 1);
    record(op);
  }

  // Whether the op writes every pixel of the target whatever it held: a clear of
  // it all, or an unblended rectangle over every pixel centre.
  bool coversTarget(const RecordedOp &op) const {
    const int w = _target->width(), h = _target->height();
    if (op.kind == RecordedOp::kClear)
      return op.rect[0] == 0 && op.rect[1] == 0 && op.rect[2] == w && op.rect[3] == h;
    if (op.kind != RecordedOp::kQuad) return false;
    const SwRasterState &st = _states[op.state].st;
    if (st.blend || st.clipX0 != 0 || st.clipY0 != 0 || st.clipX1 != w || st.clipY1 != h)
      return false;
    // A strip covers the rectangle when its first and last corners are opposite.
    const SwVertex &a = op.v[0], &b = op.v[1], &c = op.v[2], &d = op.v[3];
    const bool corners = (b.x == a.x && b.y == d.y && c.x == d.x && c.y == a.y) ||
                         (b.x == d.x && b.y == a.y && c.x == a.x && c.y == d.y);
    // Pixel centres sit on whole coordinates: every one must be well inside.
    return corners && std::min(a.x, d.x) <= -0.25f && std::min(a.y, d.y) <= -0.25f &&
           std::max(a.x, d.x) >= float(w) - 0.75f && std::max(a.y, d.y) >= float(h) - 0.75f;
  }

  bool sameOp(size_t i, const Drawn &d) const {
    const RecordedOp &a = _ops[i], &b = d.ops[i];
    // The state first: sprites that change mostly change texture.
    return a.kind == b.kind && a.color == b.color &&
           (a.kind == RecordedOp::kClear || _states[a.state] == d.states[b.state]) &&
           std::memcmp(a.v, b.v, sizeof a.v) == 0 &&
           std::memcmp(a.rect, b.rect, sizeof a.rect) == 0;
  }

  bool sameCalls(const Drawn &d) const {
    if (d.ops.size() != _ops.size()) return false;
    for (size_t i = 0; i < _ops.size(); ++i)
      if (!sameOp(i, d)) return false;
    return true;
  }

  // The pixels an op may write: its vertices' box, a pixel wider each side,
  // within its clip rectangle (the whole rectangle when a position is not a number).
  static PixelArea reach(const RecordedOp &op, const std::vector<RecordedState> &states) {
    if (op.kind == RecordedOp::kClear)
      return {int(op.rect[0]), int(op.rect[1]), int(op.rect[2]), int(op.rect[3])};
    const SwRasterState &st = states[op.state].st;
    const PixelArea clip = {st.clipX0, st.clipY0, st.clipX1, st.clipY1};
    const int n = op.kind == RecordedOp::kQuad ? 4 : op.kind == RecordedOp::kTriangle ? 3
                  : op.kind == RecordedOp::kLine ? 2 : 1;
    float x0 = op.v[0].x, y0 = op.v[0].y, x1 = x0, y1 = y0;
    for (int i = 0; i < n; ++i) {
      const SwVertex &v = op.v[i];
      if (!std::isfinite(v.x) || !std::isfinite(v.y)) return clip;
      x0 = std::min(x0, v.x), x1 = std::max(x1, v.x);
      y0 = std::min(y0, v.y), y1 = std::max(y1, v.y);
    }
    // Projected positions lie inside the guard band: they fit an int.
    return clip.meet(
        {floorToInt(x0) - 1, floorToInt(y0) - 1, ceilToInt(x1) + 2, ceilToInt(y1) + 2});
  }

  // Fills _areas with where the recorded calls and the held ones can leave
  // different pixels: the reach, old and new, of every op that differs (ops
  // that do not differ draw the same pixels the same way there). False when the
  // lists are not op for op alike or the areas cover too much to be worth it.
  bool changedAreas(const Drawn &held) {
    _areas.clear();
    if (held.ops.size() != _ops.size()) return false;
    // The areas never overlap, and a merged area holds those it replaced, so
    // their total only grows: it is given up as soon as it is too much.
    const long long limit = (long long)_target->width() * _target->height();
    long long total = 0;
    auto size = [](const PixelArea &a) { return (long long)(a.x1 - a.x0) * (a.y1 - a.y0); };
    for (size_t i = 0; i < _ops.size(); ++i) {
      if (sameOp(i, held)) continue;
      PixelArea a = _ops[i].area.join(held.ops[i].area);
      if (a.empty()) continue;
      // Overlapping areas become one, so no pixel is drawn twice.
      for (size_t j = 0; j < _areas.size();) {
        if (_areas[j].overlaps(a)) {
          a = a.join(_areas[j]);
          total -= size(_areas[j]);
          _areas.erase(_areas.begin() + long(j));
          j = 0;
        } else {
          ++j;
        }
      }
      _areas.push_back(a);
      total += size(a);
      if (total * 2 > limit) return false;
    }
    return true;
  }

  // Draws the recorded ops, all of them or only their pixels inside `area`.
  void draw(const PixelArea *area) {
    // Surfaces read while drawing (texels, the target's own memory) must not
    // draw this device's calls again.
    const bool outer = !gFlushing;
    gFlushing = true;
    _target->unshare();  // drawing on a primary must not reach a surface sharing it
    const SwTarget tg{_target->bits(), _target->pitch(), _target->width(), _target->height(),
                      _target->format()};
    _current = UINT32_MAX;
    if (!area && !_selfFed && swBytesPerPixel(tg.fmt) == 4 && !SwReferenceRasterizer()) {
      drawBanded(tg);
    } else {
      for (const RecordedOp &op : _ops) {
        if (area && !op.area.overlaps(*area)) continue;
        ++gDrawn;
        drawOp(tg, op, area);
      }
    }
    _target->touched();
    if (outer) gFlushing = false;
  }

  // A whole frame is drawn a band of rows at a time, every op over one band
  // before the next band, so the band's pixels stay in the processor's cache
  // from the first op that writes them to the last. Sprites drawn straight from
  // their texture rows are set up once for all their bands. Not for ops reading
  // the target itself: a band must not read rows later ops have yet to draw.
  void drawBanded(const SwTarget &tg) {
    const int bands = (tg.height + kBandRows - 1) / kBandRows;
    _jobs.resize(_ops.size());
    _isJob.assign(_ops.size(), kNoJob);
    _banded = true;
    // Sprites in the places and states of the frame before are set up as they
    // were then (the pegs of a board that change colour, say).
    const Drawn *memo = nullptr;
    for (const Drawn &d : _drawn)
      if (!memo && d.valid && d.jobsValid) memo = &d;
    _bandStart.assign(size_t(bands) + 1, 0);
    // Each op goes to the list of every band it may touch, lists in op order.
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1) {
        for (int b = 0; b < bands; ++b) _bandStart[size_t(b) + 1] += _bandStart[size_t(b)];
        _bandOps.resize(_bandStart[size_t(bands)]);
        _bandFill.assign(_bandStart.begin(), _bandStart.end() - 1);
      }
      for (size_t i = 0; i < _ops.size(); ++i) {
        int y0, y1;
        if (pass == 0) {
          rowsOf(tg, i, memo, y0, y1);
          _jobs[i].y0 = y0, _jobs[i].y1 = y1;  // remembered for the second pass
        } else {
          y0 = _jobs[i].y0, y1 = _jobs[i].y1;
        }
        if (y0 >= y1) continue;
        for (int b = y0 / kBandRows; b <= (y1 - 1) / kBandRows; ++b) {
          if (pass == 0)
            ++_bandStart[size_t(b) + 1];
          else
            _bandOps[_bandFill[size_t(b)]++] = uint32_t(i);
        }
      }
    }
    for (int b = 0; b < bands; ++b) {
      const PixelArea band = {0, b * kBandRows, tg.width, std::min(tg.height, (b + 1) * kBandRows)};
      for (uint32_t k = _bandStart[size_t(b)]; k < _bandStart[size_t(b) + 1]; ++k) {
        const uint32_t i = _bandOps[k];
        if (_isJob[i] == kJob)
          swRunRect(tg, _jobs[i], band.y0, band.y1);
        else
          drawOp(tg, _ops[i], &band);
      }
    }
    gDrawn += static_cast<long long>(_ops.size());
  }

  // The rows op i may write, [y0, y1); a sprite drawn straight from its texture
  // rows is set up here as a job.
  void rowsOf(const SwTarget &tg, size_t i, const Drawn *memo, int &y0, int &y1) {
    const RecordedOp &op = _ops[i];
    if (op.kind == RecordedOp::kQuad) {
      const SwRasterState &st = raster(op);
      if (!fromMemo(i, memo, st)) {
        const bool job = swQuadAsRect(tg, st, op.v[0], op.v[1], op.v[2], op.v[3], _jobs[i]);
        _isJob[i] = job ? kJob : (st.hasTexture && !st.tex.texels) ? kFreshOnly : kNoJob;
      }
      if (_isJob[i] == kJob) {
        y0 = _jobs[i].y0, y1 = _jobs[i].y1;
        return;
      }
    }
    const PixelArea r = op.area.meet({0, 0, tg.width, tg.height});
    y0 = r.empty() ? 0 : r.y0;
    y1 = r.empty() ? 0 : r.y1;
  }

  // Whether op i has the corners and the state of op i of `memo` but for the
  // texels it reads (of the same size): then it is set up as that one was, its
  // job reading its own texels.
  bool fromMemo(size_t i, const Drawn *memo, const SwRasterState &st) {
    if (!memo || i >= memo->ops.size() || memo->isJob[i] == kFreshOnly) return false;
    if (st.hasTexture && !st.tex.texels) return false;
    const RecordedOp &op = _ops[i], &old = memo->ops[i];
    if (old.kind != op.kind || std::memcmp(old.v, op.v, sizeof op.v) != 0 ||
        !sameRaster(memo->states[old.state].st, st))
      return false;
    _isJob[i] = memo->isJob[i];
    if (_isJob[i] == kJob) {
      _jobs[i] = memo->jobs[i];
      _jobs[i].src = st.tex.texels + _jobs[i].offset;
    }
    return true;
  }

  // The raster state of a recorded primitive with its texels.
  const SwRasterState &raster(const RecordedOp &op) {
    if (op.state != _current) {
      _current = op.state;
      _base = _states[_current].st;
      if (_base.hasTexture) _base.tex.texels = _states[_current].texture->texels();
    }
    return _base;
  }

  // Draws one recorded op, or only its pixels inside `area`.
  void drawOp(const SwTarget &tg, const RecordedOp &op, const PixelArea *area) {
    if (op.kind == RecordedOp::kClear) {
      PixelArea r = {int(op.rect[0]), int(op.rect[1]), int(op.rect[2]), int(op.rect[3])};
      clear(tg, area ? r.meet(*area) : r, op.color);
      return;
    }
    SwRasterState st = raster(op);
    if (area) {
      const PixelArea c = PixelArea{st.clipX0, st.clipY0, st.clipX1, st.clipY1}.meet(*area);
      st.clipX0 = c.x0, st.clipY0 = c.y0, st.clipX1 = c.x1, st.clipY1 = c.y1;
    }
    const SwVertex *v = op.v;
    switch (op.kind) {
      case RecordedOp::kTriangle: swDrawTriangle(tg, st, v[0], v[1], v[2], op.color); break;
      case RecordedOp::kQuad: swDrawQuadStrip(tg, st, v[0], v[1], v[2], v[3]); break;
      case RecordedOp::kPoint: swDrawPoint(tg, st, v[0]); break;
      case RecordedOp::kLine: swDrawLine(tg, st, v[0], v[1]); break;
      case RecordedOp::kClear: break;
    }
  }

  static void clear(const SwTarget &tg, const PixelArea &r, uint32_t color) {
    for (long y = r.y0; y < r.y1; ++y) {
      uint8_t *row = tg.bits + y * tg.pitch;
      if (swBytesPerPixel(tg.fmt) == 4) {
        uint32_t *p = reinterpret_cast<uint32_t *>(row);
        std::fill(p + r.x0, p + r.x1, color);
      } else {
        uint16_t *p = reinterpret_cast<uint16_t *>(row);
        std::fill(p + r.x0, p + r.x1, uint16_t(color));
      }
    }
  }
};

}  // namespace

void swFlushDrawing() {
  if (gFlushing || gRecording.empty()) return;
  gFlushing = true;
  while (!gRecording.empty()) gRecording.back()->flush();
  gFlushing = false;
}

uint64_t swNewStamp() { return ++gStamps; }

long long SwPrimitivesDrawn() { return gDrawn; }

void SwFinishDrawing() { swFlushDrawing(); }

HRESULT swCreateDevice(SwSurface *target, IDirect3DDevice7 **out) {
  if (!(target->caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
  if (target->lost()) return DDERR_SURFACELOST;
  *out = new (std::nothrow) SwDevice(target);
  return *out ? D3D_OK : DDERR_OUTOFMEMORY;
}
