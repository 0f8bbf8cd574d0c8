// The DirectDraw stand-in: only GetCaps, reporting the software device's video-memory figures.
#include "ddraw.h"
#include "com_object.h"
#include "win_kernel.h"

#include "runtime.h"

#include <atomic>
#include <cstring>
#include <new>

namespace plat::d3d9 {
namespace {

constexpr HRESULT kNoAggregation = static_cast<HRESULT>(0x80040110u);

class DirectDraw final : public IDirectDraw {
public:
    DirectDraw() { Runtime::get().object_created(); }
    ~DirectDraw() { Runtime::get().object_destroyed(); }

    HRESULT QueryInterface(REFIID iid, void** object) override
    {
        return plat::com::QueryAs(static_cast<IUnknown*>(this), iid, object, {});
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        uint32_t n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

    HRESULT GetCaps(DDCAPS* driver, DDCAPS* emulation) override
    {
        if (!driver && !emulation)
            return DDERR_INVALIDPARAMS;
        if ((driver && driver->dwSize != sizeof(DDCAPS)) || (emulation && emulation->dwSize != sizeof(DDCAPS)))
            return DDERR_INVALIDPARAMS;
        if (driver) {
            std::memset(driver, 0, sizeof(*driver));
            driver->dwSize = sizeof(DDCAPS);
            driver->dwVidMemTotal = Runtime::get().total_video_memory_figure();
            driver->dwVidMemFree = Runtime::get().free_video_memory_figure();
        }
        if (emulation) { // the emulation layer has no video memory of its own
            std::memset(emulation, 0, sizeof(*emulation));
            emulation->dwSize = sizeof(DDCAPS);
        }
        return DD_OK;
    }

private:
    std::atomic<uint32_t> refs_{1};
};

} // namespace
} // namespace plat::d3d9

PLAT_API HRESULT DirectDrawCreate(GUID* guid, IDirectDraw** object, IUnknown* outer)
{
    if (!object)
        return DDERR_INVALIDPARAMS;
    *object = nullptr;
    if (outer)
        return plat::d3d9::kNoAggregation;
    if (guid)
        return DDERR_INVALIDPARAMS; // only the primary display exists
    *object = new (std::nothrow) plat::d3d9::DirectDraw();
    return *object ? DD_OK : E_OUTOFMEMORY;
}
