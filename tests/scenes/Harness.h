// What the scene tests share: the fake engine installed as demo::engine and a
// scripted music position standing in for the driver's.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>

#include "demo/Demo.h"
#include "tests/scenes/FakeEngine.h"

namespace scenetest {

// MusicPosition() answers with this, given its 1-based call number; 0 when unset.
extern std::function<uint32_t(int64_t)> musicSource;
extern int64_t musicCalls;

class SceneTest : public ::testing::Test {
protected:
    void SetUp() override {
        demo::engine = &fake;
        musicSource = nullptr;
        musicCalls = 0;
    }
    void TearDown() override {
        EXPECT_TRUE(fake.errors.empty()) << "first fault: " << fake.errors.front();
        demo::engine = nullptr;
    }
    // Escape from the nth ProcessMessages on.
    void EscapeAt(int64_t n) {
        fake.messages = [n](int64_t call) { return call >= n ? 2 : 1; };
    }
    // Every load balanced by its free: nothing left live.
    void ExpectAllFreed() {
        EXPECT_TRUE(fake.LiveObjects().empty()) << "still live: " << fake.LiveObjects().front();
        EXPECT_TRUE(fake.LiveTextures().empty()) << "still live: " << fake.LiveTextures().front();
    }
    FakeEngine fake;
};

}  // namespace scenetest
