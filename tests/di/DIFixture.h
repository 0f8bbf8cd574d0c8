// DIFixture.h - loads libVELDI6 and creates an initialised root for each test; a leak gate.
#pragma once

#include "EngineLibrary.h"
#include "dinput.h"
#include "platform_control.h"

#include <gtest/gtest.h>

#include <cstring>

class DITest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.Loaded()) << lib.Error();
        root = lib.CreateRoot<VEL::IVELDI>();
        ASSERT_NE(root, nullptr);
        ASSERT_TRUE(root->Initialize(nullptr));
    }
    void TearDown() override
    {
        if (root) {
            EXPECT_EQ(root->Release(), 0);
        }
        platctl_dinput_detach_all_controllers();
        EXPECT_EQ(platctl_dinput_live_objects(), 0u) << "a DirectInput object or device outlived its engine object";
    }

    int32_t Attach(int axes, int buttons, int hats, const char* name = nullptr)
    {
        const int32_t id = platctl_dinput_attach_controller(axes, buttons, hats, name);
        EXPECT_GE(id, 0);
        return id;
    }

    static DIJOYSTATE2 Read(VEL::IDIInput* pad)
    {
        DIJOYSTATE2 state;
        std::memset(&state, 0x5A, sizeof state);
        EXPECT_EQ(pad->Poll(), DI_OK);
        EXPECT_EQ(pad->GetState(sizeof state, &state), DI_OK);
        return state;
    }

    veltest::EngineLibrary lib{"VELDI6"};
    VEL::IVELDI* root = nullptr;
};

// For tests that count controllers: they need the virtual ones alone.
class DIPadTest : public DITest {
protected:
    void SetUp() override
    {
        DITest::SetUp();
        if (HasFatalFailure())
            return;
        int attached = 0;
        auto count = [](LPCDIDEVICEINSTANCEA, void* context) -> BOOL {
            ++*static_cast<int*>(context);
            return DIENUM_CONTINUE;
        };
        root->GetDirectInput()->EnumDevices(DI8DEVCLASS_GAMECTRL, count, &attached, DIEDFL_ATTACHEDONLY);
        if (attached != 0)
            GTEST_SKIP() << "a real game controller is attached; these tests need the virtual ones alone";
    }
};
