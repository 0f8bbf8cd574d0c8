// DIInput.h - CDIInput, one opened keyboard or game controller.
#pragma once

#include "IDIInput.h"
#include "VELObject.h"
#include "dinput.h"

namespace VEL {

class CVELDI;

// Acquired from creation until destruction. Holds a counted reference to its root for its whole
// life and owns its device.
class CDIInput : public TVELObject<IDIInput> {
public:
    // Takes a reference to `root` and takes over the caller's reference to `device`.
    CDIInput(CVELDI* root, IDirectInputDevice8A* device);
    int32_t Poll() override;
    int32_t GetState(uint32_t size, void* buffer) override;
    ~CDIInput() override;

private:
    CVELDI* root_;                  // counted reference
    IDirectInputDevice8A* device_;  // counted reference
};

} // namespace VEL
