// d3d9.h - the Direct3D 9 subset the engine draws with. Implemented by libplat_d3d9.so, a
// software device (see platform/d3d9/).
//
// Only the calls the engine and its tests use are declared, each interface's methods in the
// documented relative order. Values (format codes, states, flags, result codes) are the
// published ones. Callers compile against this header, so slots only need to agree with it.
#pragma once

#include "win_com.h"
#include "win_user.h"

#define D3D_SDK_VERSION 32u

// --- results ----------------------------------------------------------------------------------
inline constexpr HRESULT D3D_OK = S_OK;
inline constexpr HRESULT D3DERR_WRONGTEXTUREFORMAT = static_cast<HRESULT>(0x88760818u);
inline constexpr HRESULT D3DERR_UNSUPPORTEDCOLOROPERATION = static_cast<HRESULT>(0x88760819u);
inline constexpr HRESULT D3DERR_UNSUPPORTEDALPHAOPERATION = static_cast<HRESULT>(0x8876081Bu);
inline constexpr HRESULT D3DERR_OUTOFVIDEOMEMORY = static_cast<HRESULT>(0x8876017Cu);
inline constexpr HRESULT D3DERR_WASSTILLDRAWING = static_cast<HRESULT>(0x8876021Cu);
inline constexpr HRESULT D3DERR_NOTFOUND = static_cast<HRESULT>(0x88760866u);
inline constexpr HRESULT D3DERR_MOREDATA = static_cast<HRESULT>(0x88760867u);
inline constexpr HRESULT D3DERR_DEVICELOST = static_cast<HRESULT>(0x88760868u);
inline constexpr HRESULT D3DERR_DEVICENOTRESET = static_cast<HRESULT>(0x88760869u);
inline constexpr HRESULT D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au);
inline constexpr HRESULT D3DERR_INVALIDDEVICE = static_cast<HRESULT>(0x8876086Bu);
inline constexpr HRESULT D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu);
inline constexpr HRESULT D3DERR_DRIVERINTERNALERROR = static_cast<HRESULT>(0x88760827u);

// --- basic types ------------------------------------------------------------------------------
using D3DCOLOR = DWORD;
#define D3DCOLOR_ARGB(a, r, g, b)                                                                \
    ((D3DCOLOR)((((a) & 0xffu) << 24) | (((r) & 0xffu) << 16) | (((g) & 0xffu) << 8) | ((b) & 0xffu)))
#define D3DCOLOR_XRGB(r, g, b) D3DCOLOR_ARGB(0xff, r, g, b)

inline constexpr UINT D3DADAPTER_DEFAULT = 0;

enum D3DFORMAT : uint32_t {
    D3DFMT_UNKNOWN = 0,
    D3DFMT_R8G8B8 = 20,
    D3DFMT_A8R8G8B8 = 21,
    D3DFMT_X8R8G8B8 = 22,
    D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24,
    D3DFMT_A1R5G5B5 = 25,
    D3DFMT_A4R4G4B4 = 26,
    D3DFMT_A8 = 28,
    D3DFMT_D32 = 71,
    D3DFMT_D24S8 = 75,
    D3DFMT_D24X8 = 77,
    D3DFMT_D16 = 80,
    D3DFMT_VERTEXDATA = 100,
    D3DFMT_INDEX16 = 101,
    D3DFMT_INDEX32 = 102,
    D3DFMT_FORCE_DWORD = 0x7fffffff
};

enum D3DDEVTYPE : uint32_t { D3DDEVTYPE_HAL = 1, D3DDEVTYPE_REF = 2, D3DDEVTYPE_SW = 3 };

enum D3DPOOL : uint32_t {
    D3DPOOL_DEFAULT = 0,
    D3DPOOL_MANAGED = 1,
    D3DPOOL_SYSTEMMEM = 2,
    D3DPOOL_SCRATCH = 3
};

