#include "VELD3D.h"

#include "D3DBackBuffer.h"
#include "D3DLineRender.h"
#include "D3DRender.h"
#include "D3DTexture.h"
#include "D3DTriangleRender.h"
#include "ModuleExports.h"
#include "Trigonometry.h"

#include "ddraw.h"
#include "win_user.h"

#include <cstring>
#include <vector>

namespace VEL {
namespace {

// Module-wide state shared by every root of the process. Set up and torn down without a lock:
// roots are created and destroyed on one thread.
int32_t g_rootCount = 0;
IDirect3D9* g_direct3D = nullptr;
IDirectDraw* g_directDraw = nullptr;

template <class T>
void ReleaseCom(T*& p)
{
    if (T* old = std::exchange(p, nullptr))
        old->Release();
}

// Released when the module is unloaded, should a root still be alive then.
struct ModuleObjects {
    ~ModuleObjects()
    {
        ReleaseCom(g_direct3D);
        ReleaseCom(g_directDraw);
    }
} g_moduleObjects;

constexpr D3DFORMAT SelectFormat(int32_t selector)
{
    return selector == 0 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
}

// The display's refresh rate, as the mode searches compare it.
uint32_t CurrentRefreshRate()
{
    HDC dc = GetDC(nullptr);
    const INT hz = GetDeviceCaps(dc, VREFRESH);
    ReleaseDC(nullptr, dc);
    return hz > 0 ? static_cast<uint32_t>(hz) : 0;
}

// The best vertex-processing level the caps support: 0 hardware (pure), 1 mixed, 2 software;
// -1 without hardware rasterisation.
int32_t BestLevel(const D3DCAPS9& caps)
{
    const bool raster = (caps.DevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0;
    const bool tnl = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    const bool pure = (caps.DevCaps & D3DDEVCAPS_PUREDEVICE) != 0;
    if (raster && tnl && pure && caps.VertexShaderVersion >= 0xFFFE0101u)
        return 0;
    if (raster && tnl)
        return 1;
    if (raster)
        return 2;
    return -1;
}

} // namespace

CVELD3D::CVELD3D()
{
    if (g_rootCount++ == 0) {
        d3d::BuildSineTable();
        IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ReleaseCom(g_direct3D);
        g_direct3D = d3d;
        IDirectDraw* dd = nullptr;
        if (FAILED(DirectDrawCreate(nullptr, &dd, nullptr)))
            dd = nullptr;
        ReleaseCom(g_directDraw);
        g_directDraw = dd;
    }
    InvalidateStates();
}

CVELD3D::~CVELD3D()
{
    ReleaseDevice();
    if (--g_rootCount == 0) {
        ReleaseCom(g_direct3D);
        ReleaseCom(g_directDraw);
    }
    registry_.clear();
    DropReference(renderTarget_);
    ReleaseCom(device_);
    ReleaseCom(depthSurface_);
    ReleaseCom(backBuffer_);
}

IVELInterface* CVELD3D::CreateInterface(const GUID* id)
{
    if (!id)
        return nullptr;
    if (IsSameId(*id, IID_ID3DRender))
        return new CD3DRender(this);
    if (IsSameId(*id, IID_ID3DLineRender))
        return new CD3DLineRender(this);
    if (IsSameId(*id, IID_ID3DTriangleRender))
        return new CD3DTriangleRender(this);
    if (IsSameId(*id, IID_ID3DTexture))
        return new CD3DTexture(this);
    if (IsSameId(*id, IID_ID3DVideoTexture))
        return nullptr; // video playback comes with a later version of the module
    if (IsSameId(*id, IID_ID3DBackBuffer))
        return new CD3DBackBuffer(this);
    if (IsSameId(*id, ID_D3DDirect3D))
        return reinterpret_cast<IVELInterface*>(g_direct3D);
    if (IsSameId(*id, ID_D3DDevice))
        return reinterpret_cast<IVELInterface*>(device_);
    return nullptr;
}

bool CVELD3D::FindMode(D3DFORMAT format, uint32_t width, uint32_t height, D3DDISPLAYMODE* mode)
{
    const uint32_t refresh = CurrentRefreshRate();
    const UINT count = g_direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT, format);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE m{};
        if (FAILED(g_direct3D->EnumAdapterModes(D3DADAPTER_DEFAULT, format, i, &m)))
            continue;
        if (m.Width == width && m.Height == height && m.RefreshRate == refresh) {
            *mode = m;
            return true;
        }
    }
    return false;
}

