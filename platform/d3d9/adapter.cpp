// The adapter object: identifier, caps, modes and format checks from the adapter profile, and
// device creation. Direct3DCreate9 is the library's entry point.
#include "device.h"
#include "com_object.h"
#include "runtime.h"

#include <cstring>

namespace plat::d3d9 {

Adapter::Adapter()
{
    Runtime::get().object_created();
}

Adapter::~Adapter()
{
    Runtime::get().object_destroyed();
}

HRESULT Adapter::QueryInterface(REFIID iid, void** object)
{
    return plat::com::QueryAs(static_cast<IUnknown*>(this), iid, object, {});
}

ULONG Adapter::AddRef()
{
    return ++refs_;
}

ULONG Adapter::Release()
{
    uint32_t n = --refs_;
    if (n == 0)
        delete this;
    return n;
}

HRESULT Adapter::GetAdapterIdentifier(UINT adapter, DWORD /*flags*/, D3DADAPTER_IDENTIFIER9* id)
{
    if (adapter != D3DADAPTER_DEFAULT || !id)
        return D3DERR_INVALIDCALL;
    platctl_d3d9_profile p = Runtime::get().profile_copy();
    std::memset(id, 0, sizeof(*id));
    std::strncpy(id->Driver, "libplat_d3d9.so", sizeof(id->Driver) - 1);
    std::strncpy(id->Description, p.description, sizeof(id->Description) - 1);
    std::strncpy(id->DeviceName, "\\\\.\\DISPLAY1", sizeof(id->DeviceName) - 1);
    id->DriverVersion = (int64_t{9} << 48) | 1;
    return D3D_OK;
}

namespace {

bool display_format(D3DFORMAT f)
{
    return f == D3DFMT_X8R8G8B8 || f == D3DFMT_R5G6B5;
}

uint32_t texture_format_bit(D3DFORMAT f)
{
    switch (f) {
    case D3DFMT_A8R8G8B8:
        return PLATCTL_D3D9_TEX_A8R8G8B8;
    case D3DFMT_X8R8G8B8:
        return PLATCTL_D3D9_TEX_X8R8G8B8;
    case D3DFMT_A4R4G4B4:
        return PLATCTL_D3D9_TEX_A4R4G4B4;
    case D3DFMT_R5G6B5:
        return PLATCTL_D3D9_TEX_R5G6B5;
    default:
        return 0;
    }
}

} // namespace

UINT Adapter::GetAdapterModeCount(UINT adapter, D3DFORMAT format)
{
    if (adapter != D3DADAPTER_DEFAULT || !display_format(format))
        return 0;
    return static_cast<UINT>(adapter_modes().size());
}

HRESULT Adapter::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* out)
{
    if (adapter != D3DADAPTER_DEFAULT || !out)
        return D3DERR_INVALIDCALL;
    if (!display_format(format))
        return D3DERR_NOTAVAILABLE;
    std::vector<DisplayModeEntry> modes = adapter_modes();
    if (mode >= modes.size())
        return D3DERR_INVALIDCALL;
    out->Width = modes[mode].width;
    out->Height = modes[mode].height;
    out->RefreshRate = modes[mode].refresh;
    out->Format = format;
    return D3D_OK;
}

HRESULT Adapter::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* out)
{
    if (adapter != D3DADAPTER_DEFAULT || !out)
        return D3DERR_INVALIDCALL;
    DisplayModeEntry m = desktop_mode();
    out->Width = m.width;
    out->Height = m.height;
    out->RefreshRate = m.refresh;
    out->Format = D3DFMT_X8R8G8B8;
    return D3D_OK;
}

HRESULT Adapter::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                   D3DRESOURCETYPE resourceType, D3DFORMAT checkFormat)
{
    if (adapter != D3DADAPTER_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL || !display_format(adapterFormat))
        return D3DERR_NOTAVAILABLE;
    platctl_d3d9_profile p = Runtime::get().profile_copy();
    if (resourceType != D3DRTYPE_TEXTURE && resourceType != D3DRTYPE_SURFACE)
        return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
        return checkFormat == D3DFMT_D16 ? D3D_OK : D3DERR_NOTAVAILABLE;
    if ((usage & D3DUSAGE_DYNAMIC) && !(p.caps2 & D3DCAPS2_DYNAMICTEXTURES))
        return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_RENDERTARGET)
        return checkFormat == D3DFMT_X8R8G8B8 || checkFormat == D3DFMT_R5G6B5 || checkFormat == D3DFMT_A8R8G8B8
                   ? D3D_OK
                   : D3DERR_NOTAVAILABLE;
    return (p.texture_formats & texture_format_bit(checkFormat)) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