enum D3DRESOURCETYPE : uint32_t {
    D3DRTYPE_SURFACE = 1,
    D3DRTYPE_VOLUME = 2,
    D3DRTYPE_TEXTURE = 3,
    D3DRTYPE_VOLUMETEXTURE = 4,
    D3DRTYPE_CUBETEXTURE = 5,
    D3DRTYPE_VERTEXBUFFER = 6,
    D3DRTYPE_INDEXBUFFER = 7
};

enum D3DMULTISAMPLE_TYPE : uint32_t { D3DMULTISAMPLE_NONE = 0, D3DMULTISAMPLE_NONMASKABLE = 1 };

enum D3DSWAPEFFECT : uint32_t { D3DSWAPEFFECT_DISCARD = 1, D3DSWAPEFFECT_FLIP = 2, D3DSWAPEFFECT_COPY = 3 };

enum D3DBACKBUFFER_TYPE : uint32_t { D3DBACKBUFFER_TYPE_MONO = 0 };

enum D3DPRIMITIVETYPE : uint32_t {
    D3DPT_POINTLIST = 1,
    D3DPT_LINELIST = 2,
    D3DPT_LINESTRIP = 3,
    D3DPT_TRIANGLELIST = 4,
    D3DPT_TRIANGLESTRIP = 5,
    D3DPT_TRIANGLEFAN = 6
};

// --- usage, lock, clear, creation and present flags -------------------------------------------
inline constexpr DWORD D3DUSAGE_RENDERTARGET = 0x1;
inline constexpr DWORD D3DUSAGE_DEPTHSTENCIL = 0x2;
inline constexpr DWORD D3DUSAGE_WRITEONLY = 0x8;
inline constexpr DWORD D3DUSAGE_DYNAMIC = 0x200;

inline constexpr DWORD D3DLOCK_READONLY = 0x10;
inline constexpr DWORD D3DLOCK_NOSYSLOCK = 0x800;
inline constexpr DWORD D3DLOCK_NOOVERWRITE = 0x1000;
inline constexpr DWORD D3DLOCK_DISCARD = 0x2000;

inline constexpr DWORD D3DCLEAR_TARGET = 0x1;
inline constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;
inline constexpr DWORD D3DCLEAR_STENCIL = 0x4;

inline constexpr DWORD D3DCREATE_FPU_PRESERVE = 0x2;
inline constexpr DWORD D3DCREATE_MULTITHREADED = 0x4;
inline constexpr DWORD D3DCREATE_PUREDEVICE = 0x10;
inline constexpr DWORD D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20;
inline constexpr DWORD D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40;
inline constexpr DWORD D3DCREATE_MIXED_VERTEXPROCESSING = 0x80;

inline constexpr DWORD D3DPRESENTFLAG_LOCKABLE_BACKBUFFER = 0x1;
inline constexpr DWORD D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL = 0x2;
inline constexpr DWORD D3DPRESENTFLAG_VIDEO = 0x10;

inline constexpr UINT D3DPRESENT_INTERVAL_DEFAULT = 0x0;
inline constexpr UINT D3DPRESENT_INTERVAL_ONE = 0x1;
inline constexpr UINT D3DPRESENT_INTERVAL_IMMEDIATE = 0x80000000u;

// --- flexible vertex format -------------------------------------------------------------------
inline constexpr DWORD D3DFVF_XYZ = 0x002;
inline constexpr DWORD D3DFVF_XYZRHW = 0x004;
inline constexpr DWORD D3DFVF_POSITION_MASK = 0x400E;
inline constexpr DWORD D3DFVF_NORMAL = 0x010;
inline constexpr DWORD D3DFVF_PSIZE = 0x020;
inline constexpr DWORD D3DFVF_DIFFUSE = 0x040;
inline constexpr DWORD D3DFVF_SPECULAR = 0x080;
inline constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
inline constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
inline constexpr DWORD D3DFVF_TEX0 = 0x000;
inline constexpr DWORD D3DFVF_TEX1 = 0x100;
inline constexpr DWORD D3DFVF_TEX2 = 0x200;

