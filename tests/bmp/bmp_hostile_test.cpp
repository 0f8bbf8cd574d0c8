// Truncated and hostile files: Open accepts or refuses them as documented, and Decode into a
// destination sized from GetWidth and GetHeight writes exactly that area, pixel for pixel what
// the reference expects from the bytes that are there.
#include "BmpTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using bmptest::Build;
using bmptest::ExpectDecodesLikeReference;
using bmptest::PatternSpec;
using fixtures::BmpSpec;
using fixtures::MakeBmp;
using fixtures::PutLE;

namespace {

const Build kBuilds[] = {Build::BuiltIn, Build::PlugIn};
const uint32_t kFormats[] = {0, 2};

std::vector<std::vector<uint8_t>> SampleFiles()
{
    std::vector<std::vector<uint8_t>> files;
    files.push_back(MakeBmp(PatternSpec(1, 21, 5, 1)));
    files.push_back(MakeBmp(PatternSpec(2, 11, 3, 2)));
    files.push_back(MakeBmp(PatternSpec(4, 13, 4, 3)));
    BmpSpec few = PatternSpec(8, 13, 5, 4);
    few.palette.resize(20);
    few.colorsUsed = 20;
    files.push_back(MakeBmp(few));
    files.push_back(MakeBmp(PatternSpec(8, 6, -4, 5)));
    files.push_back(MakeBmp(PatternSpec(24, 7, 4, 6)));
    BmpSpec longHeader = PatternSpec(24, 5, 3, 7);
    longHeader.infoHeaderSize = 124;
    files.push_back(MakeBmp(longHeader));
    files.push_back(MakeBmp(PatternSpec(32, 5, 3, 8)));
    return files;
}

TEST(BmpHostile, TruncatedAtEveryLength)
{
    for (const auto& file : SampleFiles())
        for (size_t length = 0; length <= file.size(); ++length) {
            const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(length));
            for (Build build : kBuilds)
                for (uint32_t format : kFormats) {
                    SCOPED_TRACE(std::to_string(length) + " of " + std::to_string(file.size()) + " bytes, " +
                                 bmptest::BuildName(build) + ", format " + std::to_string(format));
                    ExpectDecodesLikeReference(build, cut, format);
                    if (HasFailure())
                        return;
                }
        }
}

// Header fields at their offsets in the file.
enum Field : size_t { kPixelOffset = 10, kWidth = 18, kHeight = 22, kBits = 28, kCompression = 30, kColorsUsed = 46 };

TEST(BmpHostile, HostileHeaderFields)
{
    struct Case {
        const char* name;
        uint16_t bits;
        Field field;
        uint32_t value;
        int size; // bytes of the field
    };
    const Case cases[] = {
        {"negative width", 8, kWidth, 0xFFFFFFFFu, 4},
        {"most negative width", 24, kWidth, 0x80000000u, 4},
        {"width 65537", 8, kWidth, 65537, 4},
        {"width 2^31-1", 32, kWidth, 0x7FFFFFFFu, 4},
        {"height INT32_MIN", 24, kHeight, 0x80000000u, 4},
        {"height -65537", 8, kHeight, static_cast<uint32_t>(-65537), 4},
        {"height 65537", 1, kHeight, 65537, 4},
        {"height 65536 (accepted, rows from an empty stream)", 1, kHeight, 65536, 4},
        {"height -65536", 4, kHeight, static_cast<uint32_t>(-65536), 4},
        {"width 65536 (accepted)", 8, kWidth, 65536, 4},
        {"width 65536 at 32 bits", 32, kWidth, 65536, 4},
        {"pixel offset beyond the file", 24, kPixelOffset, 100000, 4},
        {"pixel offset 2^32-1", 32, kPixelOffset, 0xFFFFFFFFu, 4},
        {"pixel offset 2^31", 24, kPixelOffset, 0x80000000u, 4},
        {"pixel offset 0", 24, kPixelOffset, 0, 4},
        {"depth 65535", 8, kBits, 0xFFFF, 2},
        {"run-length compression read as rows", 8, kCompression, 1, 4},
        {"bit-field compression read as rows", 32, kCompression, 3, 4},
        {"colours used 2^32-1 at 1 bit", 1, kColorsUsed, 0xFFFFFFFFu, 4},
        {"colours used 257", 8, kColorsUsed, 257, 4},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file = MakeBmp(PatternSpec(c.bits, 9, 3, 12));
        PutLE(file, c.field, c.value, c.size);
        for (Build build : kBuilds)
            for (uint32_t format : kFormats) {
                SCOPED_TRACE(std::string(c.name) + ", " + bmptest::BuildName(build) + ", format " + std::to_string(format));
                ExpectDecodesLikeReference(build, file, format);
            }
    }
}

TEST(BmpHostile, RefusedFileKeepsItsStreamUntilTheDecoderGoes)
{
    const auto& library = bmptest::PluginLibrary();
    auto create = library.Export<VEL::PFN_CreatePluginInstance>("CreatePluginInstance");
    ASSERT_TRUE(create) << library.Error();
    std::vector<uint8_t> negative = MakeBmp(PatternSpec(24, 4, 4, 1));
    PutLE(negative, kWidth, 0xFFFFFFF0u, 4);
    std::vector<uint8_t> notBmp(64, 'x');
    for (const auto* file : {&negative, &notBmp}) {
        veltest::Ref<veltest::MemoryStream> stream(veltest::MemoryStream::Create(*file));
        VEL::IGraphicsPlugin* plugin = nullptr;
        create(&plugin);
        EXPECT_FALSE(plugin->Open(stream.get()));
        EXPECT_EQ(stream->GetRefCount(), 2);
        EXPECT_EQ(plugin->GetWidth(), 0);
        EXPECT_EQ(plugin->GetHeight(), 0);
        EXPECT_EQ(plugin->GetBitCount(), 0);
        uint32_t pixel = 0x12345678;
        plugin->Decode(&pixel, 4, 0);
        EXPECT_EQ(pixel, 0x12345678u);
        plugin->Close(); // not open: nothing to do, the reference stays
        EXPECT_EQ(stream->GetRefCount(), 2);
        EXPECT_EQ(plugin->Release(), 0);
        EXPECT_EQ(stream->GetRefCount(), 1);
    }
}

TEST(BmpHostile, RandomHeaderMutationsMatchTheReference)
{
    std::mt19937 random(20261211);
    const auto files = SampleFiles();
    // Offsets of the header fields the decoder reads, where mutations do the most.
    const size_t hot[] = {0, 1, 10, 11, 12, 13, 18, 19, 20, 21, 22, 23, 24, 25, 28, 29, 46, 47, 48, 49};
    for (int iteration = 0; iteration < 3000; ++iteration) {
        std::vector<uint8_t> file = files[random() % files.size()];
        const int flips = 1 + static_cast<int>(random() % 4);
        for (int i = 0; i < flips; ++i) {
            const size_t at = random() % 2 ? hot[random() % std::size(hot)] : random() % file.size();
            file[at] = static_cast<uint8_t>(random());
        }
        if (random() % 4 == 0)
            file.resize(random() % file.size());
        // Keep the destination small: the reference tells the size Open will report.
        if (bmptest::ReferenceDecode(file, Build::PlugIn, 1u << 16).tooLarge)
            continue;
        const Build build = kBuilds[iteration % 2];
        const uint32_t format = kFormats[(iteration / 2) % 2];
        SCOPED_TRACE("iteration " + std::to_string(iteration));
        ExpectDecodesLikeReference(build, file, format);
        if (HasFailure())
            return;
    }
}

} // namespace
