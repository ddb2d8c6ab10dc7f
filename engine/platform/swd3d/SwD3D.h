// The engine's software 3D device: the small subset of DirectDraw 7 and Direct3D 7
// that the Direct3D window and pictures use, rasterised on the CPU. Surfaces in
// 32-bit (A/X)RGB 8888 and 16-bit ARGB 4444, RGB 555/1555, RGB 565; lit vertices
// only; one texture stage. Not thread-safe: one thread owns a device and its surfaces.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/KWindowHandle.h"

// ---------------------------------------------------------------------------
// Results
typedef long HRESULT;
#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)

enum : HRESULT {
  DD_OK = 0,
  D3D_OK = 0,
  S_OK = 0,
  DDERR_GENERIC = -1000,
  DDERR_INVALIDPARAMS,
  DDERR_OUTOFMEMORY,
  DDERR_SURFACELOST,
  DDERR_SURFACEBUSY,
  DDERR_NOTLOCKED,
  DDERR_INVALIDPIXELFORMAT,
  DDERR_INVALIDMODE,
  DDERR_INVALIDCAPS,
  DDERR_NOCOOPERATIVELEVELSET,
  DDERR_NOEXCLUSIVEMODE,
  DDERR_NOTFLIPPABLE,
  DDERR_NOTFOUND,
  DDERR_UNSUPPORTED,
  DDERR_INVALIDRECT,
  D3DERR_SCENE_IN_SCENE,
  D3DERR_SCENE_NOT_IN_SCENE,
  D3DERR_INVALIDVERTEXFORMAT,
  D3DERR_VIEWPORTHASNODEVICE,
  D3DERR_NOHARDWAREDEVICE,
  E_NOINTERFACE,
};

// ---------------------------------------------------------------------------
// Interface identities (compared by value)
struct SwIID {
  int id;
  bool operator==(const SwIID &o) const { return id == o.id; }
  bool operator!=(const SwIID &o) const { return id != o.id; }
};
typedef SwIID IID;
typedef SwIID CLSID;
typedef const SwIID &REFIID;
typedef const SwIID &REFCLSID;
extern const IID IID_IDirectDraw7;
extern const IID IID_IDirect3D7;
extern const IID IID_IDirect3DTnLHalDevice;  // hardware kinds: never available here
extern const IID IID_IDirect3DHALDevice;
extern const IID IID_IDirect3DRGBDevice;  // the software rasteriser

// ---------------------------------------------------------------------------
// Plain records
typedef uint32_t D3DCOLOR;  // 0xAARRGGBB

struct RECT {
  long left, top, right, bottom;
};

struct DDPIXELFORMAT {
  uint32_t dwSize;
  uint32_t dwFlags;  // DDPF_*
  uint32_t dwRGBBitCount;
  uint32_t dwRBitMask, dwGBitMask, dwBBitMask, dwRGBAlphaBitMask;
};
enum : uint32_t { DDPF_ALPHAPIXELS = 0x1, DDPF_RGB = 0x40 };

struct DDSCAPS2 {
  uint32_t dwCaps, dwCaps2, dwCaps3, dwCaps4;
};
enum : uint32_t {
  DDSCAPS_BACKBUFFER = 0x4,
  DDSCAPS_COMPLEX = 0x8,
  DDSCAPS_FLIP = 0x10,
  DDSCAPS_FRONTBUFFER = 0x20,
  DDSCAPS_OFFSCREENPLAIN = 0x40,
  DDSCAPS_PRIMARYSURFACE = 0x200,
  DDSCAPS_SYSTEMMEMORY = 0x800,
  DDSCAPS_TEXTURE = 0x1000,
  DDSCAPS_3DDEVICE = 0x2000,
  DDSCAPS_VIDEOMEMORY = 0x4000,
  DDSCAPS_LOCALVIDMEM = 0x10000000,
};
enum : uint32_t { DDSCAPS2_TEXTUREMANAGE = 0x10, DDSCAPS2_D3DTEXTUREMANAGE = 0x20000 };

struct DDSURFACEDESC2 {
  uint32_t dwSize;
  uint32_t dwFlags;  // DDSD_*: which fields are valid
  uint32_t dwHeight, dwWidth;
  long lPitch;  // bytes from one row to the next
  uint32_t dwBackBufferCount;
  uint32_t dwTextureStage;
  void *lpSurface;
  DDPIXELFORMAT ddpfPixelFormat;
  DDSCAPS2 ddsCaps;
};
enum : uint32_t {
  DDSD_CAPS = 0x1,
  DDSD_HEIGHT = 0x2,
  DDSD_WIDTH = 0x4,
  DDSD_PITCH = 0x8,
  DDSD_BACKBUFFERCOUNT = 0x20,
  DDSD_LPSURFACE = 0x800,
  DDSD_PIXELFORMAT = 0x1000,
  DDSD_TEXTURESTAGE = 0x100000,
};

