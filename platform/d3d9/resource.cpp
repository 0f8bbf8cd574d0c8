// Surfaces, textures and vertex buffers. Every entry point takes the device mutex.
#include "resource.h"
#include "com_object.h"

#include "device.h"
#include "runtime.h"

#include <cstring>
#include <new>

namespace plat::d3d9 {

namespace {

// GetDevice of every resource: the owning device, referenced for the caller.
HRESULT HandOutDevice(Device* owner, IDirect3DDevice9** device)
{
    if (!device)
        return D3DERR_INVALIDCALL;
    owner->AddRef();
    *device = owner;
    return D3D_OK;
}

} // namespace

// --- Resource ---------------------------------------------------------------------------------

Resource::Resource(Device* device, bool implicit, bool defaultPool, uint64_t videoBytes)
    : device_(device), implicit_(implicit), defaultPool_(defaultPool), videoBytes_(videoBytes), refs_(implicit ? 0 : 1)
{
    if (!device_)
        return;
    Runtime::get().object_created();
    if (!implicit_) {
        device_->AddRef();
        if (defaultPool_)
            device_->default_resource_added();
    }
}

Resource::~Resource()
{
    if (!device_)
        return;
    if (videoBytes_)
        Runtime::get().free_video_memory(videoBytes_);
    Runtime::get().object_destroyed();
}

ULONG Resource::add_ref()
{
    std::lock_guard lock(device_->mutex());
    if (implicit_ && refs_ == 0)
        device_->AddRef();
    return ++refs_;
}

ULONG Resource::release()
{
    Device* device = device_;
    bool destroy = false;
    {
        std::lock_guard lock(device->mutex());
        if (refs_ == 0)
            return 0;
        if (--refs_ > 0)
            return refs_;
        if (!implicit_) {
            if (defaultPool_)
                device->default_resource_removed();
            destroy = binds_ == 0;
        }
    }
    if (destroy)
        delete this;
    device->Release(); // the application's hold on the device through this resource
    return 0;
}

void Resource::bind()
{
    ++binds_;
}

void Resource::unbind()
{
    if (binds_ > 0 && --binds_ == 0 && refs_ == 0 && !implicit_)
        delete this;
}

// --- PixelStore -------------------------------------------------------------------------------

bool PixelStore::allocate(D3DFORMAT f, uint32_t w, uint32_t h)
{
    uint32_t bpp = format_bytes(f);
    if (bpp == 0 || w == 0 || h == 0 || w > 16384 || h > 16384)
        return false;
    format = f;
    width = w;
    height = h;
    pitch = (w * bpp + 3u) & ~3u;
    bytes.reset(new (std::nothrow) uint8_t[static_cast<size_t>(pitch) * h]());
    return static_cast<bool>(bytes);
}

// --- Surface ----------------------------------------------------------------------------------

Surface::Surface(Device* device, Kind kind, Texture* container, D3DFORMAT format, uint32_t width, uint32_t height,
                 DWORD usage, D3DPOOL pool)
    : Resource(kind == Kind::TextureLevel ? nullptr : device, kind == Kind::Implicit,
               pool == D3DPOOL_DEFAULT && kind == Kind::Standalone,
               pool == D3DPOOL_DEFAULT && kind != Kind::TextureLevel
                   ? static_cast<uint64_t>(width) * height * format_bytes(format)
                   : 0),
      device_(device), kind_(kind), container_(container), format_(format), usage_(usage), pool_(pool)
{
    store_.allocate(format, width, height);
}

Surface::~Surface() = default;

Resource& Surface::owner()
{
    if (container_)
        return *container_;
    return *this;
}

HRESULT Surface::QueryInterface(REFIID iid, void** object)
{
    return plat::com::QueryAs(static_cast<IUnknown*>(this), iid, object, {});
}

ULONG Surface::AddRef()
{
    return container_ ? container_->AddRef() : add_ref();
}

ULONG Surface::Release()
{
    return container_ ? container_->Release() : release();
}

HRESULT Surface::GetDevice(IDirect3DDevice9** device) { return HandOutDevice(device_, device); }

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = format_;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = store_.width;
    desc->Height = store_.height;
    return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    std::lock_guard lock(device_->mutex());
    if (!locked || locked_ || !lockable_ || is_depth())
        return D3DERR_INVALIDCALL;
    uint32_t x = 0, y = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right || rect->top >= rect->bottom ||
            static_cast<uint32_t>(rect->right) > store_.width || static_cast<uint32_t>(rect->bottom) > store_.height)
            return D3DERR_INVALIDCALL;
        x = static_cast<uint32_t>(rect->left);
        y = static_cast<uint32_t>(rect->top);
    }
    locked->Pitch = static_cast<INT>(store_.pitch);
    locked->pBits = store_.row(y) + static_cast<size_t>(x) * format_bytes(format_);
    locked_ = true;
    lockedWritable_ = (flags & D3DLOCK_READONLY) == 0;
    return D3D_OK;
}

