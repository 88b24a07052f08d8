// What each scene loads, clones and draws in one frame, and what that costs:
// triangles per batch key and the peak of the engine heap.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace scenes {

constexpr int kMaxTrianglesPerKey = 5000;
constexpr long kHeapLimit = 3670016;  // 3.5 MB of the 4 MB heap
constexpr long kLoadBuffer = 262144;
constexpr long kBatchTables = 20 * 500 + 40;  // Init3D(1, 1, 500)
constexpr long kTexturedBatch = 300000, kColouredBatch = 240000;
constexpr long kBoxBytes = 684;

struct Draw {
    std::string file;     // a .3do of data/, or "box" for CreateBox
    std::string texture;  // what the scene puts on material 0; "" for a colour
    bool additive = false;
};

struct Scene {
    std::string name;
    std::vector<std::string> loads;   // LoadObject calls (CreateBox: "box")
    std::vector<std::string> clones;  // objects alive as clones at the frame's peak
    std::vector<Draw> draws;          // one frame's DrawObject calls
};

const std::vector<Scene>& All();

struct Cost {
    std::map<std::string, int> trianglesPerKey;  // "texture.jpg" / "texture.jpg+add" / "coloured[+add]"
    long objectBytes = 0;     // loaded objects and clones
    long batchBytes = 0;      // one buffer per key
    long drawTemporary = 0;   // DrawObject's vertex array for the largest object
    long peakHeap = 0;        // all of it with the load buffer and batch tables
    std::string error;        // a material that cannot be drawn as stored
};

// Reads the objects from the data folder.
Cost Measure(const Scene& scene);

}  // namespace scenes
