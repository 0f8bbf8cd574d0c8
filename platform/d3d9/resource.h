// resource.h - surfaces, textures and vertex buffers of the software device.
//
// Lifetime (as Direct3D 9 has it):
//   * a resource the application creates starts with one reference and holds a reference on its
//     device while the application holds any; the device's own bindings (SetTexture,
//     SetRenderTarget, SetStreamSource...) are counted apart, so a released resource that is
//     still bound lives until it is unbound or the device dies;
//   * the surfaces of a texture share the texture's count (AddRef on a level is AddRef on the
//     texture);
//   * the implicit surfaces (back buffer, automatic depth buffer) belong to the device; the
//     application's references on them hold the device.
// Counting and binding run under the device's mutex, so release and unbind never race.
//
// Memory: pixels live in ordinary memory for every pool. Default-pool resources also reserve
// their size from the process's video-memory figure (Runtime).
#pragma once

#include "d3d9.h"
#include "pixel_format.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace plat::d3d9 {

class Device;
class Texture;

// Counting shared by the three resource kinds (a base of each; the last reference or binding to
// go deletes the object).
class Resource {
public:
    Resource(Device* device, bool implicit, bool defaultPool, uint64_t videoBytes);
    virtual ~Resource();
    Resource(const Resource&) = delete;
    Resource& operator=(const Resource&) = delete;

    ULONG add_ref();
    ULONG release();
    void bind();   // device mutex held; a texture level binds its container
    void unbind(); // device mutex held; may delete this
    uint32_t public_refs() const { return refs_; }
    Device* device() const { return device_; }
    bool default_pool() const { return defaultPool_; }

private:
    Device* device_; // null: an inert part (texture levels count through their container)
    bool implicit_;
    bool defaultPool_;
    uint64_t videoBytes_;
    uint32_t refs_;      // application references; device mutex
    uint32_t binds_ = 0; // device bindings; device mutex
};

// Pixel memory of one surface, rows `pitch` bytes apart.
struct PixelStore {
    D3DFORMAT format = D3DFMT_UNKNOWN;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pitch = 0;
    std::unique_ptr<uint8_t[]> bytes;

    bool allocate(D3DFORMAT f, uint32_t w, uint32_t h);
    uint8_t* row(uint32_t y) const { return bytes.get() + static_cast<size_t>(y) * pitch; }
    uint64_t size() const { return static_cast<uint64_t>(pitch) * height; }
};

class Surface final : public IDirect3DSurface9, public Resource {
public:
    enum class Kind { Standalone, TextureLevel, Implicit };

    // Standalone and implicit surfaces count for themselves; texture levels use the container's
    // count (their own Resource part stays unused).
    Surface(Device* device, Kind kind, Texture* container, D3DFORMAT format, uint32_t width, uint32_t height,
            DWORD usage, D3DPOOL pool);
    ~Surface();
    bool ok() const { return static_cast<bool>(store_.bytes); }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

    Resource& owner(); // the object whose count and bindings stand for this surface
    PixelStore& store() { return store_; }
    const PixelStore& store() const { return store_; }
    DWORD usage() const { return usage_; }
    D3DPOOL pool() const { return pool_; }
    Kind kind() const { return kind_; }
    bool locked() const { return locked_; }
    bool is_render_target() const { return (usage_ & D3DUSAGE_RENDERTARGET) != 0; }
    bool is_depth() const { return format_ == D3DFMT_D16; }
    void set_lockable(bool lockable) { lockable_ = lockable; }

    // The pixels as A8R8G8B8 for sampling: the store itself for A8R8G8B8, else a converted copy
    // rebuilt after the pixels change. Called with the device mutex held.
    const uint32_t* sample_view(uint32_t* pitchPixels);
    void contents_changed() { sampleStale_ = true; }

private:
    Device* device_;
    Kind kind_;
    Texture* container_;
    D3DFORMAT format_;
    DWORD usage_;
    D3DPOOL pool_;
    PixelStore store_;
    bool lockable_ = true;
    bool locked_ = false;
    bool lockedWritable_ = false;
    std::vector<uint32_t> sampleCopy_;
    bool sampleStale_ = true;
};

class Texture final : public IDirect3DTexture9, public Resource {
public:
    Texture(Device* device, uint32_t width, uint32_t height, uint32_t levels, DWORD usage, D3DFORMAT format,
            D3DPOOL pool, uint64_t videoBytes);
    ~Texture();
    bool ok() const;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;

    Surface* level(uint32_t i) { return i < levels_.size() ? levels_[i].get() : nullptr; }

    // Level-size rule: each level halves, down to 1.
    static uint32_t full_chain(uint32_t width, uint32_t height);
    static uint64_t bytes_for(uint32_t width, uint32_t height, uint32_t levels, D3DFORMAT format);

private:
    std::vector<std::unique_ptr<Surface>> levels_;
};

class VertexBuffer final : public IDirect3DVertexBuffer9, public Resource {
public:
    VertexBuffer(Device* device, uint32_t length, DWORD usage, DWORD fvf, D3DPOOL pool);
    ~VertexBuffer();
    bool ok() const { return static_cast<bool>(bytes_); }

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override { return add_ref(); }
    ULONG Release() override { return release(); }
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    const uint8_t* data() const { return bytes_.get(); }
    uint32_t length() const { return length_; }

private:
    uint32_t length_;
    DWORD usage_;
    DWORD fvf_;
    D3DPOOL pool_;
    std::unique_ptr<uint8_t[]> bytes_;
    uint32_t lockDepth_ = 0; // device mutex
};

} // namespace plat::d3d9