void Adapter::fill_caps(D3DCAPS9* caps)
{
    platctl_d3d9_profile p = Runtime::get().profile_copy();
    std::memset(caps, 0, sizeof(*caps));
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps->Caps2 = p.caps2;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_CAPS_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps->DevCaps = p.dev_caps;
    caps->RasterCaps = D3DPRASTERCAPS_ZTEST;
    caps->ZCmpCaps = D3DPCMPCAPS_ALL;
    caps->AlphaCmpCaps = D3DPCMPCAPS_ALL;
    DWORD blends = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR | D3DPBLENDCAPS_INVSRCCOLOR |
                   D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA | D3DPBLENDCAPS_DESTALPHA |
                   D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR | D3DPBLENDCAPS_INVDESTCOLOR;
    caps->SrcBlendCaps = blends;
    caps->DestBlendCaps = blends;
    caps->TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
    caps->MaxTextureWidth = p.max_texture_width;
    caps->MaxTextureHeight = p.max_texture_height;
    caps->MaxTextureRepeat = 8192;
    caps->MaxTextureAspectRatio = 0;
    caps->MaxVertexW = 1e10f;
    caps->GuardBandLeft = -32768.0f;
    caps->GuardBandTop = -32768.0f;
    caps->GuardBandRight = 32768.0f;
    caps->GuardBandBottom = 32768.0f;
    caps->FVFCaps = 8; // texture coordinate sets
    caps->TextureOpCaps = D3DTEXOPCAPS_SELECTARG1 | D3DTEXOPCAPS_SELECTARG2 | D3DTEXOPCAPS_MODULATE | D3DTEXOPCAPS_ADD;
    caps->MaxTextureBlendStages = 1;
    caps->MaxSimultaneousTextures = 1;
    caps->MaxPrimitiveCount = p.max_primitive_count;
    caps->MaxVertexIndex = p.max_vertex_index;
    caps->MaxStreams = 1;
    caps->MaxStreamStride = 255;
    caps->VertexShaderVersion = p.vertex_shader_version;
    caps->PixelShaderVersion = D3DPS_VERSION(0, 0);
}

HRESULT Adapter::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps)
{
    if (adapter != D3DADAPTER_DEFAULT || !caps)
        return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;
    fill_caps(caps);
    return D3D_OK;
}

HRESULT Adapter::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD behaviorFlags,
                              D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** out)
{
    if (!out || !parameters)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (adapter != D3DADAPTER_DEFAULT)
        return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL)
        return D3DERR_NOTAVAILABLE;

    DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                D3DCREATE_MIXED_VERTEXPROCESSING);
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && vp != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        vp != D3DCREATE_MIXED_VERTEXPROCESSING)
        return D3DERR_INVALIDCALL;
    platctl_d3d9_profile p = Runtime::get().profile_copy();
    if (!(p.dev_caps & D3DDEVCAPS_HWRASTERIZATION))
        return D3DERR_NOTAVAILABLE;
    if (vp != D3DCREATE_SOFTWARE_VERTEXPROCESSING && !(p.dev_caps & D3DDEVCAPS_HWTRANSFORMANDLIGHT))
        return D3DERR_INVALIDCALL;
    if ((behaviorFlags & D3DCREATE_PUREDEVICE) &&
        (vp != D3DCREATE_HARDWARE_VERTEXPROCESSING || !(p.dev_caps & D3DDEVCAPS_PUREDEVICE)))
        return D3DERR_INVALIDCALL;

    HRESULT hr = Device::validate_parameters(parameters, focusWindow);
    if (FAILED(hr))
        return hr;
    auto* device = new (std::nothrow) Device(this, focusWindow, behaviorFlags);
    if (!device)
        return E_OUTOFMEMORY;
    hr = device->initialise(*parameters);
    if (FAILED(hr)) {
        device->Release();
        return hr;
    }
    *out = device;
    return D3D_OK;
}

} // namespace plat::d3d9

PLAT_API IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION)
        return nullptr;
    return new (std::nothrow) plat::d3d9::Adapter();
}
