// bmp_seeds <dir>: writes the BMP fuzz seed corpus: every depth with both header sizes, top-down
// files, short palettes, and a few hostile headers.
#include "BmpWriter.h"
#include "SeedCorpus.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

fixtures::BmpSpec Spec(uint16_t bits, int32_t width, int32_t height)
{
    fixtures::BmpSpec spec;
    spec.width = width;
    spec.height = height;
    spec.bitCount = bits;
    if (bits <= 8)
        for (uint32_t i = 0; i < (1u << bits); ++i)
            spec.palette.push_back(i * 0x3F1D07u & 0xFFFFFF);
    spec.pixel = [](int32_t x, int32_t y) { return static_cast<uint32_t>(x * 0x9E3779B1u ^ y * 0x85EBCA77u); };
    return spec;
}

} // namespace

int main(int argc, char** argv)
{
    fixtures::Seeds seeds;
    for (uint16_t bits : {uint16_t{1}, uint16_t{2}, uint16_t{4}, uint16_t{8}, uint16_t{16}, uint16_t{24}, uint16_t{32}})
        for (uint32_t header : {40u, 124u}) {
            auto spec = Spec(bits, 13, 5);
            spec.infoHeaderSize = header;
            seeds.emplace_back("d" + std::to_string(bits) + "_h" + std::to_string(header), fixtures::MakeBmp(spec));
        }
    seeds.emplace_back("topdown8", fixtures::MakeBmp(Spec(8, 7, -4)));
    seeds.emplace_back("topdown24", fixtures::MakeBmp(Spec(24, 5, -3)));
    auto shortPalette = Spec(8, 9, 3);
    shortPalette.palette.resize(16);
    shortPalette.colorsUsed = 16;
    seeds.emplace_back("palette16", fixtures::MakeBmp(shortPalette));
    auto longPalette = Spec(4, 9, 3);
    longPalette.palette.resize(40, 0x808080);
    longPalette.colorsUsed = 40;
    seeds.emplace_back("palette40_4bit", fixtures::MakeBmp(longPalette));
    auto hugeCount = Spec(1, 17, 2);
    hugeCount.colorsUsed = 0xFFFFFFFFu;
    seeds.emplace_back("colors_ffffffff", fixtures::MakeBmp(hugeCount));
    auto farPixels = Spec(32, 3, 3);
    farPixels.overridePixelOffset = true;
    farPixels.pixelOffset = 0xFFFFFFF0u;
    seeds.emplace_back("offset_far", fixtures::MakeBmp(farPixels));
    auto rle = Spec(8, 6, 2);
    rle.compression = 1;
    seeds.emplace_back("rle8", fixtures::MakeBmp(rle));
    seeds.emplace_back("width0", fixtures::MakeBmp(Spec(24, 0, 4)));
    auto truncated = fixtures::MakeBmp(Spec(24, 11, 6));
    truncated.resize(truncated.size() / 2);
    seeds.emplace_back("truncated24", truncated);
    auto negativeWidth = fixtures::MakeBmp(Spec(8, 4, 4));
    fixtures::PutLE(negativeWidth, 18, 0xFFFFFFFCu, 4);
    seeds.emplace_back("negative_width", negativeWidth);

    return fixtures::WriteSeedCorpus(argc, argv, ".bmp", seeds);
}
