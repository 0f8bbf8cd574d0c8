#include "D3DTexture.h"

#include "VELD3D.h"

#include <cstring>
#include <utility>

namespace VEL {
namespace {

template <class T>
void ReleaseCom(T*& p)
{
    if (T* old = std::exchange(p, nullptr))
        old->Release();
}

static_assert(sizeof(D3DLockedRect) == sizeof(D3DLOCKED_RECT) &&
                  offsetof(D3DLockedRect, pBits) == offsetof(D3DLOCKED_RECT, pBits),
              "the host's locked rectangle is the platform's");

} // namespace

CD3DTexture::CD3DTexture(CVELD3D* root) : root_(root)
{
    root_->AddRef();
    idleEvent_ = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    root_->Register(this);
}

CD3DTexture::~CD3DTexture()
{
    root_->Unregister(this);
    CloseHandle(idleEvent_);
    ReleaseCom(depthSurface_);
    ReleaseCom(stagingSurface_);
    ReleaseCom(surface_);
    ReleaseCom(staging_);
    ReleaseCom(texture_);
    root_->Release();
}

void CD3DTexture::ChooseFormat(D3DFORMAT* format, DWORD* usage) const
{
    if (renderTarget_) {
        *format = depth_ == 0 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
        *usage = D3DUSAGE_RENDERTARGET;
    } else {
        *format = depth_ == 0 ? D3DFMT_A8R8G8B8 : D3DFMT_A4R4G4B4;
        *usage = dynamic_ ? D3DUSAGE_DYNAMIC : 0;
    }
}

// The texture at the stored size, its level 0 and, for a render target, its depth surface.
bool CD3DTexture::MakeDeviceObjects(IDirect3DDevice9* device)
{
    D3DFORMAT format;
    DWORD usage;
    ChooseFormat(&format, &usage);
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(device->CreateTexture(textureWidth_, textureHeight_, 1, usage, format, D3DPOOL_DEFAULT, &texture,
                                     nullptr)) ||
        !texture)
        return false;
    ReleaseCom(surface_);
    ReleaseCom(texture_);
    texture_ = texture;
    if (FAILED(texture_->GetSurfaceLevel(0, &surface_)))
        surface_ = nullptr;
    if (renderTarget_) {
        IDirect3DSurface9* depth = nullptr;
        if (FAILED(device->CreateDepthStencilSurface(textureWidth_, textureHeight_, D3DFMT_D16, D3DMULTISAMPLE_NONE, 0,
                                                     TRUE, &depth, nullptr)) ||
            !depth)
            return false;
        ReleaseCom(depthSurface_);
        depthSurface_ = depth;
    } else {
        ReleaseCom(depthSurface_);
    }
    return true;
}

void CD3DTexture::ClearContents()
{
    D3DLockedRect rect;
    if (Lock(&rect, false)) {
        std::memset(rect.pBits, 0, static_cast<size_t>(textureHeight_) * static_cast<uint32_t>(rect.Pitch));
        Unlock();
    }
}

void CD3DTexture::ReleaseStaging()
{
    ReleaseCom(stagingSurface_);
    ReleaseCom(staging_);
}

bool CD3DTexture::Create(uint32_t width, uint32_t height, int32_t depth, bool renderTarget)
{
    VELAutoLock rootLock(root_->RootLock());
    Unlock();
    VELAutoLock lock(&lock_);
    if (width == 0 || height == 0 || depth >= 2)
        return true;
    width_ = width;
    height_ = height;
    depth_ = depth;
    renderTarget_ = renderTarget;
    dynamic_ = root_->DynamicTextures();
    uint32_t w = 1, h = 1;
    while (w < width && w < 0x80000000u)
        w <<= 1;
    while (h < height && h < 0x80000000u)
        h <<= 1;
    textureWidth_ = w;
    textureHeight_ = h;
    IDirect3DDevice9* device = root_->Device();
    if (w > root_->MaxTextureWidth() || h > root_->MaxTextureHeight() || !device || !MakeDeviceObjects(device)) {
        // The sizes now describe no pixels: an earlier texture must not be locked as this size.
        created_ = valid_ = false;
        ReleaseStaging();
        ReleaseCom(depthSurface_);
        ReleaseCom(surface_);
        ReleaseCom(texture_);
        return false;
    }
    ReleaseStaging();
    created_ = valid_ = true;
    ClearContents();
    return true;
}

void CD3DTexture::Destroy()
{
    VELAutoLock rootLock(root_->RootLock());
    Unlock();
    VELAutoLock lock(&lock_);
    if (!created_)
        return;
    created_ = valid_ = false;
    ReleaseStaging();
    ReleaseCom(depthSurface_);
    ReleaseCom(surface_);
    ReleaseCom(texture_);
}

bool CD3DTexture::Lock(D3DLockedRect* out, bool keepStaging)
{
    VELAutoLock rootLock(root_->RootLock());
    VELAutoLock lock(&lock_);
    if (!out || !valid_ || WaitForSingleObject(idleEvent_, 0) != WAIT_OBJECT_0)
        return false;
    auto* rect = reinterpret_cast<D3DLOCKED_RECT*>(out);
    if (!Staged()) {
        if (!surface_ || FAILED(surface_->LockRect(rect, nullptr, 0)))
            return false;
    } else {
        D3DFORMAT format;
        DWORD usage;
        ChooseFormat(&format, &usage);
        IDirect3DDevice9* device = root_->Device();
        if (!staging_) {
            if (!device || FAILED(device->CreateTexture(textureWidth_, textureHeight_, 1, 0, format,
                                                        D3DPOOL_SYSTEMMEM, &staging_, nullptr)))
                return false;
            if (FAILED(staging_->GetSurfaceLevel(0, &stagingSurface_)))
                stagingSurface_ = nullptr;
        }
        if (!device || !stagingSurface_)
            return false;
        // Copies a render target's pixels; an ordinary texture keeps what was last written.
        device->GetRenderTargetData(surface_, stagingSurface_);
        if (FAILED(stagingSurface_->LockRect(rect, nullptr, 0)))
            return false;
    }
    keepStaging_ = keepStaging;
    ResetEvent(idleEvent_);
    return true;
}

void CD3DTexture::Unlock()
{
    VELAutoLock lock(&lock_);
    if (!valid_ || WaitForSingleObject(idleEvent_, 0) == WAIT_OBJECT_0)
        return;
    if (!Staged()) {
        surface_->UnlockRect();
        SetEvent(idleEvent_);
        return;
    }
    stagingSurface_->UnlockRect();
    // The root keeps the device while a texture is locked; without it the texture stays locked.
    IDirect3DDevice9* device = root_->Device();
    if (!device)
        return;
    device->UpdateSurface(stagingSurface_, nullptr, surface_, nullptr);
    if (!keepStaging_)
        ReleaseStaging();
    SetEvent(idleEvent_);
}

void CD3DTexture::OnLostDevice()
{
    VELAutoLock lock(&lock_);
    if (!created_)
        return;
    valid_ = false;
    ReleaseCom(depthSurface_);
    ReleaseCom(surface_);
    ReleaseCom(texture_);
}

bool CD3DTexture::OnResetDevice()
{
    VELAutoLock lock(&lock_);
    if (!created_)
        return true;
    IDirect3DDevice9* device = root_->Device();
    if (!device || !MakeDeviceObjects(device))
        return false;
    valid_ = true;
    ClearContents();
    return true;
}

} // namespace VEL
