// SDL presenter: the back buffer goes into a streaming texture of the window's SDL renderer
// (created here unless the host already made one, and shared by every device presenting on that
// window), stretched to the window, vsync for D3DPRESENT_INTERVAL_ONE. Runs on the thread that
// calls Present, which must be the thread that owns the window (SDL's rule).
//
// LIMITATIONS: source and destination rectangles of Present are ignored (whole buffer, whole
// window).
#include "presenter.h"

#include <SDL.h>

#include <map>
#include <memory>
#include <mutex>
#include <new>

namespace plat::d3d9 {
namespace {

// The SDL renderer of one window, shared by every presenter that shows on that window. A device
// that dies while another device shows on the same window (the old device kept alive by a
// back-buffer reference, say) must not take the renderer away from under the new one, so the
// renderer lives as long as the last presenter using it. A renderer the host made stays the
// host's: it is used, never destroyed.
struct WindowRenderer {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    bool owned = false; // made here; destroyed with the last presenter using it
    bool vsync = false; // as made or last set (owned renderers only)
};

std::mutex& registry_mutex()
{
    static std::mutex m;
    return m;
}

// Window -> its shared renderer; guarded by registry_mutex(). Entries expire with their last user.
std::map<SDL_Window*, std::weak_ptr<WindowRenderer>>& registry()
{
    static auto* r = new std::map<SDL_Window*, std::weak_ptr<WindowRenderer>>; // outlives static destructors
    return *r;
}

// Runs when the last presenter lets go: destroys an owned renderer and forgets the window, under
// the registry lock so that no presenter finds the renderer half-destroyed.
void release_window_renderer(WindowRenderer* w)
{
    std::lock_guard lock(registry_mutex());
    auto it = registry().find(w->window);
    if (it != registry().end() && it->second.expired())
        registry().erase(it);
    if (w->owned && w->renderer)
        SDL_DestroyRenderer(w->renderer);
    delete w;
}

// The window's renderer, shared with every other presenter on it; made (with vsync as asked)
// when neither a presenter nor the host has one. Null when SDL cannot make one.
std::shared_ptr<WindowRenderer> acquire_window_renderer(SDL_Window* window, bool vsync)
{
    std::lock_guard lock(registry_mutex());
    std::weak_ptr<WindowRenderer>& slot = registry()[window];
    std::shared_ptr<WindowRenderer> shared = slot.lock();
    if (!shared) {
        auto* w = new (std::nothrow) WindowRenderer;
        if (!w) {
            registry().erase(window);
            return nullptr;
        }
        w->window = window;
        w->renderer = SDL_GetRenderer(window);
        if (!w->renderer) {
            w->renderer = SDL_CreateRenderer(window, -1, vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
            w->owned = w->renderer != nullptr;
            w->vsync = vsync;
        }
        if (!w->renderer) {
            delete w;
            registry().erase(window);
            return nullptr;
        }
        shared = std::shared_ptr<WindowRenderer>(w, release_window_renderer);
        slot = shared;
    } else if (shared->owned && shared->vsync != vsync) {
        // The latest presenter's interval wins on a renderer shared by two devices.
        SDL_RenderSetVSync(shared->renderer, vsync ? 1 : 0);
        shared->vsync = vsync;
    }
    return shared;
}

class SdlPresenter final : public Presenter {
public:
    ~SdlPresenter() override { reset(); }

    HRESULT present(const PixelStore& bb, HWND hwnd, UINT interval) override
    {
        auto* window = static_cast<SDL_Window*>(hwnd);
        if (!window)
            return D3D_OK;
        const bool vsync = interval != D3DPRESENT_INTERVAL_IMMEDIATE;
        if (!shared_ || window != shared_->window || wantVsync_ != vsync) {
            reset();
            wantVsync_ = vsync;
            shared_ = acquire_window_renderer(window, vsync);
            if (!shared_)
                return D3D_OK; // nothing to show on; the frame is dropped
        }
        SDL_Renderer* renderer = shared_->renderer;
        Uint32 format = bb.format == D3DFMT_R5G6B5 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888;
        if (!texture_ || texW_ != bb.width || texH_ != bb.height || texFormat_ != format) {
            if (texture_)
                SDL_DestroyTexture(texture_);
            texture_ = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, static_cast<int>(bb.width),
                                         static_cast<int>(bb.height));
            texW_ = bb.width;
            texH_ = bb.height;
            texFormat_ = format;
            if (!texture_)
                return D3D_OK;
        }
        SDL_UpdateTexture(texture_, nullptr, bb.bytes.get(), static_cast<int>(bb.pitch));
        SDL_RenderClear(renderer);
        SDL_RenderCopy(renderer, texture_, nullptr, nullptr);
        SDL_RenderPresent(renderer);
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
    // The texture belongs to this presenter and goes first, while the renderer it was made on is
    // still held.
    void reset()
    {
        if (texture_)
            SDL_DestroyTexture(texture_);
        texture_ = nullptr;
        shared_.reset();
    }

    std::shared_ptr<WindowRenderer> shared_;
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
