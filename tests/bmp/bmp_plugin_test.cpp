// The plug-in library as a host uses it: its four exports (and nothing else), independent
// instances, counted references to streams, and an instance handed to the standard library's
// graphics loader.
#include "BmpTestSupport.h"

#include <gtest/gtest.h>

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

using bmptest::Build;
using bmptest::GuardedImage;
using bmptest::PatternSpec;
using fixtures::MakeBmp;
using veltest::MemoryStream;
using veltest::Ref;

namespace {

const veltest::EngineLibrary& Library()
{
    const auto& library = bmptest::PluginLibrary();
    EXPECT_TRUE(library.Loaded()) << library.Error();
    return library;
}

VEL::IGraphicsPlugin* NewInstance()
{
    auto create = Library().Export<VEL::PFN_CreatePluginInstance>("CreatePluginInstance");
    if (!create)
        return nullptr;
    VEL::IGraphicsPlugin* stored = nullptr;
    VEL::IGraphicsPlugin* returned = create(&stored);
    EXPECT_EQ(stored, returned);
    return returned;
}

// Names of the defined dynamic symbols of a shared library, read from its ELF file.
std::set<std::string> DefinedDynamicSymbols(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (bytes.size() < sizeof(Elf64_Ehdr))
        return names;
    Elf64_Ehdr header;
    std::memcpy(&header, bytes.data(), sizeof header);
    auto section = [&](size_t i) {
        Elf64_Shdr s;
        std::memcpy(&s, bytes.data() + header.e_shoff + i * header.e_shentsize, sizeof s);
        return s;
    };
    for (size_t i = 0; i < header.e_shnum; ++i) {
        const Elf64_Shdr symbols = section(i);
        if (symbols.sh_type != SHT_DYNSYM)
            continue;
        const Elf64_Shdr strings = section(symbols.sh_link);
        for (size_t k = 1; k < symbols.sh_size / sizeof(Elf64_Sym); ++k) {
            Elf64_Sym sym;
            std::memcpy(&sym, bytes.data() + symbols.sh_offset + k * sizeof sym, sizeof sym);
            const int binding = ELF64_ST_BIND(sym.st_info);
            if (sym.st_shndx != SHN_UNDEF && (binding == STB_GLOBAL || binding == STB_WEAK))
                names.insert(bytes.data() + strings.sh_offset + sym.st_name);
        }
    }
    return names;
}

TEST(BmpPlugin, ExportsExactlyTheFourEntryPoints)
{
    const std::set<std::string> want = {"CreatePluginInstance", "GetCopyrightInfo", "GetPluginInfo", "GetPluginVersion"};
    EXPECT_EQ(DefinedDynamicSymbols(veltest::LibraryPath("BmpGraphicsPlugin")), want);
    EXPECT_EQ(Library().Symbol("CreateObject"), nullptr);
    EXPECT_EQ(Library().Symbol("GetDLLVersion"), nullptr);
}

TEST(BmpPlugin, InfoRecordCopyrightAndVersion)
{
    auto info = Library().Export<VEL::PFN_GetPluginInfo>("GetPluginInfo");
    auto copyright = Library().Export<VEL::PFN_GetCopyrightInfo>("GetCopyrightInfo");
    auto version = Library().Export<VEL::PFN_GetPluginVersion>("GetPluginVersion");
    ASSERT_TRUE(info && copyright && version);

    std::vector<uint8_t> record(300, 0xCC);
    info(reinterpret_cast<VEL::GraphicsPluginInfo*>(record.data()));
    EXPECT_STREQ(reinterpret_cast<const char*>(record.data()), "bmp");
    EXPECT_STREQ(reinterpret_cast<const char*>(record.data() + 16), "Windows Bitmap Graphics(*.BMP)");
    EXPECT_EQ(record[3], 0);
    EXPECT_EQ(record[46], 0);
    EXPECT_TRUE(std::all_of(record.begin() + 272, record.end(), [](uint8_t b) { return b == 0xCC; }))
        << "more than 272 bytes written";
    EXPECT_NE(record[271], 0xCC) << "the whole record is written";

    std::vector<char> text(40, '\x7F');
    copyright(text.data());
    EXPECT_EQ(std::strlen(text.data()), 28u);
    EXPECT_TRUE(std::all_of(text.begin() + 29, text.end(), [](char c) { return c == '\x7F'; }))
        << "more than 29 bytes written";

    EXPECT_EQ(version(), 1.0);
}

TEST(BmpPlugin, NewInstanceIsClosedWithOneReference)
{
    Ref<VEL::IGraphicsPlugin> plugin(NewInstance());
    ASSERT_TRUE(plugin);
    EXPECT_EQ(plugin->GetRefCount(), 1);
    EXPECT_EQ(plugin->GetWidth(), 0);
    EXPECT_EQ(plugin->GetHeight(), 0);
    EXPECT_EQ(plugin->GetBitCount(), 0);
    EXPECT_FALSE(plugin->Open(nullptr));
    EXPECT_EQ(plugin->AddRef(), 2);
    EXPECT_EQ(plugin->Release(), 1);
    auto create = Library().Export<VEL::PFN_CreatePluginInstance>("CreatePluginInstance");
    Ref<VEL::IGraphicsPlugin> unstored(create(nullptr)); // a null argument is not written through
    EXPECT_TRUE(unstored);
}

TEST(BmpPlugin, OpenHoldsTheStreamCloseRewindsAndDropsIt)
{
    Ref<MemoryStream> stream(MemoryStream::Create(MakeBmp(PatternSpec(8, 6, 2, 1))));
    Ref<VEL::IGraphicsPlugin> plugin(NewInstance());
    ASSERT_TRUE(plugin->Open(stream.get()));
    EXPECT_EQ(stream->GetRefCount(), 2);
    EXPECT_EQ(stream->GetPosition(), 54u);
    EXPECT_FALSE(plugin->Open(stream.get())) << "already open";
    EXPECT_EQ(plugin->GetBitCount(), 8);
    plugin->Close();
    EXPECT_EQ(stream->GetRefCount(), 1);
    EXPECT_EQ(stream->GetPosition(), 0u);
    EXPECT_EQ(plugin->GetWidth(), 0);
    // Reopened, then destroyed while open: the last Release closes it first.
    ASSERT_TRUE(plugin->Open(stream.get()));
    plugin.reset();
    EXPECT_EQ(stream->GetRefCount(), 1);
    EXPECT_EQ(stream->GetPosition(), 0u);
}

TEST(BmpPlugin, TwoInstancesDecodeAtTheSameTime)
{
    const auto fileA = MakeBmp(PatternSpec(8, 13, 7, 1));
    const auto fileB = MakeBmp(PatternSpec(4, 9, 5, 2));
    Ref<MemoryStream> streamA(MemoryStream::Create(fileA)), streamB(MemoryStream::Create(fileB));
    Ref<VEL::IGraphicsPlugin> a(NewInstance()), b(NewInstance());
    ASSERT_TRUE(a->Open(streamA.get()));
    ASSERT_TRUE(b->Open(streamB.get()));
    EXPECT_EQ(a->GetWidth(), 13);
    EXPECT_EQ(b->GetWidth(), 9);
    GuardedImage imageB(9, 5, 0), imageA(13, 7, 2);
    b->Decode(imageB.Origin(), imageB.Pitch(), 0);
    a->Decode(imageA.Origin(), imageA.Pitch(), 2);
    EXPECT_EQ(imageA.Compare(bmptest::ReferenceDecode(fileA, Build::PlugIn).argb), "");
    EXPECT_EQ(imageB.Compare(bmptest::ReferenceDecode(fileB, Build::PlugIn).argb), "");
    EXPECT_TRUE(imageA.GuardsIntact() && imageB.GuardsIntact());
}

TEST(BmpPlugin, InstanceGivenToTheGraphicsLoader)
{
    const auto& std6 = bmptest::StdLibrary();
    Ref<VEL::IVELStd> root(std6.CreateRoot<VEL::IVELStd>());
    ASSERT_TRUE(root) << std6.Error();
    Ref<VEL::IStdGraphicsLoader> loader(
        static_cast<VEL::IStdGraphicsLoader*>(root->CreateInterface(&VEL::IID_IStdGraphicsLoader)));
    ASSERT_TRUE(loader);

    const auto file = MakeBmp(PatternSpec(8, 10, 4, 3));
    Ref<MemoryStream> stream(MemoryStream::Create(file));
    Ref<VEL::IGraphicsPlugin> plugin(NewInstance());
    ASSERT_TRUE(loader->Open(stream.get(), plugin.get()));
    EXPECT_EQ(plugin->GetRefCount(), 2);
    EXPECT_EQ(stream->GetRefCount(), 3); // the loader's and the decoder's
    EXPECT_EQ(loader->GetWidth(), 10);
    EXPECT_EQ(loader->GetHeight(), 4);
    EXPECT_EQ(loader->GetBitCount(), 8);
    GuardedImage image(10, 4, 0);
    loader->Decode(image.Origin(), image.Pitch(), 0);
    EXPECT_EQ(image.Compare(bmptest::ReferenceDecode(file, Build::PlugIn).argb), "") << "plug-in alpha rule applies";
    loader->Close();
    EXPECT_EQ(plugin->GetRefCount(), 1);
    EXPECT_EQ(plugin->GetWidth(), 0) << "closed by the loader";
    EXPECT_EQ(stream->GetRefCount(), 2) << "the loader keeps the stream until its next Open";
    EXPECT_EQ(stream->GetPosition(), 0u);
    loader.reset();
    EXPECT_EQ(stream->GetRefCount(), 1);
    EXPECT_EQ(plugin->Release(), 0);
    plugin.release();
}

} // namespace
