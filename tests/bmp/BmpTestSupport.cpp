#include "BmpTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace bmptest {

namespace {

class PluginDecoder final : public Decoder {
public:
    explicit PluginDecoder(VEL::IGraphicsPlugin* plugin) : plugin_(plugin) {}
    ~PluginDecoder() override { plugin_->Release(); }
    bool Open(VEL::IDataStream* stream) override { return plugin_->Open(stream); }
    int32_t GetWidth() override { return plugin_->GetWidth(); }
    int32_t GetHeight() override { return plugin_->GetHeight(); }
    int32_t GetBitCount() override { return plugin_->GetBitCount(); }
    void Decode(void* d, int32_t pitch, uint32_t format) override { plugin_->Decode(d, pitch, format); }
    void Close() override { plugin_->Close(); }

private:
    VEL::IGraphicsPlugin* plugin_;
};

class LoaderDecoder final : public Decoder {
public:
    explicit LoaderDecoder(VEL::IStdGraphicsLoader* loader) : loader_(loader) {}
    ~LoaderDecoder() override { loader_->Release(); }
    bool Open(VEL::IDataStream* stream) override { return loader_->Open(stream, nullptr); }
    int32_t GetWidth() override { return loader_->GetWidth(); }
    int32_t GetHeight() override { return loader_->GetHeight(); }
    int32_t GetBitCount() override { return loader_->GetBitCount(); }
    void Decode(void* d, int32_t pitch, uint32_t format) override { loader_->Decode(d, pitch, format); }
    void Close() override { loader_->Close(); }

private:
    VEL::IStdGraphicsLoader* loader_;
};

uint32_t LE(const uint8_t* p, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

// Reads like a data stream: copies what is left up to n bytes, advances past it.
struct Cursor {
    const std::vector<uint8_t>& file;
    uint64_t position = 0;
    void Read(uint8_t* out, uint64_t n)
    {
        const uint64_t chunk = std::min<uint64_t>(n, file.size() - position);
        std::memcpy(out, file.data() + position, chunk);
        position += chunk;
    }
};

} // namespace

std::string BuildName(Build build) { return build == Build::BuiltIn ? "BuiltIn" : "PlugIn"; }

const veltest::EngineLibrary& PluginLibrary()
{
    static const veltest::EngineLibrary library("BmpGraphicsPlugin");
    return library;
}

const veltest::EngineLibrary& StdLibrary()
{
    static const veltest::EngineLibrary library("VELStd6");
    return library;
}

std::unique_ptr<Decoder> MakeDecoder(Build build)
{
    if (build == Build::PlugIn) {
        const auto& library = PluginLibrary();
        auto create = library.Export<VEL::PFN_CreatePluginInstance>("CreatePluginInstance");
        EXPECT_TRUE(create) << library.Error();
        if (!create)
            return nullptr;
        VEL::IGraphicsPlugin* plugin = nullptr;
        create(&plugin);
        return std::make_unique<PluginDecoder>(plugin);
    }
    const auto& library = StdLibrary();
    veltest::Ref<VEL::IVELStd> root(library.CreateRoot<VEL::IVELStd>());
    EXPECT_TRUE(root) << library.Error();
    if (!root)
        return nullptr;
    // The loader holds no reference to the root; it stays usable after the root is gone.
    auto* loader = static_cast<VEL::IStdGraphicsLoader*>(root->CreateInterface(&VEL::IID_IStdGraphicsLoader));
    EXPECT_TRUE(loader);
    if (!loader)
        return nullptr;
    return std::make_unique<LoaderDecoder>(loader);
}

std::unique_ptr<Decoder> OpenDecoder(Build build, const std::vector<uint8_t>& file, bool* opened)
{
    auto decoder = MakeDecoder(build);
    if (!decoder)
        return nullptr;
    veltest::Ref<veltest::MemoryStream> stream(veltest::MemoryStream::Create(file));
    const bool ok = decoder->Open(stream.get());
    if (opened)
        *opened = ok;
    return decoder;
}

Expected ReferenceDecode(const std::vector<uint8_t>& file, Build build, uint64_t maxPixels)
{
    Expected e;
    Cursor in{file};
    uint8_t fileHeader[14] = {};
    uint8_t info[40] = {};
    in.Read(fileHeader, 14);
    if (LE(fileHeader, 2) != 0x4D42)
        return e;
    in.Read(info, 40);
    const int32_t width = static_cast<int32_t>(LE(info + 4, 4));
    const int32_t height = static_cast<int32_t>(LE(info + 8, 4));
    const uint32_t bits = LE(info + 14, 2);
    const uint32_t colorsUsed = LE(info + 32, 4);
    const uint32_t pixelOffset = LE(fileHeader + 10, 4);
    if (width < 0 || width > 65536 || height < -65536 || height > 65536)
        return e;
    e.ok = true;
    e.width = width;
    e.height = height < 0 ? -height : height;
    e.decodes = bits == 1 || bits == 2 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
    e.tooLarge = static_cast<uint64_t>(e.width) * static_cast<uint64_t>(e.height) > maxPixels;
    if (e.tooLarge)
        return e;
    if (!e.decodes || e.width == 0 || e.height == 0)
        return e;

    uint32_t palette[256] = {}; // 0xAARRGGBB as the build converts the entries
    if (bits <= 8) {
        const uint32_t full = 1u << bits;
        const uint64_t declared = colorsUsed ? colorsUsed : full;
        const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(declared, full));
        std::vector<uint8_t> entries(4 * 256, 0);
        in.Read(entries.data(), 4ull * count);
        if (declared > full)
            in.position = std::min<uint64_t>(in.position + 4 * (declared - full), file.size());
        for (uint32_t i = 0; i < full; ++i) {
            const uint32_t rgb = LE(&entries[4 * i], 3);
            uint32_t alpha = 0xFF;
            if (build == Build::PlugIn)
                alpha = (i == 0 || i >= count) ? 0 : 0xFF;
            palette[i] = alpha << 24 | rgb;
        }
    } else {
        in.position = std::min<uint64_t>(pixelOffset, file.size());
    }

