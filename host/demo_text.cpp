#include "demo_text.h"

#include "demo_library.h"

#include <cstring>

namespace {

// The platform's text calls (libplat_user.so), declared here as the host sees them.
struct TextSize {
    int32_t cx, cy;
};
using TextExtentFn = int32_t (*)(HFONT__* font, const char* text, TextSize* size);
using DrawTextFn = int32_t (*)(HFONT__* font, const char* text, void* pixels, int32_t width, int32_t height,
                               int32_t pitch, int32_t x, int32_t y, uint32_t colour);
using DeleteObjectFn = int32_t (*)(void* object);

} // namespace

struct DemoText::Font {
    explicit Font(const std::string& dir) : windows(dir, "VELWin6"), platform(dir, "plat_user") {}
    DemoLibrary windows;
    DemoLibrary platform;
    VEL::IVELWin* root = nullptr;
    HFONT__* font = nullptr;
    TextExtentFn extent = nullptr;
    DrawTextFn draw = nullptr;
    DeleteObjectFn deleteObject = nullptr;
};

DemoText::DemoText(const std::string& libDir, const char* face, int height) : font_(std::make_unique<Font>(libDir))
{
    Font& f = *font_;
    f.extent = f.platform.Get<TextExtentFn>("plat_user_text_extent");
    f.draw = f.platform.Get<DrawTextFn>("plat_user_draw_text");
    f.deleteObject = f.platform.Get<DeleteObjectFn>("DeleteObject");
    f.root = f.windows.CreateRoot<VEL::IVELWin>();
    if (f.root && f.extent && f.draw && f.deleteObject)
        f.font = f.root->CreateFontByName(face, 0, height, 2 /* 500 */, false, false, false);
}

DemoText::~DemoText()
{
    if (font_->font)
        font_->deleteObject(font_->font);
    DemoRelease(font_->root);
}

bool DemoText::Ready() const { return font_->font != nullptr; }

VEL::ID3DTexture* DemoText::Render(VEL::IVELD3D* root, const char* text, uint32_t colour, int* width, int* height)
{
    TextSize size{};
    if (!Ready() || !font_->extent(font_->font, text, &size) || size.cx <= 0 || size.cy <= 0)
        return nullptr;
    auto* texture = static_cast<VEL::ID3DTexture*>(root->CreateInterface(&VEL::IID_ID3DTexture));
    if (!texture->Create(static_cast<uint32_t>(size.cx), static_cast<uint32_t>(size.cy), 0, false) ||
        !Refill(texture, text, colour)) {
        texture->Release();
        return nullptr;
    }
    *width = size.cx;
    *height = size.cy;
    return texture;
}

bool DemoText::Refill(VEL::ID3DTexture* texture, const char* text, uint32_t colour)
{
    VEL::D3DLockedRect rect{};
    if (!Ready() || !texture->Lock(&rect, false))
        return false;
    const auto w = static_cast<int32_t>(texture->GetWidth()), h = static_cast<int32_t>(texture->GetHeight());
    for (int32_t y = 0; y < h; ++y)
        std::memset(static_cast<uint8_t*>(rect.pBits) + static_cast<size_t>(y) * rect.Pitch, 0, size_t(w) * 4);
    const bool drawn = font_->draw(font_->font, text, rect.pBits, w, h, rect.Pitch, 0, 0, colour) != 0;
    texture->Unlock();
    return drawn;
}