struct DDBLTFX {
  uint32_t dwSize;
  uint32_t dwFillColor;  // in the destination surface's own pixel format
};
enum : uint32_t { DDBLT_COLORFILL = 0x400, DDBLT_WAIT = 0x1000000, DDBLT_ASYNC = 0x200 };
enum : uint32_t { DDFLIP_WAIT = 0x1, DDFLIP_NOVSYNC = 0x8 };
enum : uint32_t { DDWAITVB_BLOCKBEGIN = 0x1 };
enum : uint32_t {
  DDLOCK_WAIT = 0x1,
  DDLOCK_SURFACEMEMORYPTR = 0x0,
  DDLOCK_READONLY = 0x10,
  DDLOCK_WRITEONLY = 0x20,
};
enum : uint32_t {
  DDSCL_FULLSCREEN = 0x1,
  DDSCL_ALLOWREBOOT = 0x2,
  DDSCL_NORMAL = 0x8,
  DDSCL_EXCLUSIVE = 0x10,
  DDSCL_FPUSETUP = 0x800,
};

// ---------------------------------------------------------------------------
// Direct3D records
struct _D3DMATRIX {
  float _11, _12, _13, _14;
  float _21, _22, _23, _24;
  float _31, _32, _33, _34;
  float _41, _42, _43, _44;
};
typedef _D3DMATRIX D3DMATRIX;

// A lit vertex: position before transformation, colours already computed.
struct _D3DLVERTEX {
  float x, y, z;
  uint32_t dwReserved;
  D3DCOLOR color;
  D3DCOLOR specular;
  float tu, tv;
};
typedef _D3DLVERTEX D3DLVERTEX;
static_assert(sizeof(_D3DLVERTEX) == 32, "lit vertices are 32 bytes");

enum : uint32_t {
  D3DFVF_XYZ = 0x2,
  D3DFVF_RESERVED1 = 0x20,
  D3DFVF_DIFFUSE = 0x40,
  D3DFVF_SPECULAR = 0x80,
  D3DFVF_TEX1 = 0x100,
  D3DFVF_LVERTEX = D3DFVF_XYZ | D3DFVF_RESERVED1 | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1,
};

struct D3DVIEWPORT7 {
  uint32_t dwX, dwY, dwWidth, dwHeight;
  float dvMinZ, dvMaxZ;
};

struct D3DRECT {
  long x1, y1, x2, y2;
};
enum : uint32_t { D3DCLEAR_TARGET = 0x1, D3DCLEAR_ZBUFFER = 0x2, D3DCLEAR_STENCIL = 0x4 };

