// BmpPlugin.cpp - exports of the BMP plug-in library: instances of the plug-in decoder build and
// the description a host uses to pick this library. These four functions are the library's
// whole interface; it does nothing when loaded or unloaded.
#include "BMPDecoder.h"

#include <cstring>

#define BMP_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char kExtension[] = "bmp";
constexpr char kDescription[] = "Windows Bitmap Graphics(*.BMP)";
// Exactly 28 characters and the terminator.
constexpr char kCopyright[] = "(C) VEL engine contributors.";
static_assert(sizeof kCopyright == 29);
static_assert(sizeof kExtension <= sizeof(VEL::GraphicsPluginInfo::extension));
static_assert(sizeof kDescription <= sizeof(VEL::GraphicsPluginInfo::description));

} // namespace

// A new decoder (count 1, not open), stored through the argument and returned; the caller
// releases it. A null argument still gets the instance as the result.
BMP_PLUGIN_EXPORT VEL::IGraphicsPlugin* CreatePluginInstance(VEL::IGraphicsPlugin** instance)
{
    VEL::IGraphicsPlugin* plugin = new VEL::CBMPPlugin();
    if (instance)
        *instance = plugin;
    return plugin;
}

// Writes the whole 272-byte record: the extension and the description, zero-padded.
BMP_PLUGIN_EXPORT void GetPluginInfo(VEL::GraphicsPluginInfo* info)
{
    if (!info)
        return;
    VEL::GraphicsPluginInfo record{};
    std::memcpy(record.extension, kExtension, sizeof kExtension);
    std::memcpy(record.description, kDescription, sizeof kDescription);
    std::memcpy(info, &record, sizeof record);
}

BMP_PLUGIN_EXPORT double GetPluginVersion() { return 1.0; }

// Writes 29 bytes: the copyright text and its terminator.
BMP_PLUGIN_EXPORT void GetCopyrightInfo(char* buffer)
{
    if (buffer)
        std::memcpy(buffer, kCopyright, sizeof kCopyright);
}