// --- render states ----------------------------------------------------------------------------
enum D3DRENDERSTATETYPE : uint32_t {
    D3DRS_ZENABLE = 7,
    D3DRS_FILLMODE = 8,
    D3DRS_SHADEMODE = 9,
    D3DRS_ZWRITEENABLE = 14,
    D3DRS_ALPHATESTENABLE = 15,
    D3DRS_LASTPIXEL = 16,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22,
    D3DRS_ZFUNC = 23,
    D3DRS_ALPHAREF = 24,
    D3DRS_ALPHAFUNC = 25,
    D3DRS_DITHERENABLE = 26,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_FOGENABLE = 28,
    D3DRS_SPECULARENABLE = 29,
    D3DRS_STENCILENABLE = 52,
    D3DRS_TEXTUREFACTOR = 60,
    D3DRS_CLIPPING = 136,
    D3DRS_LIGHTING = 137,
    D3DRS_AMBIENT = 139,
    D3DRS_COLORVERTEX = 141,
    D3DRS_COLORWRITEENABLE = 168,
    D3DRS_BLENDOP = 171,
    D3DRS_SCISSORTESTENABLE = 174,
    D3DRS_FORCE_DWORD = 0x7fffffff
};

enum D3DZBUFFERTYPE : uint32_t { D3DZB_FALSE = 0, D3DZB_TRUE = 1 };
enum D3DFILLMODE : uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME = 2, D3DFILL_SOLID = 3 };
enum D3DSHADEMODE : uint32_t { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum D3DCULL : uint32_t { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };

enum D3DCMPFUNC : uint32_t {
    D3DCMP_NEVER = 1,
    D3DCMP_LESS = 2,
    D3DCMP_EQUAL = 3,
    D3DCMP_LESSEQUAL = 4,
    D3DCMP_GREATER = 5,
    D3DCMP_NOTEQUAL = 6,
    D3DCMP_GREATEREQUAL = 7,
    D3DCMP_ALWAYS = 8
};

enum D3DBLEND : uint32_t {
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
    D3DBLEND_SRCALPHASAT = 11
};

enum D3DBLENDOP : uint32_t {
    D3DBLENDOP_ADD = 1,
    D3DBLENDOP_SUBTRACT = 2,
    D3DBLENDOP_REVSUBTRACT = 3,
    D3DBLENDOP_MIN = 4,
    D3DBLENDOP_MAX = 5
};

// --- texture stage and sampler states ---------------------------------------------------------
enum D3DTEXTURESTAGESTATETYPE : uint32_t {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_ALPHAOP = 4,
    D3DTSS_ALPHAARG1 = 5,
    D3DTSS_ALPHAARG2 = 6,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_TEXTURETRANSFORMFLAGS = 24,
    D3DTSS_COLORARG0 = 26,
    D3DTSS_ALPHAARG0 = 27,
    D3DTSS_RESULTARG = 28,
    D3DTSS_CONSTANT = 32,
    D3DTSS_FORCE_DWORD = 0x7fffffff
};

enum D3DTEXTUREOP : uint32_t {
    D3DTOP_DISABLE = 1,
    D3DTOP_SELECTARG1 = 2,
    D3DTOP_SELECTARG2 = 3,
    D3DTOP_MODULATE = 4,
    D3DTOP_MODULATE2X = 5,
    D3DTOP_MODULATE4X = 6,
    D3DTOP_ADD = 7,
    D3DTOP_ADDSIGNED = 8
};

inline constexpr DWORD D3DTA_SELECTMASK = 0x0000000f;
inline constexpr DWORD D3DTA_DIFFUSE = 0x00000000;
inline constexpr DWORD D3DTA_CURRENT = 0x00000001;
inline constexpr DWORD D3DTA_TEXTURE = 0x00000002;
inline constexpr DWORD D3DTA_TFACTOR = 0x00000003;
inline constexpr DWORD D3DTA_SPECULAR = 0x00000004;
inline constexpr DWORD D3DTA_TEMP = 0x00000005;
inline constexpr DWORD D3DTA_CONSTANT = 0x00000006;
inline constexpr DWORD D3DTA_COMPLEMENT = 0x00000010;
inline constexpr DWORD D3DTA_ALPHAREPLICATE = 0x00000020;

enum D3DSAMPLERSTATETYPE : uint32_t {
    D3DSAMP_ADDRESSU = 1,
    D3DSAMP_ADDRESSV = 2,
    D3DSAMP_ADDRESSW = 3,
    D3DSAMP_BORDERCOLOR = 4,
    D3DSAMP_MAGFILTER = 5,
    D3DSAMP_MINFILTER = 6,
    D3DSAMP_MIPFILTER = 7,
    D3DSAMP_MIPMAPLODBIAS = 8,
    D3DSAMP_MAXMIPLEVEL = 9,
    D3DSAMP_MAXANISOTROPY = 10,
    D3DSAMP_SRGBTEXTURE = 11,
    D3DSAMP_ELEMENTINDEX = 12,
    D3DSAMP_DMAPOFFSET = 13,
    D3DSAMP_FORCE_DWORD = 0x7fffffff
};

enum D3DTEXTUREADDRESS : uint32_t {
    D3DTADDRESS_WRAP = 1,
    D3DTADDRESS_MIRROR = 2,
    D3DTADDRESS_CLAMP = 3,
    D3DTADDRESS_BORDER = 4,
    D3DTADDRESS_MIRRORONCE = 5
};

enum D3DTEXTUREFILTERTYPE : uint32_t {
    D3DTEXF_NONE = 0,
    D3DTEXF_POINT = 1,
    D3DTEXF_LINEAR = 2,
    D3DTEXF_ANISOTROPIC = 3
};

// --- capabilities -----------------------------------------------------------------------------
inline constexpr DWORD D3DCAPS2_CANAUTOGENMIPMAP = 0x40000000;
inline constexpr DWORD D3DCAPS2_DYNAMICTEXTURES = 0x20000000;

inline constexpr DWORD D3DDEVCAPS_EXECUTESYSTEMMEMORY = 0x00000010;
inline constexpr DWORD D3DDEVCAPS_TLVERTEXSYSTEMMEMORY = 0x00000040;
inline constexpr DWORD D3DDEVCAPS_TEXTURESYSTEMMEMORY = 0x00000100;
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMTLVERTEX = 0x00000400;
inline constexpr DWORD D3DDEVCAPS_CANRENDERAFTERFLIP = 0x00000800;
inline constexpr DWORD D3DDEVCAPS_DRAWPRIMITIVES2EX = 0x00008000;
inline constexpr DWORD D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x00010000;
inline constexpr DWORD D3DDEVCAPS_HWRASTERIZATION = 0x00080000;
inline constexpr DWORD D3DDEVCAPS_PUREDEVICE = 0x00100000;

inline constexpr DWORD D3DPTEXTURECAPS_PERSPECTIVE = 0x00000001;
inline constexpr DWORD D3DPTEXTURECAPS_POW2 = 0x00000002;
inline constexpr DWORD D3DPTEXTURECAPS_ALPHA = 0x00000004;

inline constexpr DWORD D3DPRASTERCAPS_ZTEST = 0x00000010;

inline constexpr DWORD D3DPCMPCAPS_ALL = 0xFF; // every comparison, NEVER to ALWAYS

inline constexpr DWORD D3DPBLENDCAPS_ZERO = 0x001;
inline constexpr DWORD D3DPBLENDCAPS_ONE = 0x002;
inline constexpr DWORD D3DPBLENDCAPS_SRCCOLOR = 0x004;
inline constexpr DWORD D3DPBLENDCAPS_INVSRCCOLOR = 0x008;
inline constexpr DWORD D3DPBLENDCAPS_SRCALPHA = 0x010;
inline constexpr DWORD D3DPBLENDCAPS_INVSRCALPHA = 0x020;
inline constexpr DWORD D3DPBLENDCAPS_DESTALPHA = 0x040;
inline constexpr DWORD D3DPBLENDCAPS_INVDESTALPHA = 0x080;
inline constexpr DWORD D3DPBLENDCAPS_DESTCOLOR = 0x100;
inline constexpr DWORD D3DPBLENDCAPS_INVDESTCOLOR = 0x200;

inline constexpr DWORD D3DTEXOPCAPS_SELECTARG1 = 0x002;
inline constexpr DWORD D3DTEXOPCAPS_SELECTARG2 = 0x004;
inline constexpr DWORD D3DTEXOPCAPS_MODULATE = 0x008;
inline constexpr DWORD D3DTEXOPCAPS_ADD = 0x040;

inline constexpr DWORD D3DPRESENT_INTERVAL_CAPS_ONE = 0x1; // same bit as D3DPRESENT_INTERVAL_ONE

#define D3DVS_VERSION(major, minor) (0xFFFE0000u | ((major) << 8) | (minor))
#define D3DPS_VERSION(major, minor) (0xFFFF0000u | ((major) << 8) | (minor))

// The device capabilities, fields in the documented order; the fields this device has nothing
// to say about are left out.
struct D3DCAPS9 {
    D3DDEVTYPE DeviceType;
    UINT AdapterOrdinal;
    DWORD Caps;
    DWORD Caps2;
    DWORD Caps3;
    DWORD PresentationIntervals;
    DWORD CursorCaps;
    DWORD DevCaps;
    DWORD PrimitiveMiscCaps;
    DWORD RasterCaps;
    DWORD ZCmpCaps;
    DWORD SrcBlendCaps;
    DWORD DestBlendCaps;
    DWORD AlphaCmpCaps;
    DWORD ShadeCaps;
    DWORD TextureCaps;
    DWORD TextureFilterCaps;
    DWORD CubeTextureFilterCaps;
    DWORD VolumeTextureFilterCaps;
    DWORD TextureAddressCaps;
    DWORD VolumeTextureAddressCaps;
    DWORD LineCaps;
    DWORD MaxTextureWidth;
    DWORD MaxTextureHeight;
    DWORD MaxVolumeExtent;
    DWORD MaxTextureRepeat;
    DWORD MaxTextureAspectRatio;
    DWORD MaxAnisotropy;
    float MaxVertexW;
    float GuardBandLeft;
    float GuardBandTop;
    float GuardBandRight;
    float GuardBandBottom;
    float ExtentsAdjust;
    DWORD StencilCaps;
    DWORD FVFCaps;
    DWORD TextureOpCaps;
    DWORD MaxTextureBlendStages;
    DWORD MaxSimultaneousTextures;
    DWORD VertexProcessingCaps;
    DWORD MaxActiveLights;
    DWORD MaxUserClipPlanes;
    DWORD MaxVertexBlendMatrices;
    DWORD MaxVertexBlendMatrixIndex;
    float MaxPointSize;
    DWORD MaxPrimitiveCount;
    DWORD MaxVertexIndex;
    DWORD MaxStreams;
    DWORD MaxStreamStride;
    DWORD VertexShaderVersion;
    DWORD MaxVertexShaderConst;
    DWORD PixelShaderVersion;
    float PixelShader1xMaxValue;
};

// --- records ----------------------------------------------------------------------------------
struct D3DADAPTER_IDENTIFIER9 {
    char Driver[512];
    char Description[512];
    char DeviceName[32];
    int64_t DriverVersion;
    DWORD VendorId;
    DWORD DeviceId;
    DWORD SubSysId;
    DWORD Revision;
    GUID DeviceIdentifier;
    DWORD WHQLLevel;
};

struct D3DDISPLAYMODE {
    UINT Width;
    UINT Height;
    UINT RefreshRate;
    D3DFORMAT Format;
};

struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth;
    UINT BackBufferHeight;
    D3DFORMAT BackBufferFormat;
    UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    D3DSWAPEFFECT SwapEffect;
    HWND hDeviceWindow;
    BOOL Windowed;
    BOOL EnableAutoDepthStencil;
    D3DFORMAT AutoDepthStencilFormat;
    DWORD Flags;
    UINT FullScreen_RefreshRateInHz;
    UINT PresentationInterval;
};

