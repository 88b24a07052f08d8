#include "tests/data/Scenes.h"

#include <algorithm>

#include "tests/data/Model.h"

namespace scenes {

const std::vector<Scene>& All() {
    static const std::vector<Scene> scenes = {
        {"opening", {"panel.3do"}, {}, {{"panel.3do", "textos1.jpg"}}},
        {"logo", {"panel.3do"}, {}, {{"panel.3do", "zornalogo.jpg"}}},
        {"landscape",
         {"land01.3do", "land01.3do"},
         {},
         {{"land01.3do", "landtext.jpg"}, {"land01.3do", "landtext.jpg"}}},
        {"mesh",
         {"malla.3do", "sphere03.3do"},
         {"malla.3do", "sphere03.3do", "sphere03.3do"},  // mesh copy, sphere copy, glow
         {{"sphere03.3do", "deforme2.jpg"}, {"sphere03.3do", "deforme2.jpg", true}, {"malla.3do", "deforme.jpg"}}},
        {"city",
         {"bicho.3do", "box", "city01.3do", "city02.3do", "sphere02.3do", "cartel.3do"},
         {},
         {{"bicho.3do", "skin.jpg"},
          {"box", "tierra.jpg"},
          {"city01.3do", "build.jpg"},
          {"city02.3do", "", true},
          {"sphere02.3do", "cielo.jpg"},
          {"cartel.3do", "credit01.jpg"}}},
        {"cake",
         {"tarta.3do", "velas.3do", "fondo.3do"},
         {},
         {{"tarta.3do", "tarta.jpg"}, {"velas.3do", "llama.jpg"}, {"fondo.3do", "pcr.jpg"}}},
    };
    return scenes;
}

namespace {

model::Object Get(const std::string& file) {
    if (file == "box") return model::Box(10, 1000, 1000);
    return model::LoadObject(file);
}

long Bytes(const model::Object& o) { return (long(o.header.totalSize) + 3) & ~3L; }

}  // namespace

Cost Measure(const Scene& scene) {
    Cost cost;
    for (const std::string& f : scene.loads) cost.objectBytes += Bytes(Get(f));
    for (const std::string& f : scene.clones) cost.objectBytes += Bytes(Get(f));
    for (const Draw& d : scene.draws) {
        const model::Object o = Get(d.file);
        cost.drawTemporary = std::max(cost.drawTemporary, 12L * (long(o.vertices.size()) + 5));
        for (const Face& f : o.faces) {
            std::string key;
            if (f.material == 0) {
                key = d.texture.empty() ? "coloured" : d.texture;
                if (d.additive) key += "+add";
            } else {
                // Other materials keep the flags stored in the file.
                const Material& m = o.materials[size_t(f.material)];
                if (m.textured) {
                    cost.error = d.file + ": material " + std::to_string(f.material) +
                                 " is textured, but only material 0 gets a texture";
                    continue;
                }
                if (!m.coloured) continue;  // dropped by the batcher
                key = m.additive ? "coloured+add" : "coloured";
            }
            ++cost.trianglesPerKey[key];
        }
    }
    for (const auto& [key, n] : cost.trianglesPerKey)
        cost.batchBytes += key.rfind("coloured", 0) == 0 ? kColouredBatch : kTexturedBatch;
    cost.peakHeap = kLoadBuffer + kBatchTables + cost.objectBytes + cost.batchBytes + cost.drawTemporary;
    return cost;
}

}  // namespace scenes
