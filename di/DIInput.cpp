#include "DIInput.h"

#include "VELDI.h"

namespace VEL {

CDIInput::CDIInput(CVELDI* root, IDirectInputDevice8A* device) : root_(root), device_(device)
{
    root_->AddRef();
}

int32_t CDIInput::Poll() { return device_ ? device_->Poll() : DIInputNoDevice; }

int32_t CDIInput::GetState(uint32_t size, void* buffer)
{
    return device_ ? device_->GetDeviceState(size, buffer) : DIInputNoDevice;
}

CDIInput::~CDIInput()
{
    if (IDirectInputDevice8A* device = std::exchange(device_, nullptr)) {
        device->Unacquire();
        device->Release();
    }
    root_->Release();
}

} // namespace VEL