struct D3DVIEWPORT9 {
    DWORD X;
    DWORD Y;
    DWORD Width;
    DWORD Height;
    float MinZ;
    float MaxZ;
};

struct D3DRECT {
    LONG x1;
    LONG y1;
    LONG x2;
    LONG y2;
};

struct D3DLOCKED_RECT {
    INT Pitch;
    void* pBits;
};

struct D3DSURFACE_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    D3DMULTISAMPLE_TYPE MultiSampleType;
    DWORD MultiSampleQuality;
    UINT Width;
    UINT Height;
};

struct D3DVERTEXBUFFER_DESC {
    D3DFORMAT Format;
    D3DRESOURCETYPE Type;
    DWORD Usage;
    D3DPOOL Pool;
    UINT Size;
    DWORD FVF;
};

struct RGNDATA;

// --- interfaces -------------------------------------------------------------------------------
struct IDirect3D9;
struct IDirect3DDevice9;
struct IDirect3DSurface9;
struct IDirect3DTexture9;
struct IDirect3DVertexBuffer9;
struct IDirect3DVertexShader9;

struct IDirect3DResource9 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual D3DRESOURCETYPE GetType() = 0;
};

struct IDirect3DBaseTexture9 : IDirect3DResource9 {
    virtual DWORD GetLevelCount() = 0;
};

