#include "VELDI.h"

#include "DIInput.h"
#include "ModuleExports.h"

namespace VEL {

namespace {

constexpr uint32_t kHighestController = 15;
constexpr DWORD kCooperation = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
constexpr LONG kAxisMin = -1000;
constexpr LONG kAxisMax = 1000;

} // namespace

IDirectInput8A* CVELDI::GetDirectInput() { return directInput_; }

bool CVELDI::Initialize(void* instance)
{
    void* created = nullptr;
    if (FAILED(DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A, &created, nullptr)) || !created)
        return false;
    // The new object arrives with its one reference, which the field now holds.
    if (IDirectInput8A* old = std::exchange(directInput_, static_cast<IDirectInput8A*>(created)))
        old->Release();
    return true;
}

void CVELDI::Uninitialize()
{
    if (IDirectInput8A* old = std::exchange(directInput_, nullptr))
        old->Release();
}

IDIInput* CVELDI::CreateKeyboard()
{
    if (!directInput_)
        return nullptr;
    if (FAILED(directInput_->CreateDevice(GUID_SysKeyboard, &deviceSlot_, nullptr)) || !deviceSlot_) {
        deviceSlot_ = nullptr;
        return nullptr;
    }
    IDirectInputDevice8A* device = std::exchange(deviceSlot_, nullptr);
    // Failures here show up later as the results of Poll and GetState.
    device->SetDataFormat(&c_dfDIKeyboard);
    device->SetCooperativeLevel(nullptr, kCooperation);
    device->Acquire();
    return new CDIInput(this, device);
}

IDIInput* CVELDI::CreateJoystick(uint32_t index)
{
    if (!directInput_ || index > kHighestController)
        return nullptr;
    countdown_ = index;
    deviceSlot_ = nullptr;
    directInput_->EnumDevices(DI8DEVCLASS_GAMECTRL, &CVELDI::OnController, this, DIEDFL_ATTACHEDONLY);
    IDirectInputDevice8A* device = std::exchange(deviceSlot_, nullptr);
    if (!device)
        return nullptr;
    // Failures here show up later as the results of Poll and GetState.
    device->SetDataFormat(&c_dfDIJoystick2);
    device->SetCooperativeLevel(nullptr, kCooperation);
    device->EnumObjects(&CVELDI::OnAxis, device, DIDFT_AXIS);
    device->Acquire();
    return new CDIInput(this, device);
}

BOOL CVELDI::OnController(LPCDIDEVICEINSTANCEA device, void* context)
{
    auto* root = static_cast<CVELDI*>(context);
    if (root->countdown_ != 0) {
        --root->countdown_;
        return DIENUM_CONTINUE;
    }
    if (FAILED(root->directInput_->CreateDevice(device->guidInstance, &root->deviceSlot_, nullptr)))
        root->deviceSlot_ = nullptr;
    root->countdown_ = 0xFFFFFFFFu;
    return DIENUM_STOP;
}

BOOL CVELDI::OnAxis(LPCDIDEVICEOBJECTINSTANCEA object, void* context)
{
    DIPROPRANGE range{};
    range.diph.dwSize = sizeof(DIPROPRANGE);
    range.diph.dwHeaderSize = sizeof(DIPROPHEADER);
    range.diph.dwObj = object->dwType;
    range.diph.dwHow = DIPH_BYID;
    range.lMin = kAxisMin;
    range.lMax = kAxisMax;
    static_cast<IDirectInputDevice8A*>(context)->SetProperty(DIPROP_RANGE, &range.diph);
    return DIENUM_CONTINUE;
}

CVELDI::~CVELDI() { Uninitialize(); }

} // namespace VEL

VEL_DEFINE_MODULE_EXPORTS(VEL::CVELDI)