enum D3DPRIMITIVETYPE {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

enum D3DTRANSFORMSTATETYPE {
  D3DTRANSFORMSTATE_WORLD = 1,
  D3DTRANSFORMSTATE_VIEW = 2,
  D3DTRANSFORMSTATE_PROJECTION = 3,
};

enum D3DRENDERSTATETYPE {
  D3DRENDERSTATE_ANTIALIAS = 2,
  D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
  D3DRENDERSTATE_ZENABLE = 7,
  D3DRENDERSTATE_FILLMODE = 8,
  D3DRENDERSTATE_SHADEMODE = 9,
  D3DRENDERSTATE_ZWRITEENABLE = 14,
  D3DRENDERSTATE_ALPHATESTENABLE = 15,
  D3DRENDERSTATE_SRCBLEND = 19,
  D3DRENDERSTATE_DESTBLEND = 20,
  D3DRENDERSTATE_CULLMODE = 22,
  D3DRENDERSTATE_DITHERENABLE = 26,
  D3DRENDERSTATE_ALPHABLENDENABLE = 27,
  D3DRENDERSTATE_FOGENABLE = 28,
  D3DRENDERSTATE_SPECULARENABLE = 29,
  D3DRENDERSTATE_EDGEANTIALIAS = 40,
  D3DRENDERSTATE_CLIPPING = 136,
  D3DRENDERSTATE_LIGHTING = 137,
  D3DRENDERSTATE_COLORVERTEX = 141,
};

enum D3DBLEND {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
};

enum D3DCULL { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum D3DSHADEMODE { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum D3DFILLMODE { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DZBUFFERTYPE { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };

enum D3DTEXTURESTAGESTATETYPE {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_ADDRESS = 12,
  D3DTSS_ADDRESSU = 13,
  D3DTSS_ADDRESSV = 14,
  D3DTSS_MAGFILTER = 16,
  D3DTSS_MINFILTER = 17,
  D3DTSS_MIPFILTER = 18,
};

enum D3DTEXTUREOP {
  D3DTOP_DISABLE = 1,
  D3DTOP_SELECTARG1 = 2,
  D3DTOP_SELECTARG2 = 3,
  D3DTOP_MODULATE = 4,
};
enum : uint32_t { D3DTA_DIFFUSE = 0, D3DTA_CURRENT = 1, D3DTA_TEXTURE = 2 };

enum D3DTEXTUREADDRESS {
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
  D3DTADDRESS_BORDER = 4,  // served as clamp
};
enum D3DTEXTUREMAGFILTER { D3DTFG_POINT = 1, D3DTFG_LINEAR = 2 };
enum D3DTEXTUREMINFILTER { D3DTFN_POINT = 1, D3DTFN_LINEAR = 2 };
enum D3DTEXTUREMIPFILTER { D3DTFP_NONE = 1 };

// ---------------------------------------------------------------------------
// Interfaces. Every object is reference counted: AddRef/Release as usual, the
// last Release frees it. Objects keep what they depend on alive, so releasing
// in any order is safe.
class IUnknown {
public:
  virtual unsigned long AddRef() = 0;
  virtual unsigned long Release() = 0;
  virtual HRESULT QueryInterface(REFIID riid, void **out) = 0;

protected:
  virtual ~IUnknown() {}
};

class IDirectDrawClipper : public IUnknown {
public:
  virtual HRESULT SetHWnd(uint32_t flags, HWND hwnd) = 0;
};

class IDirectDrawSurface7 : public IUnknown {
public:
  // Copies src (all of it when srcRect is null) into destRect (whole surface when
  // null), scaling by nearest pixel and converting formats; or, with
  // DDBLT_COLORFILL, fills destRect with fx->dwFillColor. Rectangles are clipped.
  virtual HRESULT Blt(RECT *destRect, IDirectDrawSurface7 *src, RECT *srcRect, uint32_t flags,
                      DDBLTFX *fx) = 0;
  virtual HRESULT Flip(IDirectDrawSurface7 *target, uint32_t flags) = 0;
  virtual HRESULT GetAttachedSurface(DDSCAPS2 *caps, IDirectDrawSurface7 **out) = 0;
  virtual HRESULT SetClipper(IDirectDrawClipper *clipper) = 0;
  virtual HRESULT IsLost() = 0;
  virtual HRESULT Restore() = 0;
  virtual HRESULT Lock(RECT *rect, DDSURFACEDESC2 *desc, uint32_t flags, void *event) = 0;
  virtual HRESULT Unlock(RECT *rect) = 0;
  virtual HRESULT GetSurfaceDesc(DDSURFACEDESC2 *desc) = 0;
};

class IDirectDraw7 : public IUnknown {
public:
  virtual HRESULT SetCooperativeLevel(HWND hwnd, uint32_t flags) = 0;
  virtual HRESULT SetDisplayMode(uint32_t width, uint32_t height, uint32_t bpp, uint32_t refresh,
                                 uint32_t flags) = 0;
  virtual HRESULT RestoreDisplayMode() = 0;
  virtual HRESULT CreateSurface(DDSURFACEDESC2 *desc, IDirectDrawSurface7 **out,
                                IUnknown *outer) = 0;
  virtual HRESULT CreateClipper(uint32_t flags, IDirectDrawClipper **out, IUnknown *outer) = 0;
  virtual HRESULT WaitForVerticalBlank(uint32_t flags, void *event) = 0;
};

class IDirect3DDevice7;

class IDirect3D7 : public IUnknown {
public:
  virtual HRESULT CreateDevice(REFCLSID kind, IDirectDrawSurface7 *target,
                               IDirect3DDevice7 **out) = 0;
};

class IDirect3DDevice7 : public IUnknown {
public:
  virtual HRESULT SetViewport(D3DVIEWPORT7 *vp) = 0;
  virtual HRESULT GetViewport(D3DVIEWPORT7 *vp) = 0;
  virtual HRESULT SetRenderTarget(IDirectDrawSurface7 *target, uint32_t flags) = 0;
  virtual HRESULT GetRenderTarget(IDirectDrawSurface7 **out) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, uint32_t value) = 0;
  virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, uint32_t *value) = 0;
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX *m) = 0;
  virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX *m) = 0;
  virtual HRESULT Clear(uint32_t count, D3DRECT *rects, uint32_t flags, D3DCOLOR color, float z,
                        uint32_t stencil) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT SetTexture(uint32_t stage, IDirectDrawSurface7 *texture) = 0;
  virtual HRESULT GetTexture(uint32_t stage, IDirectDrawSurface7 **out) = 0;
  virtual HRESULT SetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                       uint32_t value) = 0;
  virtual HRESULT GetTextureStageState(uint32_t stage, D3DTEXTURESTAGESTATETYPE type,
                                       uint32_t *value) = 0;
  virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, uint32_t fvf, void *vertices,
                                uint32_t count, uint32_t flags) = 0;
  virtual HRESULT PreLoad(IDirectDrawSurface7 *texture) = 0;
};

