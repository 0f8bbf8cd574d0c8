// The device: swap chain, state, resources, Clear, Present, loss and Reset. Drawing is in
// device_draw.cpp.
#include "device.h"
#include "com_object.h"

#include "runtime.h"

#include <SDL.h>

#include <emmintrin.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace plat::d3d9 {

Device::Device(Adapter* adapter, HWND focusWindow, DWORD behaviorFlags)
    : adapter_(adapter), focusWindow_(focusWindow), behaviorFlags_(behaviorFlags)
{
    adapter_->AddRef();
    Runtime& r = Runtime::get();
    {
        std::lock_guard lock(r.mutex);
        r.devices.insert(this);
        ++r.liveObjects;
    }
    D3DCAPS9 caps;
    Adapter::fill_caps(&caps);
    maxTextureWidth_ = caps.MaxTextureWidth;
    maxTextureHeight_ = caps.MaxTextureHeight;
    maxPrimitiveCount_ = caps.MaxPrimitiveCount;
    maxVertexIndex_ = caps.MaxVertexIndex;
    dynamicTextures_ = (caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES) != 0;
    set_default_states();
}

Device::~Device()
{
    {
        std::lock_guard lock(mutex_);
        unbind_all();
        release_swap_chain();
        presenter_.reset();
    }
    Runtime& r = Runtime::get();
    {
        std::lock_guard lock(r.mutex);
        r.devices.erase(this);
        --r.liveObjects;
    }
    adapter_->Release();
}

