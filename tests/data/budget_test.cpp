// The engine's limits per scene: triangles per batch key in one frame, and
// the heap's peak with objects, clones, batch buffers and the load buffer.
// Run the binary to see the figures (they are printed whether or not they fit).
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/data/Model.h"
#include "tests/data/Scenes.h"

namespace {

TEST(DataBudget, EverySceneStaysWithinTheBatchAndHeapLimits) {
    std::printf("%-10s %-16s %9s\n", "scene", "key", "triangles");
    for (const scenes::Scene& s : scenes::All()) {
        const scenes::Cost c = scenes::Measure(s);
        EXPECT_EQ(c.error, "") << s.name;
        for (const auto& [key, n] : c.trianglesPerKey) {
            std::printf("%-10s %-16s %9d\n", s.name.c_str(), key.c_str(), n);
            EXPECT_LE(n, scenes::kMaxTrianglesPerKey) << s.name << " " << key;
        }
        std::printf("%-10s heap peak %ld bytes (objects %ld, batches %ld, draw temporary %ld, load buffer %ld, "
                    "tables %ld) of %ld allowed\n",
                    s.name.c_str(), c.peakHeap, c.objectBytes, c.batchBytes, c.drawTemporary, scenes::kLoadBuffer,
                    scenes::kBatchTables, scenes::kHeapLimit);
        EXPECT_LT(c.peakHeap, scenes::kHeapLimit) << s.name;
    }
}

TEST(DataBudget, TheMeasureCountsEveryBatchItOpens) {
    // The city: five textures and the additive grey city, 300000 or 240000 each.
    const scenes::Cost c = scenes::Measure(scenes::All()[4]);
    ASSERT_EQ(c.trianglesPerKey.size(), 6u);
    EXPECT_EQ(c.batchBytes, 5 * scenes::kTexturedBatch + scenes::kColouredBatch);
    EXPECT_EQ(c.trianglesPerKey.at("tierra.jpg"), 12);
    EXPECT_EQ(c.trianglesPerKey.count("coloured+add"), 1u);
}

}  // namespace
