// VELD3D.h - CVELD3D, the graphics root: the device and everything per device, the lost-resource
// registry and the render-state cache that every renderer goes through.
#pragma once

#include "CriticalSection.h"
#include "IVELD3D.h"
#include "Lostable.h"
#include "VELObject.h"

#include "d3d9.h"

#include <set>

namespace VEL {

class CD3DTexture;

// The draw mode a renderer applies before each batch.
struct DrawMode {
    int32_t colourMode = 0;
    bool blend = false;
    int32_t blendType = 0;
};

class CVELD3D final : public TVELObject<IVELD3D> {
public:
    CVELD3D();
    ~CVELD3D() override;

    IVELInterface* CreateInterface(const GUID* id) override;
    bool GetAdapterInfo(AdapterInfo* out, uint32_t width, uint32_t height, int32_t colourFormat) override;
    uint32_t GetFreeVideoMemory() override;
    bool CreateDevice(void* window, int32_t level, uint32_t width, uint32_t height, bool fullScreen,
                      int32_t colourFormat) override;
    bool ReleaseDevice() override;
    bool ResetDevice(uint32_t width, uint32_t height, bool fullScreen, int32_t colourFormat) override;
    ID3DTexture* GetRenderTarget() override { return renderTarget_; }
    bool SetRenderTarget(ID3DTexture* target) override;
    void Clear(uint32_t colour) override;
    bool BeginScene() override;
    void EndScene() override;
    bool Present() override;
    int32_t TestCooperativeLevel() override;
    ID3DEffect* CreateEffect(const char* source) override;

    // --- used by the module's other classes ---------------------------------------------------
    // The recursive root lock; order: root, then texture, then renderer.
    CCriticalSection* RootLock() { return &lock_; }
    // The device (as the device id gives it), or null.
    IDirect3DDevice9* Device() { return device_; }
    uint32_t MaxTextureWidth() const { return maxTextureWidth_; }
    uint32_t MaxTextureHeight() const { return maxTextureHeight_; }
    uint32_t MaxPrimitiveCount() const { return maxPrimitiveCount_; }
    uint32_t MaxVertexIndex() const { return maxVertexIndex_; }
    bool DynamicTextures() const { return dynamicTextures_; }

    // Lost-resource registry: the last step of a registering constructor, the first of its
    // destructor.
    void Register(ILostable* object);
    void Unregister(ILostable* object);

    // Render-state setters: each sends its state only when the value changes. Without a device
    // they do nothing (and the cache keeps what was last sent).
    void SetSrcBlend(DWORD value) { SetCached(kSrcBlend, value); }
    void SetDestBlend(DWORD value) { SetCached(kDestBlend, value); }
    void SetAlphaBlendEnable(DWORD value) { SetCached(kAlphaBlendEnable, value); }
    void SetColorOp(DWORD value) { SetCached(kColorOp, value); }
    void SetColorArg1(DWORD value) { SetCached(kColorArg1, value); }
    void InvalidateStates();
    void ApplyDrawMode(const DrawMode& mode);

private:
    enum CachedState {
        kSrcBlend,
        kDestBlend,
        kAlphaBlendEnable,
        kCullMode,
        kLighting,
        kAlphaTestEnable,
        kAlphaRef,
        kAlphaFunc,
        kColorOp,
        kColorArg1,
        kColorArg2,
        kAlphaOp,
        kCachedStates
    };
    static constexpr DWORD kUnknown = 0x7FFFFFFF;

    void SetCached(int index, DWORD value);
    bool WaitIdle();
    void LoseStep();
    void RestoreStep();
    bool FindMode(D3DFORMAT format, uint32_t width, uint32_t height, D3DDISPLAYMODE* mode);

    bool fullScreen_ = false;
    IDirect3DSurface9* backBuffer_ = nullptr; // counted; null while lost or without a device
    IDirect3DSurface9* depthSurface_ = nullptr;
    IDirect3DDevice9* device_ = nullptr;
    ID3DTexture* renderTarget_ = nullptr; // counted
    uint32_t maxTextureWidth_ = 0, maxTextureHeight_ = 0;
    uint32_t maxPrimitiveCount_ = 0, maxVertexIndex_ = 0;
    bool dynamicTextures_ = false;
    D3DPRESENT_PARAMETERS presentation_{};
    D3DVIEWPORT9 viewport_{};
    std::set<ILostable*> registry_; // uncounted; root lock
    CCriticalSection lock_;
    DWORD states_[kCachedStates];
};

} // namespace VEL
