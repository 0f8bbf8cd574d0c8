// device.h - the adapter object (IDirect3D9) and the software device (IDirect3DDevice9).
//
// Threads: the device serialises every call with one recursive mutex (the engine drives it from
// one thread at a time, but a texture may be unlocked from another). Loss state is an atomic the
// control API may flip from any thread.
#pragma once

#include "d3d9.h"
#include "presenter.h"
#include "rast_scene.h"
#include "resource.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace plat::d3d9 {

class Adapter final : public IDirect3D9 {
public:
    Adapter();
    ~Adapter();

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    UINT GetAdapterCount() override { return 1; }
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** device) override;

    static void fill_caps(D3DCAPS9* caps);

private:
    std::atomic<uint32_t> refs_{1};
};

class Device final : public IDirect3DDevice9 {
public:
    Device(Adapter* adapter, HWND focusWindow, DWORD behaviorFlags);
    ~Device();
    // Builds the swap chain for the parameters (validated by the caller).
    HRESULT initialise(const D3DPRESENT_PARAMETERS& parameters);
    static HRESULT validate_parameters(D3DPRESENT_PARAMETERS* parameters, HWND focusWindow);

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT GetDirect3D(IDirect3D9** d3d) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* parameters) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT index, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** backBuffer) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE* sharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      DWORD multiSampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                      HANDLE* sharedHandle) override;
    HRESULT UpdateSurface(IDirect3DSurface9* source, const RECT* sourceRect, IDirect3DSurface9* destination,
                          const POINT* destPoint) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destination) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* depthStencil) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** depthStencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* vertexData,
                            UINT vertexStride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                   UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                   const void* vertexData, UINT vertexStride) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* buffer, UINT offset, UINT stride) override;

    // Resource bookkeeping (Resource calls these with the mutex held).
    std::recursive_mutex& mutex() { return mutex_; }
    void default_resource_added() { ++defaultResources_; }
    void default_resource_removed() { --defaultResources_; }

    // Control API: loss switches (any thread).
    void control_lose();
    void control_restorable();

    DWORD caps_max_texture_width() const { return maxTextureWidth_; }
    DWORD caps_max_texture_height() const { return maxTextureHeight_; }
    bool caps_dynamic_textures() const { return dynamicTextures_; }

private:
    enum LossState : uint32_t { Operational = 0, Lost = 1, NotReset = 2 };

    void set_default_states();
    HRESULT build_swap_chain(const D3DPRESENT_PARAMETERS& parameters);
    void release_swap_chain();
    void unbind_all();
    void poll_focus();
    template <class T> void rebind(T*& slot, T* next);
    HRESULT draw(D3DPRIMITIVETYPE type, UINT primitiveCount, const uint8_t* vertices, size_t vertexBytes,
                 UINT stride, const void* indices, D3DFORMAT indexFormat, UINT minIndex, UINT numVertices);
    bool capture_state(PixelState& state);

    std::recursive_mutex mutex_;
    std::atomic<uint32_t> refs_{1};
    std::atomic<uint32_t> loss_{Operational};
    Adapter* adapter_;
    HWND focusWindow_;
    DWORD behaviorFlags_;
    D3DPRESENT_PARAMETERS params_{};
    std::unique_ptr<Presenter> presenter_;
    bool inScene_ = false;
    bool lostByFocus_ = false;

    DWORD maxTextureWidth_ = 0, maxTextureHeight_ = 0, maxPrimitiveCount_ = 0, maxVertexIndex_ = 0;
    bool dynamicTextures_ = false;

    Surface* backBuffer_ = nullptr;  // implicit, owned
    Surface* autoDepth_ = nullptr;   // implicit, owned, may be null
    int32_t defaultResources_ = 0;   // application-held default-pool resources

    // Bindings (each counted with Resource::bind).
    Surface* renderTarget_ = nullptr;
    Surface* depthStencil_ = nullptr;
    Texture* textures_[8] = {};
    VertexBuffer* stream_ = nullptr;
    UINT streamOffset_ = 0, streamStride_ = 0;
    DWORD fvf_ = 0;

    DWORD renderStates_[256] = {};
    DWORD stageStates_[8][33] = {};
    DWORD samplerStates_[16][14] = {};
    D3DVIEWPORT9 viewport_{};

    Rasterizer rasterizer_;
    // Set-up output per primitive block, reused; one cache line each, since the raster threads
    // grow different blocks at once.
    struct alignas(64) SetupBlock {
        std::vector<TriSetup> triangles;
    };
    std::vector<SetupBlock> blocks_;
    std::vector<const TriSetup*> order_;        // the set-up triangles of a pass, in order
    std::vector<ScreenVertex> fetched_;   // reused per draw
};

} // namespace plat::d3d9
