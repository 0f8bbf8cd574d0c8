// demo_text.h - a line of text in a texture: a font from the windows library, drawn with the
// platform's text call into the locked texture.
#pragma once

#include "VEL.h"

#include <memory>
#include <string>

class DemoText {
public:
    // Loads libVELWin6 and the platform's text drawing; makes a `height`-pixel font of `face`.
    DemoText(const std::string& libDir, const char* face, int height);
    ~DemoText();
    DemoText(const DemoText&) = delete;
    DemoText& operator=(const DemoText&) = delete;

    bool Ready() const;
    // A new texture holding `text` in `colour` over transparent pixels (null on failure), and
    // the size of the text in pixels.
    VEL::ID3DTexture* Render(VEL::IVELD3D* root, const char* text, uint32_t colour, int* width, int* height);
    // Draws again into an existing texture made by Render (after a device reset cleared it).
    bool Refill(VEL::ID3DTexture* texture, const char* text, uint32_t colour);

private:
    struct Font;
    std::unique_ptr<Font> font_;
};
