// Lostable.h - the second base of graphics objects that own default-pool device objects.
#pragma once

#include <cstdint>

namespace VEL {

// Kinds reported by GetLostableKind. Only textures (kind 2) can be busy; the root reaches their
// idle event through the texture class itself.
inline constexpr int32_t LOSTABLE_LINE_RENDER = 0;
inline constexpr int32_t LOSTABLE_EFFECT = 1;
inline constexpr int32_t LOSTABLE_TEXTURE = 2;
inline constexpr int32_t LOSTABLE_BACK_BUFFER = 3;

// Called by the root with its lock held: OnLostDevice before the device is released or reset,
// OnResetDevice after it is created or reset (result ignored by the root).
class ILostable {
public:
    virtual void OnLostDevice() = 0;
    virtual bool OnResetDevice() = 0;
    virtual int32_t GetLostableKind() = 0;
};

} // namespace VEL