bool CVELD3D::GetAdapterInfo(AdapterInfo* out, uint32_t width, uint32_t height, int32_t colourFormat)
{
    VELAutoLock lock(&lock_);
    if (!out || !g_direct3D || colourFormat >= 2 || width == 0 || height == 0)
        return false;
    const D3DFORMAT format = SelectFormat(colourFormat);
    D3DADAPTER_IDENTIFIER9 identifier{};
    g_direct3D->GetAdapterIdentifier(D3DADAPTER_DEFAULT, 0, &identifier);
    std::memcpy(out->description, identifier.Description, sizeof out->description);
    D3DCAPS9 caps{};
    if (FAILED(g_direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps)))
        return false;
    const int32_t level = BestLevel(caps);
    if (level < 0)
        return false;
    out->vertexProcessing = level;
    // Without the DirectDraw object the memory figure reads as 0.
    DDCAPS ddcaps;
    std::memset(&ddcaps, 0, sizeof ddcaps);
    ddcaps.dwSize = sizeof ddcaps;
    if (!g_directDraw || FAILED(g_directDraw->GetCaps(&ddcaps, nullptr)))
        ddcaps.dwVidMemTotal = 0;
    out->videoMemory = ddcaps.dwVidMemTotal;
    out->maxTextureWidth = caps.MaxTextureWidth;
    out->maxTextureHeight = caps.MaxTextureHeight;
    out->a4r4g4b4Textures = SUCCEEDED(g_direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, 0,
                                                                    D3DRTYPE_TEXTURE, D3DFMT_A4R4G4B4));
    out->a8r8g8b8Textures = SUCCEEDED(g_direct3D->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, 0,
                                                                    D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8));
    out->fullScreenAvailable = false;
    D3DDISPLAYMODE mode;
    if (FindMode(format, width, height, &mode))
        out->fullScreenAvailable = true;
    return true;
}

uint32_t CVELD3D::GetFreeVideoMemory()
{
    if (!g_directDraw)
        return 0;
    DDCAPS caps;
    std::memset(&caps, 0, sizeof caps);
    caps.dwSize = sizeof caps;
    if (FAILED(g_directDraw->GetCaps(&caps, nullptr)))
        return 0;
    return caps.dwVidMemFree;
}

bool CVELD3D::CreateDevice(void* window, int32_t level, uint32_t width, uint32_t height, bool fullScreen,
                           int32_t colourFormat)
{
    VELAutoLock lock(&lock_);
    if (!g_direct3D || device_ || !window || level >= 3 || colourFormat >= 2 || width == 0 || height == 0)
        return false;
    D3DCAPS9 caps{};
    if (FAILED(g_direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps)))
        return false;
    maxTextureWidth_ = caps.MaxTextureWidth;
    maxTextureHeight_ = caps.MaxTextureHeight;
    maxPrimitiveCount_ = caps.MaxPrimitiveCount;
    maxVertexIndex_ = caps.MaxVertexIndex;
    dynamicTextures_ = (caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES) != 0;

    const D3DFORMAT format = SelectFormat(colourFormat);
    fullScreen_ = fullScreen;
    std::memset(&presentation_, 0, sizeof presentation_);
    presentation_.BackBufferCount = 1;
    presentation_.MultiSampleType = D3DMULTISAMPLE_NONE;
    presentation_.MultiSampleQuality = 0;
    presentation_.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentation_.hDeviceWindow = window;
    presentation_.Windowed = fullScreen ? FALSE : TRUE;
    presentation_.EnableAutoDepthStencil = TRUE;
    presentation_.AutoDepthStencilFormat = D3DFMT_D16;
    presentation_.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL | D3DPRESENTFLAG_VIDEO;
    presentation_.PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    if (fullScreen) {
        D3DDISPLAYMODE mode;
        if (!FindMode(format, width, height, &mode))
            return false;
        presentation_.BackBufferWidth = mode.Width;
        presentation_.BackBufferHeight = mode.Height;
        presentation_.FullScreen_RefreshRateInHz = mode.RefreshRate;
    } else {
        presentation_.BackBufferWidth = width;
        presentation_.BackBufferHeight = height;
        presentation_.FullScreen_RefreshRateInHz = 0;
    }
    presentation_.BackBufferFormat = format;

    const bool raster = (caps.DevCaps & D3DDEVCAPS_HWRASTERIZATION) != 0;
    const bool tnl = (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) != 0;
    const bool pure = (caps.DevCaps & D3DDEVCAPS_PUREDEVICE) != 0;
    DWORD flags = 0;
    switch (level) {
    case 0:
        if (!(raster && tnl && pure && caps.VertexShaderVersion >= 0xFFFE0101u))
            return false;
        flags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
        break;
    case 1:
        if (!(raster && tnl))
            return false;
        flags = D3DCREATE_MIXED_VERTEXPROCESSING;
        break;
    case 2:
        if (!raster)
            return false;
        flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        break;
    default:
        return false;
    }
    IDirect3DDevice9* device = nullptr;
    if (FAILED(g_direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, flags, &presentation_, &device)) ||
        !device)
        return false;
    device_ = device;
    // A new device starts with its own defaults, whatever an earlier device was sent.
    InvalidateStates();
    RestoreStep();
    return true;
}

