// Offscreen presenter: nothing is shown and nothing is spent.
#include "presenter.h"

#include "runtime.h"

#include <SDL.h>

#include <cstring>

namespace plat::d3d9 {
namespace {

class OffscreenPresenter final : public Presenter {
public:
    HRESULT present(const PixelStore&, HWND, UINT) override { return D3D_OK; }
};

} // namespace

std::unique_ptr<Presenter> make_offscreen_presenter()
{
    return std::make_unique<OffscreenPresenter>();
}

std::unique_ptr<Presenter> make_presenter(HWND window)
{
    const char* driver = SDL_GetCurrentVideoDriver();
    bool headless = !window || !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
    if (headless && window) {
        Runtime& r = Runtime::get();
        std::lock_guard lock(r.mutex);
        headless = !r.presentHeadless;
    }
    return headless ? make_offscreen_presenter() : make_sdl_presenter();
}

} // namespace plat::d3d9
