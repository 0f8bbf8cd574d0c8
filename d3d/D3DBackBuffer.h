// D3DBackBuffer.h - CD3DBackBuffer: reads and writes the device's back buffer through a
// system-memory copy surface, converting to and from the host's A8R8G8B8 pixels.
#pragma once

#include "ID3DBackBuffer.h"
#include "Lostable.h"
#include "VELObject.h"

#include "d3d9.h"

namespace VEL {

class CVELD3D;

// Every operation runs under the root lock.
class CD3DBackBuffer final : public TVELObject<ID3DBackBuffer>, public ILostable {
public:
    explicit CD3DBackBuffer(CVELD3D* root);
    ~CD3DBackBuffer() override;

    uint32_t GetWidth() override { return width_; }
    uint32_t GetHeight() override { return height_; }
    bool Create() override;
    void Destroy() override;
    bool Read(uint32_t* pixels) override;
    void Write(const uint32_t* pixels) override;

    void OnLostDevice() override;
    bool OnResetDevice() override;
    int32_t GetLostableKind() override { return LOSTABLE_BACK_BUFFER; }

private:
    CVELD3D* root_; // counted
    IDirect3DSurface9* backBuffer_ = nullptr;
    IDirect3DSurface9* copy_ = nullptr;
    uint32_t width_ = 0, height_ = 0;
    D3DFORMAT format_ = D3DFMT_UNKNOWN;
};

} // namespace VEL