struct IDirect3DTexture9 : IDirect3DBaseTexture9 {
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
};

struct IDirect3DSurface9 : IDirect3DResource9 {
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;
};

struct IDirect3DVertexBuffer9 : IDirect3DResource9 {
    virtual HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;
};

struct IDirect3D9 : IUnknown {
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                      D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                                 D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) = 0;
};

struct IDirect3DDevice9 : IUnknown {
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual UINT GetAvailableTextureMem() = 0;
    virtual HRESULT GetDirect3D(IDirect3D9** d3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS9* caps) = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) = 0;
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const RGNDATA* dirtyRegion) = 0;
    virtual HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface9** backBuffer) = 0;
    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DTexture9** texture, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer9** buffer, HANDLE* sharedHandle) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample, DWORD multiSampleQuality,
                                              BOOL discard, IDirect3DSurface9** surface, HANDLE* sharedHandle) = 0;
    virtual HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect,
                                  IDirect3DSurface9* destination, const POINT* destPoint) = 0;
    virtual HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) = 0;
    virtual HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DSurface9** surface, HANDLE* sharedHandle) = 0;
    virtual HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) = 0;
    virtual HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) = 0;
    virtual HRESULT SetDepthStencilSurface(IDirect3DSurface9* depthStencil) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface9** depthStencil) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT9* viewport) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) = 0;
    virtual HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) = 0;
    virtual HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                                    UINT vertexStride) = 0;
    virtual HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                           UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                           const void* vertexData, UINT vertexStride) = 0;
    virtual HRESULT SetFVF(DWORD fvf) = 0;
    virtual HRESULT GetFVF(DWORD* fvf) = 0;
    virtual HRESULT SetVertexShader(IDirect3DVertexShader9* shader) = 0;
    virtual HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) = 0;
};

PLAT_API IDirect3D9* Direct3DCreate9(UINT sdkVersion);