bool CVELD3D::WaitIdle()
{
    // An empty registry, like one with no locked texture, is idle.
    std::vector<HANDLE> events;
    for (ILostable* object : registry_)
        if (object->GetLostableKind() == LOSTABLE_TEXTURE)
            events.push_back(static_cast<CD3DTexture*>(object)->IdleEvent());
    // The platform waits on at most 64 objects at once: wait in groups within one 10 s budget.
    const DWORD start = timeGetTime();
    for (size_t first = 0; first < events.size(); first += MAXIMUM_WAIT_OBJECTS) {
        const DWORD spent = timeGetTime() - start;
        const DWORD left = spent >= 10000 ? 0 : 10000 - spent;
        const DWORD count = static_cast<DWORD>(std::min<size_t>(MAXIMUM_WAIT_OBJECTS, events.size() - first));
        if (WaitForMultipleObjects(count, events.data() + first, TRUE, left) == WAIT_TIMEOUT)
            return false;
    }
    return true;
}

void CVELD3D::LoseStep()
{
    if (renderTarget_ && device_) {
        device_->SetRenderTarget(0, backBuffer_);
        device_->SetDepthStencilSurface(depthSurface_);
    }
    ReleaseCom(backBuffer_);
    ReleaseCom(depthSurface_);
    for (ILostable* object : registry_)
        object->OnLostDevice();
}

void CVELD3D::RestoreStep()
{
    viewport_ = D3DVIEWPORT9{0, 0, 0, 0, 0.0f, 1.0f};
    for (ILostable* object : registry_)
        object->OnResetDevice();
    IDirect3DSurface9* surface = nullptr;
    if (FAILED(device_->GetRenderTarget(0, &surface)))
        surface = nullptr;
    ReleaseCom(backBuffer_);
    backBuffer_ = surface;
    surface = nullptr;
    if (FAILED(device_->GetDepthStencilSurface(&surface)))
        surface = nullptr;
    ReleaseCom(depthSurface_);
    depthSurface_ = surface;
    if (renderTarget_) {
        auto* target = static_cast<CD3DTexture*>(renderTarget_);
        device_->SetRenderTarget(0, target->Surface());
        device_->SetDepthStencilSurface(target->DepthSurface());
    }
}

bool CVELD3D::ReleaseDevice()
{
    VELAutoLock lock(&lock_);
    if (!device_ || !WaitIdle())
        return false;
    LoseStep();
    ReleaseCom(device_);
    return true;
}

bool CVELD3D::ResetDevice(uint32_t width, uint32_t height, bool fullScreen, int32_t colourFormat)
{
    VELAutoLock lock(&lock_);
    const bool idle = WaitIdle();
    if (!device_ || !idle || colourFormat >= 2 || width == 0 || height == 0)
        return false;
    const D3DFORMAT format = SelectFormat(colourFormat);
    fullScreen_ = fullScreen;
    presentation_.Windowed = fullScreen ? FALSE : TRUE;
    if (fullScreen) {
        D3DDISPLAYMODE mode;
        if (!FindMode(format, width, height, &mode))
            return false;
        presentation_.BackBufferWidth = mode.Width;
        presentation_.BackBufferHeight = mode.Height;
        presentation_.FullScreen_RefreshRateInHz = mode.RefreshRate;
        presentation_.BackBufferFormat = format;
    } else {
        presentation_.BackBufferWidth = width;
        presentation_.BackBufferHeight = height;
        presentation_.FullScreen_RefreshRateInHz = 0;
        presentation_.BackBufferFormat = format;
    }
    LoseStep();
    InvalidateStates();
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (SUCCEEDED(device_->Reset(&presentation_))) {
            RestoreStep();
            return true;
        }
        Sleep(100);
    }
    return false;
}

bool CVELD3D::SetRenderTarget(ID3DTexture* target)
{
    VELAutoLock lock(&lock_);
    if (!device_)
        return false;
    uint32_t width = 0, height = 0;
    if (!target) {
        device_->SetRenderTarget(0, backBuffer_);
        device_->SetDepthStencilSurface(depthSurface_);
        DropReference(renderTarget_);
        width = presentation_.BackBufferWidth;
        height = presentation_.BackBufferHeight;
    } else {
        auto* texture = dynamic_cast<CD3DTexture*>(target);
        // A target without its surface (never made, or lost) cannot take the drawing.
        if (!texture || !texture->IsRenderTarget() || !texture->Surface())
            return false;
        device_->SetRenderTarget(0, texture->Surface());
        device_->SetDepthStencilSurface(texture->DepthSurface());
        ReplaceReference(renderTarget_, target);
        width = target->GetWidth();
        height = target->GetHeight();
    }
    if (width != viewport_.Width || height != viewport_.Height) {
        viewport_.Width = width;
        viewport_.Height = height;
        device_->SetViewport(&viewport_);
    }
    return true;
}

