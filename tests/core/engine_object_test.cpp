#include <gtest/gtest.h>

#include "engine/IEngine.h"

TEST(EngineObject, QueryInterfaceAnswersBothIdentifiersWithOnePointer) {
    IEngine* engine = CreateEngine();
    ASSERT_NE(engine, nullptr);
    void* unknown = nullptr;
    void* iengine = nullptr;
    EXPECT_EQ(engine->QueryInterface(&IID_IUnknown, &unknown), kStatusOk);
    EXPECT_EQ(engine->QueryInterface(&IID_IEngine, &iengine), kStatusOk);
    EXPECT_EQ(unknown, engine);
    EXPECT_EQ(iengine, engine);
    EXPECT_EQ(engine->AddRef(), 3);  // two QueryInterface calls, then this one
    DestroyEngine(engine);
}

TEST(EngineObject, QueryInterfaceRefusesOtherIdentifiers) {
    IEngine* engine = CreateEngine();
    Guid other = IID_IEngine;
    other.data4[7] ^= 1;
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(engine->QueryInterface(&other, &out), static_cast<Status>(0x80004002u));
    EXPECT_EQ(out, nullptr);
    DestroyEngine(engine);
}
