#include "D3DBackBuffer.h"

#include "VELD3D.h"

#include <utility>

namespace VEL {
namespace {

template <class T>
void ReleaseCom(T*& p)
{
    if (T* old = std::exchange(p, nullptr))
        old->Release();
}

} // namespace

CD3DBackBuffer::CD3DBackBuffer(CVELD3D* root) : root_(root)
{
    root_->AddRef();
    root_->Register(this);
}

CD3DBackBuffer::~CD3DBackBuffer()
{
    root_->Unregister(this);
    ReleaseCom(copy_);
    ReleaseCom(backBuffer_);
    root_->Release();
}

bool CD3DBackBuffer::Create()
{
    VELAutoLock lock(root_->RootLock());
    IDirect3DDevice9* device = root_->Device();
    if (copy_ || !device)
        return false;
    IDirect3DSurface9* bb = nullptr;
    if (FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb)) || !bb)
        return false;
    D3DSURFACE_DESC desc{};
    if (FAILED(bb->GetDesc(&desc)) || (desc.Format != D3DFMT_X8R8G8B8 && desc.Format != D3DFMT_R5G6B5)) {
        bb->Release();
        return false;
    }
    format_ = desc.Format;
    width_ = desc.Width;
    height_ = desc.Height;
    ReleaseCom(backBuffer_);
    backBuffer_ = bb;
    if (FAILED(device->CreateOffscreenPlainSurface(width_, height_, format_, D3DPOOL_SYSTEMMEM, &copy_, nullptr)))
        copy_ = nullptr;
    return copy_ != nullptr;
}

void CD3DBackBuffer::Destroy()
{
    VELAutoLock lock(root_->RootLock());
    if (!copy_)
        return;
    width_ = height_ = 0;
    format_ = D3DFMT_UNKNOWN;
    ReleaseCom(backBuffer_);
    ReleaseCom(copy_);
}

bool CD3DBackBuffer::Read(uint32_t* pixels)
{
    VELAutoLock lock(root_->RootLock());
    IDirect3DDevice9* device = root_->Device();
    if (!backBuffer_ || !copy_ || !pixels || !device)
        return false;
    device->GetRenderTargetData(backBuffer_, copy_);
    D3DLOCKED_RECT rect;
    if (FAILED(copy_->LockRect(&rect, nullptr, 0)))
        return false;
    for (uint32_t y = 0; y < height_; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(rect.pBits) + static_cast<size_t>(y) * rect.Pitch;
        uint32_t* out = pixels + static_cast<size_t>(y) * width_;
        if (format_ == D3DFMT_X8R8G8B8) {
            const auto* src = reinterpret_cast<const uint32_t*>(row);
            for (uint32_t x = 0; x < width_; ++x)
                out[x] = src[x] | 0xFF000000u;
        } else {
            const auto* src = reinterpret_cast<const uint16_t*>(row);
            for (uint32_t x = 0; x < width_; ++x) {
                const uint32_t p = src[x];
                out[x] = ((p & 0xF800u) << 8) | ((p & 0x07E0u) << 5) | ((p & 0x001Fu) << 3) | 0xFF000000u;
            }
        }
    }
    return SUCCEEDED(copy_->UnlockRect());
}

void CD3DBackBuffer::Write(const uint32_t* pixels)
{
    VELAutoLock lock(root_->RootLock());
    IDirect3DDevice9* device = root_->Device();
    if (!backBuffer_ || !copy_ || !pixels || !device)
        return;
    D3DLOCKED_RECT rect;
    if (FAILED(copy_->LockRect(&rect, nullptr, 0)))
        return;
    for (uint32_t y = 0; y < height_; ++y) {
        uint8_t* row = static_cast<uint8_t*>(rect.pBits) + static_cast<size_t>(y) * rect.Pitch;
        const uint32_t* in = pixels + static_cast<size_t>(y) * width_;
        if (format_ == D3DFMT_X8R8G8B8) {
            auto* dst = reinterpret_cast<uint32_t*>(row);
            for (uint32_t x = 0; x < width_; ++x)
                dst[x] = in[x] | 0xFF000000u;
        } else {
            auto* dst = reinterpret_cast<uint16_t*>(row);
            for (uint32_t x = 0; x < width_; ++x) {
                const uint32_t c = in[x];
                dst[x] = static_cast<uint16_t>(((c >> 8) & 0xF800u) | ((c >> 5) & 0x07E0u) | ((c >> 3) & 0x001Fu));
            }
        }
    }
    if (SUCCEEDED(copy_->UnlockRect()))
        device->UpdateSurface(copy_, nullptr, backBuffer_, nullptr);
}

void CD3DBackBuffer::OnLostDevice()
{
    ReleaseCom(backBuffer_);
}

bool CD3DBackBuffer::OnResetDevice()
{
    if (!copy_)
        return true;
    IDirect3DDevice9* device = root_->Device();
    IDirect3DSurface9* bb = nullptr;
    if (!device || FAILED(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &bb)) || !bb)
        return false;
    ReleaseCom(backBuffer_);
    backBuffer_ = bb;
    return true;
}

} // namespace VEL