void Device::set_default_states()
{
    std::memset(renderStates_, 0, sizeof(renderStates_));
    renderStates_[D3DRS_ZENABLE] = params_.EnableAutoDepthStencil ? D3DZB_TRUE : D3DZB_FALSE;
    renderStates_[D3DRS_FILLMODE] = D3DFILL_SOLID;
    renderStates_[D3DRS_SHADEMODE] = D3DSHADE_GOURAUD;
    renderStates_[D3DRS_ZWRITEENABLE] = TRUE;
    renderStates_[D3DRS_LASTPIXEL] = TRUE;
    renderStates_[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    renderStates_[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    renderStates_[D3DRS_CULLMODE] = D3DCULL_CCW;
    renderStates_[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    renderStates_[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    renderStates_[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFFu;
    renderStates_[D3DRS_CLIPPING] = TRUE;
    renderStates_[D3DRS_LIGHTING] = TRUE;
    renderStates_[D3DRS_COLORVERTEX] = TRUE;
    renderStates_[D3DRS_COLORWRITEENABLE] = 0xF;
    renderStates_[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    std::memset(stageStates_, 0, sizeof(stageStates_));
    for (DWORD s = 0; s < 8; ++s) {
        stageStates_[s][D3DTSS_COLOROP] = s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        stageStates_[s][D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        stageStates_[s][D3DTSS_COLORARG2] = D3DTA_CURRENT;
        stageStates_[s][D3DTSS_ALPHAOP] = s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        stageStates_[s][D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        stageStates_[s][D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        stageStates_[s][D3DTSS_TEXCOORDINDEX] = s;
        stageStates_[s][D3DTSS_COLORARG0] = D3DTA_CURRENT;
        stageStates_[s][D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        stageStates_[s][D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    std::memset(samplerStates_, 0, sizeof(samplerStates_));
    for (auto& s : samplerStates_) {
        s[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        s[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        s[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        s[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        s[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    }
    fvf_ = 0;
}

HRESULT Device::validate_parameters(D3DPRESENT_PARAMETERS* p, HWND focusWindow)
{
    HWND window = p->hDeviceWindow ? p->hDeviceWindow : focusWindow;
    if (!window && !p->Windowed)
        return D3DERR_INVALIDCALL;
    if (p->Windowed) {
        if (p->FullScreen_RefreshRateInHz != 0)
            return D3DERR_INVALIDCALL;
        if ((p->BackBufferWidth == 0 || p->BackBufferHeight == 0) && window) {
            int w = 0, h = 0;
            SDL_GetWindowSize(static_cast<SDL_Window*>(window), &w, &h);
            if (p->BackBufferWidth == 0)
                p->BackBufferWidth = static_cast<UINT>(w > 0 ? w : 0);
            if (p->BackBufferHeight == 0)
                p->BackBufferHeight = static_cast<UINT>(h > 0 ? h : 0);
        }
        if (p->BackBufferFormat == D3DFMT_UNKNOWN)
            p->BackBufferFormat = D3DFMT_X8R8G8B8;
    } else {
        bool found = false;
        for (const DisplayModeEntry& m : adapter_modes())
            if (m.width == p->BackBufferWidth && m.height == p->BackBufferHeight &&
                (p->FullScreen_RefreshRateInHz == 0 || m.refresh == p->FullScreen_RefreshRateInHz))
                found = true;
        if (!found)
            return D3DERR_INVALIDCALL;
    }
    if (p->BackBufferWidth == 0 || p->BackBufferHeight == 0 || p->BackBufferWidth > 16384 ||
        p->BackBufferHeight > 16384)
        return D3DERR_INVALIDCALL;
    if (p->BackBufferFormat != D3DFMT_X8R8G8B8 && p->BackBufferFormat != D3DFMT_R5G6B5 &&
        p->BackBufferFormat != D3DFMT_A8R8G8B8)
        return D3DERR_INVALIDCALL;
    if (p->BackBufferCount > 3)
        return D3DERR_INVALIDCALL;
    if (p->BackBufferCount == 0)
        p->BackBufferCount = 1;
    if (p->MultiSampleType != D3DMULTISAMPLE_NONE)
        return D3DERR_INVALIDCALL;
    if (p->SwapEffect < D3DSWAPEFFECT_DISCARD || p->SwapEffect > D3DSWAPEFFECT_COPY)
        return D3DERR_INVALIDCALL;
    if (p->EnableAutoDepthStencil && p->AutoDepthStencilFormat != D3DFMT_D16)
        return D3DERR_INVALIDCALL;
    if (p->PresentationInterval != D3DPRESENT_INTERVAL_DEFAULT && p->PresentationInterval != D3DPRESENT_INTERVAL_ONE &&
        p->PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE)
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

HRESULT Device::build_swap_chain(const D3DPRESENT_PARAMETERS& p)
{
    Runtime& r = Runtime::get();
    uint64_t colourBytes = uint64_t{p.BackBufferWidth} * p.BackBufferHeight * format_bytes(p.BackBufferFormat);
    uint64_t depthBytes = p.EnableAutoDepthStencil ? uint64_t{p.BackBufferWidth} * p.BackBufferHeight * 2 : 0;
    if (!r.reserve_video_memory(colourBytes + depthBytes))
        return D3DERR_OUTOFVIDEOMEMORY;
    // The surfaces give the reservation back when they die.
    backBuffer_ = new (std::nothrow) Surface(this, Surface::Kind::Implicit, nullptr, p.BackBufferFormat,
                                             p.BackBufferWidth, p.BackBufferHeight, D3DUSAGE_RENDERTARGET,
                                             D3DPOOL_DEFAULT);
    if (!backBuffer_) {
        r.free_video_memory(colourBytes + depthBytes);
        return E_OUTOFMEMORY;
    }
    backBuffer_->set_lockable((p.Flags & D3DPRESENTFLAG_LOCKABLE_BACKBUFFER) != 0);
    if (p.EnableAutoDepthStencil) {
        autoDepth_ = new (std::nothrow) Surface(this, Surface::Kind::Implicit, nullptr, D3DFMT_D16, p.BackBufferWidth,
                                                p.BackBufferHeight, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
        if (!autoDepth_)
            r.free_video_memory(depthBytes);
    }
    if (!backBuffer_->ok() || (p.EnableAutoDepthStencil && (!autoDepth_ || !autoDepth_->ok()))) {
        release_swap_chain();
        return E_OUTOFMEMORY;
    }
    params_ = p;
    set_default_states();
    renderTarget_ = backBuffer_;
    backBuffer_->bind();
    if (autoDepth_) {
        depthStencil_ = autoDepth_;
        autoDepth_->bind();
    }
    viewport_ = {0, 0, p.BackBufferWidth, p.BackBufferHeight, 0.0f, 1.0f};
    HWND window = p.hDeviceWindow ? p.hDeviceWindow : focusWindow_;
    presenter_ = make_presenter(window);
    return D3D_OK;
}

void Device::release_swap_chain()
{
    delete backBuffer_;
    backBuffer_ = nullptr;
    delete autoDepth_;
    autoDepth_ = nullptr;
}

HRESULT Device::initialise(const D3DPRESENT_PARAMETERS& parameters)
{
    std::lock_guard lock(mutex_);
    return build_swap_chain(parameters);
}

void Device::unbind_all()
{
    if (renderTarget_)
        renderTarget_->owner().unbind();
    renderTarget_ = nullptr;
    if (depthStencil_)
        depthStencil_->owner().unbind();
    depthStencil_ = nullptr;
    for (Texture*& t : textures_) {
        if (t)
            t->unbind();
        t = nullptr;
    }
    if (stream_)
        stream_->unbind();
    stream_ = nullptr;
}

HRESULT Device::QueryInterface(REFIID iid, void** object)
{
    return plat::com::QueryAs(static_cast<IUnknown*>(this), iid, object, {});
}

ULONG Device::AddRef()
{
    return ++refs_;
}

ULONG Device::Release()
{
    uint32_t n = --refs_;
    if (n == 0)
        delete this;
    return n;
}

void Device::control_lose()
{
    loss_.store(Lost);
}

void Device::control_restorable()
{
    uint32_t expected = Lost;
    loss_.compare_exchange_strong(expected, NotReset);
}

void Device::poll_focus()
{
    if (params_.Windowed || !presenter_)
        return;
    HWND window = params_.hDeviceWindow ? params_.hDeviceWindow : focusWindow_;
    bool focused = presenter_->has_focus(window);
    if (!focused && loss_.load() == Operational) {
        loss_.store(Lost);
        lostByFocus_ = true;
    } else if (focused && lostByFocus_) {
        uint32_t expected = Lost;
        loss_.compare_exchange_strong(expected, NotReset);
        lostByFocus_ = false;
    }
}

HRESULT Device::TestCooperativeLevel()
{
    std::lock_guard lock(mutex_);
    poll_focus();
    switch (loss_.load()) {
    case Lost:
        return D3DERR_DEVICELOST;
    case NotReset:
        return D3DERR_DEVICENOTRESET;
    default:
        return D3D_OK;
    }
}

UINT Device::GetAvailableTextureMem()
{
    // Rounded down to the nearest megabyte, as the figure is documented to be approximate.
    return Runtime::get().free_video_memory_figure() & ~0xFFFFFu;
}

HRESULT Device::GetDirect3D(IDirect3D9** d3d)
{
    if (!d3d)
        return D3DERR_INVALIDCALL;
    adapter_->AddRef();
    *d3d = adapter_;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps)
{
    if (!caps)
        return D3DERR_INVALIDCALL;
    Adapter::fill_caps(caps);
    return D3D_OK;
}

HRESULT Device::Reset(D3DPRESENT_PARAMETERS* parameters)
{
    std::lock_guard lock(mutex_);
    if (!parameters)
        return D3DERR_INVALIDCALL;
    poll_focus();
    if (loss_.load() == Lost)
        return D3DERR_DEVICELOST;
    // Every default-pool resource and every reference to the implicit surfaces must be gone.
    if (defaultResources_ > 0 || (backBuffer_ && backBuffer_->public_refs() > 0) ||
        (autoDepth_ && autoDepth_->public_refs() > 0)) {
        loss_.store(NotReset);
        return D3DERR_INVALIDCALL;
    }
    D3DPRESENT_PARAMETERS p = *parameters;
    HRESULT hr = validate_parameters(&p, focusWindow_);
    if (FAILED(hr)) {
        loss_.store(NotReset);
        return hr;
    }
    unbind_all();
    release_swap_chain();
    inScene_ = false;
    hr = build_swap_chain(p);
    if (FAILED(hr)) {
        loss_.store(NotReset);
        return hr;
    }
    *parameters = p;
    lostByFocus_ = false;
    loss_.store(Operational);
    return D3D_OK;
}

HRESULT Device::Present(const RECT*, const RECT*, HWND destWindowOverride, const RGNDATA*)
{
    std::lock_guard lock(mutex_);
    poll_focus();
    if (loss_.load() != Operational)
        return D3DERR_DEVICELOST;
    if (inScene_ || !backBuffer_)
        return D3DERR_INVALIDCALL;
    HWND window = destWindowOverride ? destWindowOverride
                                     : (params_.hDeviceWindow ? params_.hDeviceWindow : focusWindow_);
    return presenter_->present(backBuffer_->store(), window, params_.PresentationInterval);
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** out)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (swapChain != 0 || index != 0 || type != D3DBACKBUFFER_TYPE_MONO || !backBuffer_)
        return D3DERR_INVALIDCALL;
    backBuffer_->AddRef();
    *out = backBuffer_;
    return D3D_OK;
}

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** out, HANDLE* sharedHandle)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > maxTextureWidth_ || height > maxTextureHeight_)
        return D3DERR_INVALIDCALL;
    if (pool > D3DPOOL_SCRATCH || (usage & ~(D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC)) != 0)
        return D3DERR_INVALIDCALL;
    platctl_d3d9_profile profile = Runtime::get().profile_copy();
    bool rt = (usage & D3DUSAGE_RENDERTARGET) != 0;
    if (rt) {
        if (pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC) ||
            (format != D3DFMT_X8R8G8B8 && format != D3DFMT_R5G6B5 && format != D3DFMT_A8R8G8B8))
            return D3DERR_INVALIDCALL;
    } else {
        uint32_t bit = format == D3DFMT_A8R8G8B8   ? PLATCTL_D3D9_TEX_A8R8G8B8
                       : format == D3DFMT_X8R8G8B8 ? PLATCTL_D3D9_TEX_X8R8G8B8
                       : format == D3DFMT_A4R4G4B4 ? PLATCTL_D3D9_TEX_A4R4G4B4
                       : format == D3DFMT_R5G6B5   ? PLATCTL_D3D9_TEX_R5G6B5
                                                   : 0u;
        if (!(profile.texture_formats & bit))
            return D3DERR_INVALIDCALL;
    }
    if ((usage & D3DUSAGE_DYNAMIC) && (!dynamicTextures_ || pool == D3DPOOL_MANAGED || pool == D3DPOOL_SCRATCH))
        return D3DERR_INVALIDCALL;
    uint32_t chain = Texture::full_chain(width, height);
    if (levels == 0)
        levels = chain;
    if (levels > chain)
        return D3DERR_INVALIDCALL;
    uint64_t bytes = pool == D3DPOOL_DEFAULT ? Texture::bytes_for(width, height, levels, format) : 0;
    if (bytes && !Runtime::get().reserve_video_memory(bytes))
        return D3DERR_OUTOFVIDEOMEMORY;
    auto* texture = new (std::nothrow) Texture(this, width, height, levels, usage, format, pool, bytes);
    if (!texture) {
        Runtime::get().free_video_memory(bytes);
        return E_OUTOFMEMORY;
    }
    if (!texture->ok()) {
        texture->Release();
        return E_OUTOFMEMORY;
    }
    *out = texture;
    return D3D_OK;
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD /*fvf*/, D3DPOOL pool,
                                   IDirect3DVertexBuffer9** out, HANDLE* sharedHandle)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (sharedHandle || length == 0 || pool == D3DPOOL_SCRATCH || pool > D3DPOOL_SCRATCH ||
        (usage & ~(D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY)) != 0 ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED))
        return D3DERR_INVALIDCALL;
    if (pool == D3DPOOL_DEFAULT && !Runtime::get().reserve_video_memory(length))
        return D3DERR_OUTOFVIDEOMEMORY;
    auto* vb = new (std::nothrow) VertexBuffer(this, length, usage, 0, pool);
    if (!vb) {
        if (pool == D3DPOOL_DEFAULT)
            Runtime::get().free_video_memory(length);
        return E_OUTOFMEMORY;
    }
    if (!vb->ok()) {
        vb->Release();
        return E_OUTOFMEMORY;
    }
    *out = vb;
    return D3D_OK;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                          DWORD, BOOL, IDirect3DSurface9** out, HANDLE* sharedHandle)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > 16384 || height > 16384 || format != D3DFMT_D16 ||
        multiSample != D3DMULTISAMPLE_NONE)
        return D3DERR_INVALIDCALL;
    uint64_t bytes = uint64_t{width} * height * 2;
    if (!Runtime::get().reserve_video_memory(bytes))
        return D3DERR_OUTOFVIDEOMEMORY;
    auto* s = new (std::nothrow)
        Surface(this, Surface::Kind::Standalone, nullptr, format, width, height, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT);
    if (!s) {
        Runtime::get().free_video_memory(bytes);
        return E_OUTOFMEMORY;
    }
    if (!s->ok()) {
        s->Release();
        return E_OUTOFMEMORY;
    }
    *out = s;
    return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** out, HANDLE* sharedHandle)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (sharedHandle || width == 0 || height == 0 || width > 16384 || height > 16384 || !is_colour_format(format) ||
        pool == D3DPOOL_MANAGED || pool > D3DPOOL_SCRATCH)
        return D3DERR_INVALIDCALL;
    uint64_t bytes = pool == D3DPOOL_DEFAULT ? uint64_t{width} * height * format_bytes(format) : 0;
    if (bytes && !Runtime::get().reserve_video_memory(bytes))
        return D3DERR_OUTOFVIDEOMEMORY;
    auto* s = new (std::nothrow) Surface(this, Surface::Kind::Standalone, nullptr, format, width, height, 0, pool);
    if (!s) {
        Runtime::get().free_video_memory(bytes);
        return E_OUTOFMEMORY;
    }
    if (!s->ok()) {
        s->Release();
        return E_OUTOFMEMORY;
    }
    *out = s;
    return D3D_OK;
}

namespace {

void copy_rows(const PixelStore& src, uint32_t sx, uint32_t sy, PixelStore& dst, uint32_t dx, uint32_t dy, uint32_t w,
               uint32_t h)
{
    uint32_t bpp = format_bytes(src.format);
    for (uint32_t y = 0; y < h; ++y)
        std::memcpy(dst.row(dy + y) + size_t{dx} * bpp, src.row(sy + y) + size_t{sx} * bpp, size_t{w} * bpp);
}

} // namespace

HRESULT Device::UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* destination,
                              const POINT* destPoint)
{
    std::lock_guard lock(mutex_);
    if (!source || !destination || source == destination)
        return D3DERR_INVALIDCALL;
    auto* src = static_cast<Surface*>(source);
    auto* dst = static_cast<Surface*>(destination);
    if (src->pool() != D3DPOOL_SYSTEMMEM || dst->pool() != D3DPOOL_DEFAULT || src->is_depth() || dst->is_depth() ||
        src->store().format != dst->store().format || src->locked() || dst->locked())
        return D3DERR_INVALIDCALL;
    RECT r{0, 0, static_cast<LONG>(src->store().width), static_cast<LONG>(src->store().height)};
    if (sourceRect) {
        r = *sourceRect;
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
            static_cast<uint32_t>(r.right) > src->store().width || static_cast<uint32_t>(r.bottom) > src->store().height)
            return D3DERR_INVALIDCALL;
    }
    LONG px = destPoint ? destPoint->x : 0, py = destPoint ? destPoint->y : 0;
    uint32_t w = static_cast<uint32_t>(r.right - r.left), h = static_cast<uint32_t>(r.bottom - r.top);
    if (px < 0 || py < 0 || uint64_t(px) + w > dst->store().width || uint64_t(py) + h > dst->store().height)
        return D3DERR_INVALIDCALL;
    copy_rows(src->store(), static_cast<uint32_t>(r.left), static_cast<uint32_t>(r.top), dst->store(),
              static_cast<uint32_t>(px), static_cast<uint32_t>(py), w, h);
    dst->contents_changed();
    return D3D_OK;
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination)
{
    std::lock_guard lock(mutex_);
    if (!renderTarget || !destination)
        return D3DERR_INVALIDCALL;
    auto* src = static_cast<Surface*>(renderTarget);
    auto* dst = static_cast<Surface*>(destination);
    if (!src->is_render_target() || src->pool() != D3DPOOL_DEFAULT || dst->pool() != D3DPOOL_SYSTEMMEM ||
        src->store().format != dst->store().format || src->store().width != dst->store().width ||
        src->store().height != dst->store().height || src->locked() || dst->locked())
        return D3DERR_INVALIDCALL;
    if (loss_.load() != Operational)
        return D3DERR_DEVICELOST;
    copy_rows(src->store(), 0, 0, dst->store(), 0, 0, src->store().width, src->store().height);
    dst->contents_changed();
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* target)
{
    std::lock_guard lock(mutex_);
    if (index != 0 || !target)
        return D3DERR_INVALIDCALL;
    auto* s = static_cast<Surface*>(target);
    if (!s->is_render_target())
        return D3DERR_INVALIDCALL;
    s->owner().bind();
    if (renderTarget_)
        renderTarget_->owner().unbind();
    renderTarget_ = s;
    // A new render target resets the viewport to its whole area.
    viewport_ = {0, 0, s->store().width, s->store().height, 0.0f, 1.0f};
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** out)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (index != 0)
        return D3DERR_INVALIDCALL;
    if (!renderTarget_)
        return D3DERR_NOTFOUND;
    renderTarget_->AddRef();
    *out = renderTarget_;
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* surface)
{
    std::lock_guard lock(mutex_);
    auto* s = static_cast<Surface*>(surface);
    if (s && !s->is_depth())
        return D3DERR_INVALIDCALL;
    if (s)
        s->owner().bind();
    if (depthStencil_)
        depthStencil_->owner().unbind();
    depthStencil_ = s;
    return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** out)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!depthStencil_)
        return D3DERR_NOTFOUND;
    depthStencil_->AddRef();
    *out = depthStencil_;
    return D3D_OK;
}

HRESULT Device::BeginScene()
{
    std::lock_guard lock(mutex_);
    if (inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    std::lock_guard lock(mutex_);
    if (!inScene_)
        return D3DERR_INVALIDCALL;
    inScene_ = false;
    return D3D_OK;
}

namespace {

// Clear's row fills: sixteen bytes a store (SSE2 is in every x86-64 processor), where the plain
// loop stored one pixel at a time.
template <typename T>
void fill_row(T* p, int64_t n, T value)
{
    static_assert(sizeof(T) == 2 || sizeof(T) == 4);
    const __m128i v = sizeof(T) == 4 ? _mm_set1_epi32(static_cast<int>(value))
                                     : _mm_set1_epi16(static_cast<short>(value));
    constexpr int64_t perStore = 16 / sizeof(T);
    int64_t i = 0;
    for (; i + perStore <= n; i += perStore)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
    for (; i < n; ++i)
        p[i] = value;
}

} // namespace

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD /*stencil*/)
{
    std::lock_guard lock(mutex_);
    if ((count > 0 && !rects) || (flags & D3DCLEAR_STENCIL) || ((flags & D3DCLEAR_ZBUFFER) && !depthStencil_) ||
        ((flags & D3DCLEAR_TARGET) && !renderTarget_))
        return D3DERR_INVALIDCALL;
    if (loss_.load() != Operational || !renderTarget_)
        return D3D_OK; // a lost device throws drawing away
    // Clears are limited to the viewport (and to each rectangle given).
    int64_t vx0 = viewport_.X, vy0 = viewport_.Y;
    int64_t vx1 = vx0 + viewport_.Width, vy1 = vy0 + viewport_.Height;
    PixelStore& target = renderTarget_->store();
    vx1 = std::min<int64_t>(vx1, target.width);
    vy1 = std::min<int64_t>(vy1, target.height);
    if (depthStencil_ && (flags & D3DCLEAR_ZBUFFER)) {
        vx1 = std::min<int64_t>(vx1, depthStencil_->store().width);
        vy1 = std::min<int64_t>(vy1, depthStencil_->store().height);
    }
    uint16_t depth = quantize_depth(z);
    uint32_t bpp = format_bytes(target.format);
    // The colour stored once, then copied across each row.
    uint8_t pixel[4] = {0, 0, 0, 0};
    store_argb(target.format, pixel, color);
    uint32_t n = count == 0 ? 1 : count;
    for (uint32_t i = 0; i < n; ++i) {
        int64_t x0 = vx0, y0 = vy0, x1 = vx1, y1 = vy1;
        if (count > 0) {
            x0 = std::max<int64_t>(x0, rects[i].x1);
            y0 = std::max<int64_t>(y0, rects[i].y1);
            x1 = std::min<int64_t>(x1, rects[i].x2);
            y1 = std::min<int64_t>(y1, rects[i].y2);
        }
        if (x0 >= x1 || y0 >= y1)
            continue;
        // Rows are independent: large clears are shared by the raster threads.
        uint64_t area = static_cast<uint64_t>(x1 - x0) * static_cast<uint64_t>(y1 - y0);
        uint32_t threads = rasterizer_.threads_for(area, 1u << 18);
        const int64_t firstBand = y0 >> Rasterizer::kBandShift, lastBand = (y1 - 1) >> Rasterizer::kBandShift;
        rasterizer_.parallel_items(threads, static_cast<uint32_t>(lastBand - firstBand + 1), [&](uint32_t band) {
            const int64_t bandRow = (firstBand + band) << Rasterizer::kBandShift;
            const int64_t from = std::max(y0, bandRow);
            const int64_t to = std::min(y1, bandRow + (int64_t{1} << Rasterizer::kBandShift));
            for (int64_t y = from; y < to; ++y) {
                if (flags & D3DCLEAR_TARGET) {
                    uint8_t* row = target.row(static_cast<uint32_t>(y)) + x0 * bpp;
                    if (bpp == 4) {
                        uint32_t v;
                        std::memcpy(&v, pixel, 4);
                        fill_row(reinterpret_cast<uint32_t*>(row), x1 - x0, v);
                    } else {
                        uint16_t v;
                        std::memcpy(&v, pixel, 2);
                        fill_row(reinterpret_cast<uint16_t*>(row), x1 - x0, v);
                    }
                }
                if (flags & D3DCLEAR_ZBUFFER) {
                    auto* zrow = reinterpret_cast<uint16_t*>(depthStencil_->store().row(static_cast<uint32_t>(y)));
                    fill_row(zrow + x0, x1 - x0, depth);
                }
            }
        });
    }
    if (flags & D3DCLEAR_TARGET)
        renderTarget_->contents_changed();
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* vp)
{
    std::lock_guard lock(mutex_);
    if (!vp || !renderTarget_)
        return D3DERR_INVALIDCALL;
    if (uint64_t{vp->X} + vp->Width > renderTarget_->store().width ||
        uint64_t{vp->Y} + vp->Height > renderTarget_->store().height || !(vp->MinZ >= 0.0f) || !(vp->MaxZ <= 1.0f) ||
        vp->MinZ > vp->MaxZ)
        return D3DERR_INVALIDCALL;
    viewport_ = *vp;
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* vp)
{
    std::lock_guard lock(mutex_);
    if (!vp)
        return D3DERR_INVALIDCALL;
    *vp = viewport_;
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    std::lock_guard lock(mutex_);
    if (state >= 256)
        return D3DERR_INVALIDCALL;
    renderStates_[state] = value;
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    std::lock_guard lock(mutex_);
    if (state >= 256 || !value)
        return D3DERR_INVALIDCALL;
    *value = renderStates_[state];
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** out)
{
    std::lock_guard lock(mutex_);
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (stage >= 8)
        return D3DERR_INVALIDCALL;
    if (textures_[stage]) {
        textures_[stage]->AddRef();
        *out = textures_[stage];
    }
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    std::lock_guard lock(mutex_);
    if (stage >= 8)
        return D3DERR_INVALIDCALL;
    auto* t = static_cast<Texture*>(texture); // the only texture kind this device makes
    if (t == textures_[stage])
        return D3D_OK;
    if (t)
        t->bind();
    if (textures_[stage])
        textures_[stage]->unbind();
    textures_[stage] = t;
    return D3D_OK;
}

HRESULT Device::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value)
{
    std::lock_guard lock(mutex_);
    if (stage >= 8 || type >= 33 || !value)
        return D3DERR_INVALIDCALL;
    *value = stageStates_[stage][type];
    return D3D_OK;
}

HRESULT Device::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    std::lock_guard lock(mutex_);
    if (stage >= 8 || type >= 33)
        return D3DERR_INVALIDCALL;
    stageStates_[stage][type] = value;
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    std::lock_guard lock(mutex_);
    if (sampler >= 16 || type >= 14 || !value)
        return D3DERR_INVALIDCALL;
    *value = samplerStates_[sampler][type];
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    std::lock_guard lock(mutex_);
    if (sampler >= 16 || type >= 14)
        return D3DERR_INVALIDCALL;
    samplerStates_[sampler][type] = value;
    return D3D_OK;
}

HRESULT Device::SetFVF(DWORD fvf)
{
    std::lock_guard lock(mutex_);
    fvf_ = fvf;
    return D3D_OK;
}

HRESULT Device::GetFVF(DWORD* fvf)
{
    std::lock_guard lock(mutex_);
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = fvf_;
    return D3D_OK;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader)
{
    // LIMITATIONS: no programmable vertex stage; only the fixed-function (null) shader.
    return shader ? D3DERR_INVALIDCALL : D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride)
{
    std::lock_guard lock(mutex_);
    if (stream != 0)
        return D3DERR_INVALIDCALL;
    auto* vb = static_cast<VertexBuffer*>(buffer);
    if (vb != stream_) {
        if (vb)
            vb->bind();
        if (stream_)
            stream_->unbind();
        stream_ = vb;
    }
    streamOffset_ = offset;
    streamStride_ = stride;
    return D3D_OK;
}

} // namespace plat::d3d9
