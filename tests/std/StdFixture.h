// StdFixture.h - loads libVELStd6 and creates its root for each test.
#pragma once

#include "EngineLibrary.h"

#include <gtest/gtest.h>

class StdTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(lib.Loaded()) << lib.Error();
        root = lib.CreateRoot<VEL::IVELStd>();
        ASSERT_NE(root, nullptr);
    }
    void TearDown() override
    {
        if (root) {
            EXPECT_EQ(root->Release(), 0);
        }
    }
    template <class T>
    T* Create(const GUID& id)
    {
        return static_cast<T*>(root->CreateInterface(&id));
    }

    veltest::EngineLibrary lib{"VELStd6"};
    VEL::IVELStd* root = nullptr;
};
