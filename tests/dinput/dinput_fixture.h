// dinput_fixture.h - a DirectInput object per test, virtual controllers, and a leak gate.
#pragma once

#include "dinput.h"
#include "platform_control.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

// Releases a platform interface when it leaves scope.
template <class T>
struct ComRef {
    T* p = nullptr;
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { reset(); }
    void reset()
    {
        if (p)
            p->Release();
        p = nullptr;
    }
    T** out() { reset(); return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

class DInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A, reinterpret_cast<void**>(di.out()),
                                     nullptr),
                  DI_OK);
    }
    void TearDown() override
    {
        di.reset();
        platctl_dinput_detach_all_controllers();
        EXPECT_EQ(platctl_dinput_live_objects(), 0u) << "a DirectInput object or device leaked";
    }

    // Attaches a virtual controller (axes, buttons, hats); fails the test if it cannot.
    int32_t Attach(int axes, int buttons, int hats, const char* name = nullptr)
    {
        const int32_t id = platctl_dinput_attach_controller(axes, buttons, hats, name);
        EXPECT_GE(id, 0);
        return id;
    }

    std::vector<DIDEVICEINSTANCEA> Enumerate(DWORD type, DWORD flags = DIEDFL_ATTACHEDONLY)
    {
        std::vector<DIDEVICEINSTANCEA> found;
        EXPECT_EQ(di->EnumDevices(type, &Collect, &found, flags), DI_OK);
        return found;
    }

    // Opens the n-th enumerated controller with the extended joystick format, acquired; with
    // setRange every axis gets -1000..1000 through EnumObjects and DIPH_BYID, as the engine does.
    void OpenController(size_t n, ComRef<IDirectInputDevice8A>& device, bool setRange = true)
    {
        auto controllers = Enumerate(DI8DEVCLASS_GAMECTRL);
        ASSERT_GT(controllers.size(), n);
        ASSERT_EQ(di->CreateDevice(controllers[n].guidInstance, device.out(), nullptr), DI_OK);
        ASSERT_EQ(device->SetDataFormat(&c_dfDIJoystick2), DI_OK);
        ASSERT_EQ(device->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND), DI_OK);
        if (setRange) {
            ASSERT_EQ(device->EnumObjects(&SetRange, device.p, DIDFT_AXIS), DI_OK);
        }
        ASSERT_EQ(device->Acquire(), DI_OK);
    }

    static DIJOYSTATE2 Read(IDirectInputDevice8A* device)
    {
        DIJOYSTATE2 state;
        std::memset(&state, 0x5A, sizeof state);
        EXPECT_EQ(device->Poll(), DI_OK);
        EXPECT_EQ(device->GetDeviceState(sizeof state, &state), DI_OK);
        return state;
    }

    static BOOL Collect(LPCDIDEVICEINSTANCEA device, void* context)
    {
        static_cast<std::vector<DIDEVICEINSTANCEA>*>(context)->push_back(*device);
        return DIENUM_CONTINUE;
    }

    static BOOL SetRange(LPCDIDEVICEOBJECTINSTANCEA object, void* context)
    {
        DIPROPRANGE range{};
        range.diph.dwSize = sizeof range;
        range.diph.dwHeaderSize = sizeof range.diph;
        range.diph.dwObj = object->dwType;
        range.diph.dwHow = DIPH_BYID;
        range.lMin = -1000;
        range.lMax = 1000;
        EXPECT_EQ(static_cast<IDirectInputDevice8A*>(context)->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
        return DIENUM_CONTINUE;
    }

    ComRef<IDirectInput8A> di;
};

// For tests that count controllers: they need the virtual ones alone.
class DInputPadTest : public DInputTest {
protected:
    void SetUp() override
    {
        DInputTest::SetUp();
        if (!HasFatalFailure() && !Enumerate(DI8DEVCLASS_GAMECTRL).empty())
            GTEST_SKIP() << "a real game controller is attached; these tests need the virtual ones alone";
    }
};