    const uint64_t rowBytes = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    std::vector<uint8_t> row(rowBytes, 0);
    e.argb.assign(static_cast<size_t>(e.width) * e.height, 0);
    for (int32_t k = 0; k < e.height; ++k) {
        in.Read(row.data(), rowBytes);
        const int32_t y = height < 0 ? k : e.height - 1 - k;
        for (int32_t x = 0; x < width; ++x) {
            uint32_t value;
            if (bits <= 8) {
                const uint64_t bit = static_cast<uint64_t>(x) * bits;
                const uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
                value = palette[index];
            } else if (bits == 24) {
                value = 0xFF000000u | LE(&row[3 * static_cast<size_t>(x)], 3);
            } else {
                value = LE(&row[4 * static_cast<size_t>(x)], 4);
            }
            e.argb[static_cast<size_t>(y) * e.width + x] = value;
        }
    }
    return e;
}

void ExpectDecodesLikeReference(Build build, const std::vector<uint8_t>& file, uint32_t format, bool bottomUp)
{
    const Expected want = ReferenceDecode(file, build);
    bool opened = false;
    auto decoder = OpenDecoder(build, file, &opened);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(opened, want.ok);
    if (!opened) {
        EXPECT_EQ(decoder->GetWidth(), 0);
        EXPECT_EQ(decoder->GetHeight(), 0);
        return;
    }
    ASSERT_EQ(decoder->GetWidth(), want.width);
    ASSERT_EQ(decoder->GetHeight(), want.height);
    GuardedImage image(want.width, want.height, format, 12, bottomUp);
    decoder->Decode(image.Origin(), image.Pitch(), format);
    EXPECT_TRUE(image.GuardsIntact());
    if (want.decodes && want.width > 0 && want.height > 0)
        EXPECT_EQ(image.Compare(want.argb), "");
    else
        EXPECT_TRUE(image.Untouched());
    decoder->Close();
}

GuardedImage::GuardedImage(int32_t width, int32_t height, uint32_t format, uint32_t padding, bool bottomUp)
    : width_(width), height_(height), format_(format), bytesPerPixel_(format == 2 ? 2 : 4),
      pitch_(static_cast<int32_t>(width * bytesPerPixel_ + padding)), bottomUp_(bottomUp),
      bytes_(2 * kGuard + static_cast<size_t>(pitch_) * height, kFill)
{
}

const uint8_t* GuardedImage::RowStart(int32_t y) const
{
    const int32_t stored = bottomUp_ ? height_ - 1 - y : y;
    return bytes_.data() + kGuard + static_cast<size_t>(stored) * pitch_;
}

void* GuardedImage::Origin() { return const_cast<uint8_t*>(RowStart(0)); }

bool GuardedImage::GuardsIntact() const
{
    auto filled = [](const uint8_t* p, size_t n) { return std::all_of(p, p + n, [](uint8_t b) { return b == kFill; }); };
    if (!filled(bytes_.data(), kGuard) || !filled(bytes_.data() + bytes_.size() - kGuard, kGuard))
        return false;
    const size_t used = static_cast<size_t>(width_) * bytesPerPixel_;
    for (int32_t y = 0; y < height_; ++y)
        if (!filled(RowStart(y) + used, pitch_ - used))
            return false;
    return true;
}

bool GuardedImage::Untouched() const
{
    return std::all_of(bytes_.begin(), bytes_.end(), [](uint8_t b) { return b == kFill; });
}

uint32_t GuardedImage::Pixel(int32_t x, int32_t y) const
{
    return LE(RowStart(y) + static_cast<size_t>(x) * bytesPerPixel_, static_cast<int>(bytesPerPixel_));
}

std::string GuardedImage::Compare(const std::vector<uint32_t>& argb) const
{
    for (int32_t y = 0; y < height_; ++y)
        for (int32_t x = 0; x < width_; ++x) {
            const uint32_t want32 = argb[static_cast<size_t>(y) * width_ + x];
            const uint32_t want = format_ == 2 ? To4444(want32) : want32;
            const uint32_t got = Pixel(x, y);
            if (got != want) {
                std::ostringstream s;
                s << "pixel (" << x << ", " << y << ") of " << width_ << "x" << height_ << ": got 0x" << std::hex
                  << got << ", want 0x" << want;
                return s.str();
            }
        }
    return {};
}

} // namespace bmptest
