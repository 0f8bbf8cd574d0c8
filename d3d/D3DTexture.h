// D3DTexture.h - CD3DTexture: a default-pool texture the host fills by locking it.
#pragma once

#include "CriticalSection.h"
#include "ID3DTexture.h"
#include "Lostable.h"
#include "VELObject.h"

#include "d3d9.h"

namespace VEL {

class CVELD3D;

// Lock paths: a dynamic ordinary texture is locked directly; render targets and textures on
// devices without dynamic textures go through a system-memory staging copy, uploaded at Unlock.
// Threads: Lock/Unlock may run on another thread than drawing. The idle event (manual reset,
// signalled while unlocked) is the hand-off; Unlock takes only the texture lock so it completes
// while the drawing thread holds the root lock waiting for it.
class CD3DTexture final : public TVELObject<ID3DTexture>, public ILostable {
public:
    explicit CD3DTexture(CVELD3D* root);
    ~CD3DTexture() override;

    uint32_t GetWidth() override { return width_; }
    uint32_t GetHeight() override { return height_; }
    bool Create(uint32_t width, uint32_t height, int32_t depth, bool renderTarget) override;
    void Destroy() override;
    bool Lock(D3DLockedRect* out, bool keepStaging) override;
    void Unlock() override;
    uint32_t GetTextureWidth() override { return textureWidth_; }
    uint32_t GetTextureHeight() override { return textureHeight_; }

    void OnLostDevice() override;
    bool OnResetDevice() override;
    int32_t GetLostableKind() override { return LOSTABLE_TEXTURE; }

    // Read by the renderers and the root.
    bool IsCreated() const { return created_; }
    bool IsValid() const { return valid_; }
    bool IsRenderTarget() const { return renderTarget_; }
    HANDLE IdleEvent() const { return idleEvent_; }
    CCriticalSection* TextureLock() { return &lock_; }
    IDirect3DTexture9* Texture() { return texture_; }
    IDirect3DSurface9* Surface() { return surface_; }
    IDirect3DSurface9* DepthSurface() { return depthSurface_; }

private:
    bool Staged() const { return renderTarget_ || !dynamic_; }
    void ChooseFormat(D3DFORMAT* format, DWORD* usage) const;
    bool MakeDeviceObjects(IDirect3DDevice9* device);
    void ClearContents();
    void ReleaseStaging();

    bool created_ = false;
    bool valid_ = false;
    bool dynamic_ = false;
    bool renderTarget_ = false;
    bool keepStaging_ = false;
    HANDLE idleEvent_ = nullptr;
    CVELD3D* root_; // counted
    int32_t depth_ = 0;
    IDirect3DTexture9* texture_ = nullptr;
    IDirect3DTexture9* staging_ = nullptr;
    IDirect3DSurface9* surface_ = nullptr;
    IDirect3DSurface9* stagingSurface_ = nullptr;
    IDirect3DSurface9* depthSurface_ = nullptr;
    uint32_t width_ = 0, height_ = 0;
    uint32_t textureWidth_ = 0, textureHeight_ = 0;
    CCriticalSection lock_;
};

} // namespace VEL
