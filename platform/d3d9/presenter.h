// presenter.h - the seam between the device and whatever shows its back buffer.
//
// One backend per file: presenter_sdl.cpp (an SDL renderer and streaming texture on the host's
// window), presenter_offscreen.cpp (shows nothing, costs nothing: SDL's offscreen and dummy video
// drivers, or no window). make_presenter is the one place that chooses.
#pragma once

#include "d3d9.h"
#include "resource.h"

#include <memory>

namespace plat::d3d9 {

class Presenter {
public:
    virtual ~Presenter() = default;
    // Shows the back buffer; called with the device mutex held on the drawing thread.
    virtual HRESULT present(const PixelStore& backBuffer, HWND window, UINT interval) = 0;
    // Whether the window has the input focus (a full-screen device is lost without it).
    virtual bool has_focus(HWND /*window*/) { return true; }
};

std::unique_ptr<Presenter> make_sdl_presenter();
std::unique_ptr<Presenter> make_offscreen_presenter();
std::unique_ptr<Presenter> make_presenter(HWND window);

} // namespace plat::d3d9