void CVELD3D::Clear(uint32_t colour)
{
    VELAutoLock lock(&lock_);
    if (device_)
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, colour, 1.0f, 0);
}

bool CVELD3D::BeginScene()
{
    VELAutoLock lock(&lock_);
    if (!device_)
        return false;
    SetCached(kCullMode, D3DCULL_NONE);
    SetCached(kLighting, FALSE);
    SetCached(kAlphaTestEnable, TRUE);
    SetCached(kAlphaRef, 8);
    SetCached(kAlphaFunc, D3DCMP_GREATEREQUAL);
    SetCached(kColorArg2, D3DTA_DIFFUSE);
    SetCached(kAlphaOp, D3DTOP_MODULATE);
    device_->SetVertexShader(nullptr);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    return device_->BeginScene() == D3D_OK;
}

void CVELD3D::EndScene()
{
    VELAutoLock lock(&lock_);
    if (device_)
        device_->EndScene();
}

bool CVELD3D::Present()
{
    VELAutoLock lock(&lock_);
    if (!device_)
        return false;
    return device_->Present(nullptr, nullptr, nullptr, nullptr) != D3DERR_DEVICELOST;
}

int32_t CVELD3D::TestCooperativeLevel()
{
    VELAutoLock lock(&lock_);
    if (!device_)
        return D3DERR_INVALIDCALL;
    return device_->TestCooperativeLevel();
}

ID3DEffect* CVELD3D::CreateEffect(const char*)
{
    // The effect compiler is not part of this version of the module.
    return nullptr;
}

void CVELD3D::Register(ILostable* object)
{
    VELAutoLock lock(&lock_);
    registry_.insert(object);
}

void CVELD3D::Unregister(ILostable* object)
{
    VELAutoLock lock(&lock_);
    registry_.erase(object);
}

void CVELD3D::InvalidateStates()
{
    VELAutoLock lock(&lock_);
    for (DWORD& s : states_)
        s = kUnknown;
}

void CVELD3D::SetCached(int index, DWORD value)
{
    static constexpr D3DRENDERSTATETYPE kRenderStates[] = {
        D3DRS_SRCBLEND,        D3DRS_DESTBLEND, D3DRS_ALPHABLENDENABLE, D3DRS_CULLMODE,
        D3DRS_LIGHTING,        D3DRS_ALPHATESTENABLE, D3DRS_ALPHAREF,   D3DRS_ALPHAFUNC};
    static constexpr D3DTEXTURESTAGESTATETYPE kStageStates[] = {D3DTSS_COLOROP, D3DTSS_COLORARG1, D3DTSS_COLORARG2,
                                                                D3DTSS_ALPHAOP};
    VELAutoLock lock(&lock_);
    if (!device_ || states_[index] == value)
        return;
    states_[index] = value;
    if (index < kColorOp)
        device_->SetRenderState(kRenderStates[index], value);
    else
        device_->SetTextureStageState(0, kStageStates[index - kColorOp], value);
}

void CVELD3D::ApplyDrawMode(const DrawMode& mode)
{
    VELAutoLock lock(&lock_);
    switch (mode.colourMode) {
    case 0:
        SetColorArg1(D3DTA_TEXTURE);
        SetColorOp(D3DTOP_MODULATE);
        break;
    case 1:
        SetColorArg1(D3DTA_TEXTURE);
        SetColorOp(D3DTOP_ADD);
        break;
    case 2:
        SetColorArg1(D3DTA_DIFFUSE);
        SetColorOp(D3DTOP_SELECTARG1);
        break;
    default:
        break;
    }
    if (!mode.blend) {
        SetAlphaBlendEnable(FALSE);
        return;
    }
    static constexpr DWORD kFactors[8][2] = {
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},  {D3DBLEND_SRCALPHA, D3DBLEND_ONE},
        {D3DBLEND_ZERO, D3DBLEND_INVSRCCOLOR},      {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO},
        {D3DBLEND_INVDESTCOLOR, D3DBLEND_ZERO},     {D3DBLEND_DESTCOLOR, D3DBLEND_ONE},
        {D3DBLEND_ONE, D3DBLEND_INVSRCALPHA},       {D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE}};
    if (mode.blendType >= 0 && mode.blendType < 8) {
        SetSrcBlend(kFactors[mode.blendType][0]);
        SetDestBlend(kFactors[mode.blendType][1]);
    }
    SetAlphaBlendEnable(TRUE);
}

} // namespace VEL

VEL_DEFINE_MODULE_EXPORTS(VEL::CVELD3D)
