// SDL presenter: the back buffer goes into a streaming texture of the window's SDL renderer
// (created here unless the host already made one), stretched to the window, vsync for
// D3DPRESENT_INTERVAL_ONE. Runs on the thread that calls Present, which must be the thread that
// owns the window (SDL's rule).
//
// LIMITATIONS: source and destination rectangles of Present are ignored (whole buffer, whole
// window).
#include "presenter.h"

#include <SDL.h>

namespace plat::d3d9 {
namespace {

class SdlPresenter final : public Presenter {
public:
    ~SdlPresenter() override
    {
        if (texture_)
            SDL_DestroyTexture(texture_);
        if (renderer_ && ownRenderer_)
            SDL_DestroyRenderer(renderer_);
    }

    HRESULT present(const PixelStore& bb, HWND hwnd, UINT interval) override
    {
        auto* window = static_cast<SDL_Window*>(hwnd);
        if (!window)
            return D3D_OK;
        if (window != window_ || wantVsync_ != (interval != D3DPRESENT_INTERVAL_IMMEDIATE)) {
            reset();
            window_ = window;
            wantVsync_ = interval != D3DPRESENT_INTERVAL_IMMEDIATE;
            renderer_ = SDL_GetRenderer(window);
            ownRenderer_ = false;
            if (!renderer_) {
                Uint32 flags = wantVsync_ ? SDL_RENDERER_PRESENTVSYNC : 0;
                renderer_ = SDL_CreateRenderer(window, -1, flags);
                ownRenderer_ = renderer_ != nullptr;
            }
            if (!renderer_)
                return D3D_OK; // nothing to show on; the frame is dropped
        }
        Uint32 format = bb.format == D3DFMT_R5G6B5 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        if (!texture_ || texW_ != bb.width || texH_ != bb.height || texFormat_ != format) {
            if (texture_)
                SDL_DestroyTexture(texture_);
            texture_ = SDL_CreateTexture(renderer_, format, SDL_TEXTUREACCESS_STREAMING, static_cast<int>(bb.width),
                                         static_cast<int>(bb.height));
            texW_ = bb.width;
            texH_ = bb.height;
            texFormat_ = format;
            if (!texture_)
                return D3D_OK;
        }
        SDL_UpdateTexture(texture_, nullptr, bb.bytes.get(), static_cast<int>(bb.pitch));
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer_);
        return D3D_OK;
    }

    bool has_focus(HWND hwnd) override
    {
        auto* window = static_cast<SDL_Window*>(hwnd);
        if (!window)
            return true;
        Uint32 flags = SDL_GetWindowFlags(window);
        return (flags & SDL_WINDOW_INPUT_FOCUS) != 0 && (flags & SDL_WINDOW_MINIMIZED) == 0;
    }

private:
    void reset()
    {
        if (texture_)
            SDL_DestroyTexture(texture_);
        texture_ = nullptr;
        if (renderer_ && ownRenderer_)
            SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
    }

    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    bool ownRenderer_ = false;
    bool wantVsync_ = true;
    SDL_Texture* texture_ = nullptr;
    uint32_t texW_ = 0, texH_ = 0;
    Uint32 texFormat_ = 0;
};

} // namespace

std::unique_ptr<Presenter> make_sdl_presenter()
{
    return std::make_unique<SdlPresenter>();
}

} // namespace plat::d3d9