HRESULT Surface::UnlockRect()
{
    std::lock_guard lock(device_->mutex());
    if (!locked_)
        return D3DERR_INVALIDCALL;
    locked_ = false;
    if (lockedWritable_)
        sampleStale_ = true;
    return D3D_OK;
}

const uint32_t* Surface::sample_view(uint32_t* pitchPixels)
{
    if (format_ == D3DFMT_A8R8G8B8) {
        *pitchPixels = store_.pitch / 4;
        return reinterpret_cast<const uint32_t*>(store_.bytes.get());
    }
    size_t count = static_cast<size_t>(store_.width) * store_.height;
    if (sampleStale_ || sampleCopy_.size() != count) {
        sampleCopy_.resize(count);
        uint32_t bpp = format_bytes(format_);
        for (uint32_t yy = 0; yy < store_.height; ++yy) {
            const uint8_t* src = store_.row(yy);
            uint32_t* dst = sampleCopy_.data() + static_cast<size_t>(yy) * store_.width;
            for (uint32_t xx = 0; xx < store_.width; ++xx)
                dst[xx] = load_argb(format_, src + static_cast<size_t>(xx) * bpp);
        }
        sampleStale_ = false;
    }
    *pitchPixels = store_.width;
    return sampleCopy_.data();
}

// --- Texture ----------------------------------------------------------------------------------

uint32_t Texture::full_chain(uint32_t width, uint32_t height)
{
    uint32_t levels = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}

uint64_t Texture::bytes_for(uint32_t width, uint32_t height, uint32_t levels, D3DFORMAT format)
{
    uint64_t total = 0;
    for (uint32_t i = 0; i < levels; ++i) {
        total += static_cast<uint64_t>(width) * height * format_bytes(format);
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    return total;
}

Texture::Texture(Device* device, uint32_t width, uint32_t height, uint32_t levels, DWORD usage, D3DFORMAT format,
                 D3DPOOL pool, uint64_t videoBytes)
    : Resource(device, false, pool == D3DPOOL_DEFAULT, videoBytes)
{
    bool lockable = !(usage & D3DUSAGE_RENDERTARGET) && (pool != D3DPOOL_DEFAULT || (usage & D3DUSAGE_DYNAMIC));
    for (uint32_t i = 0; i < levels; ++i) {
        levels_.push_back(
            std::make_unique<Surface>(device, Surface::Kind::TextureLevel, this, format, width, height, usage, pool));
        levels_.back()->set_lockable(lockable);
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}

Texture::~Texture() = default;

bool Texture::ok() const
{
    for (const auto& l : levels_)
        if (!l->ok())
            return false;
    return !levels_.empty();
}

HRESULT Texture::QueryInterface(REFIID iid, void** object)
{
    return plat::com::QueryAs(static_cast<IUnknown*>(static_cast<IDirect3DTexture9*>(this)), iid, object, {});
}

HRESULT Texture::GetDevice(IDirect3DDevice9** device) { return HandOutDevice(Resource::device(), device); }

HRESULT Texture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    if (level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[level]->GetDesc(desc);
}

HRESULT Texture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface)
{
    if (!surface || level >= levels_.size())
        return D3DERR_INVALIDCALL;
    levels_[level]->AddRef();
    *surface = levels_[level].get();
    return D3D_OK;
}

HRESULT Texture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[level]->LockRect(locked, rect, flags);
}

HRESULT Texture::UnlockRect(UINT level)
{
    if (level >= levels_.size())
        return D3DERR_INVALIDCALL;
    return levels_[level]->UnlockRect();
}

// --- VertexBuffer -----------------------------------------------------------------------------

VertexBuffer::VertexBuffer(Device* device, uint32_t length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : Resource(device, false, pool == D3DPOOL_DEFAULT, pool == D3DPOOL_DEFAULT ? length : 0), length_(length),
      usage_(usage), fvf_(fvf), pool_(pool)
{
    bytes_.reset(new (std::nothrow) uint8_t[length]());
}

VertexBuffer::~VertexBuffer() = default;

HRESULT VertexBuffer::QueryInterface(REFIID iid, void** object)
{
    return plat::com::QueryAs(static_cast<IUnknown*>(this), iid, object, {});
}

HRESULT VertexBuffer::GetDevice(IDirect3DDevice9** device) { return HandOutDevice(Resource::device(), device); }

HRESULT VertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD /*flags*/)
{
    std::lock_guard lock(Resource::device()->mutex());
    if (!data || offset > length_ || (size != 0 && size > length_ - offset))
        return D3DERR_INVALIDCALL;
    *data = bytes_.get() + offset;
    ++lockDepth_;
    return D3D_OK;
}

HRESULT VertexBuffer::Unlock()
{
    std::lock_guard lock(Resource::device()->mutex());
    if (lockDepth_ == 0)
        return D3DERR_INVALIDCALL;
    --lockDepth_;
    return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc)
{
    if (!desc)
        return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = usage_;
    desc->Pool = pool_;
    desc->Size = length_;
    desc->FVF = fvf_;
    return D3D_OK;
}

} // namespace plat::d3d9