// Creates the DirectDraw object; `driver` must be null (the one default driver).
HRESULT DirectDrawCreateEx(void *driver, void **out, REFIID iid, IUnknown *outer);

// ---------------------------------------------------------------------------
// What stands behind the screen. The window that owns `hwnd` registers one; the
// DirectDraw object then sends the primary surface there whenever it changes.
class SwDisplay {
public:
  virtual ~SwDisplay() {}
  // Shows a frame. `pixels` rows are `pitch` bytes apart, 32-bit XRGB when
  // bitsPerPixel is 32, RGB 565 when it is 16.
  virtual void present(const void *pixels, long pitch, int width, int height,
                       int bitsPerPixel) = 0;
  // Shows again the frame shown last, the same pixel for pixel: a display that
  // keeps what it showed has nothing to do.
  virtual void presentSame(const void *pixels, long pitch, int width, int height,
                           int bitsPerPixel) {
    present(pixels, pitch, width, height, bitsPerPixel);
  }
  // Shows a frame that differs from the one shown last only inside `areas`.
  virtual void presentChanged(const void *pixels, long pitch, int width, int height,
                              int bitsPerPixel, const std::vector<RECT> &areas) {
    (void)areas;
    present(pixels, pitch, width, height, bitsPerPixel);
  }
  // Returns at the start of the next vertical blank, where the display has one
  // to wait for; at once otherwise.
  virtual void waitForVerticalBlank() = 0;
  // Size of the client area in frame pixels: the windowed primary surface's size.
  virtual void clientSize(int &width, int &height) = 0;
  // Memory the display shows for a frame of this format, or null (the default)
  // when it has none. A windowed primary surface lives there, so a blit into it
  // needs no further copy before present() is called with it. It stays valid
  // until the display calls SwScreenMemoryRevoked.
  virtual void *screenMemory(int width, int height, int bitsPerPixel, long &pitch) {
    (void)width, (void)height, (void)bitsPerPixel, (void)pitch;
    return nullptr;
  }
  // Frames shown so far.
  virtual long framesShown() const { return 0; }
  // Whether screen memory keeps what is written there across present(): then
  // the surface a program draws its frames in and blits whole into the windowed
  // primary may live in it as well, and that blit copies nothing. False (the
  // default) where presenting hands the memory away.
  virtual bool screenMemoryKept() { return false; }
};
// Null removes the registration. The display must outlive its registration.
void SwRegisterDisplay(HWND hwnd, SwDisplay *display);
// The window handle DirectDraw is told (the engine's own here; the system's on
// Windows), and where a width×height frame goes on the windowed primary surface:
// this device's windowed primary is the frame itself (its display scales it).
inline HWND D3DSystemWindow(HWND window) { return window; }
inline void D3DFrameOnPrimary(HWND, long width, long height, RECT &dst) {
  dst = RECT{0, 0, width, height};
}
SwDisplay *SwDisplayFor(HWND hwnd);
// Called by a display before screen memory it handed out stops being valid:
// surfaces living there move to memory of their own, keeping their pixels.
void SwScreenMemoryRevoked(HWND hwnd);

// Tests: draw every primitive through the simple per-pixel reference path
// instead of the fast span and rectangle paths. Process-wide.
void SwSetReferenceRasterizer(bool on);
bool SwReferenceRasterizer();
// Tests: primitives and clears the devices have drawn so far, process-wide (a
// frame that equals the last one over the pixels it left is not drawn again).
long long SwPrimitivesDrawn();
// Draws every primitive recorded so far, as reading the pixels would: for
// benchmarks that time drawing without presenting it.
void SwFinishDrawing();
// Tests: allow (default, where the processor has it) or forbid the eight-pixel
// AVX2 spans, so the four-pixel SSE2 ones can be checked on any machine.
void SwSetWideSimd(bool on);
