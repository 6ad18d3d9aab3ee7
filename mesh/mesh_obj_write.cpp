// OBJ writer of Mesh: positions, texture coordinates, triangles, vertex weights and the weighted
// spheres with their weights and interactions. Indices are written counting from 1.
#include <algorithm>
#include <cstdio>
#include <memory>

#include "mesh/mesh.h"

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

int Mesh::saveobj(const char* path, bool appendToFile, bool deformed) {
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path, appendToFile ? "a" : "w"));
    if (!file) return 0;
    FILE* f = file.get();
    for (const lumo::Vec3<float>& p : deformed ? vert : restVert)
        std::fprintf(f, "v %g %g %g\n", p.x, p.y, p.z);
    for (const lumo::Vec3<float>& t : tvert) std::fprintf(f, "vt %g %g\n", t.x, t.y);
    for (const Tri& t : tris) {
        if (!tvert.empty())
            std::fprintf(f, "f %d/%d %d/%d %d/%d\n", t.vi[0] + 1, t.tci[0] + 1, t.vi[1] + 1,
                         t.tci[1] + 1, t.vi[2] + 1, t.tci[2] + 1);
        else
            std::fprintf(f, "f %d %d %d\n", t.vi[0] + 1, t.vi[1] + 1, t.vi[2] + 1);
    }
    if (!boneWeights.empty()) {
        const size_t n = std::min(restVert.size(), boneWeights.size());
        for (size_t i = 0; i < n; ++i)
            for (const bone_weight_t& w : boneWeights[i])
                std::fprintf(f, "vw %d %d %g\n", int(i) + 1, int(w.bone), w.weight);
    }
    for (const bounding_sphere_t& s : spheres)
        std::fprintf(f, "sp %g %g %g %g\n", s.center.x, s.center.y, s.center.z, s.radius);
    for (size_t s = 0; s < spheres.size(); ++s)
        for (const bone_weight_t& w : spheres[s].weights)
            std::fprintf(f, "sw %d %d %g\n", int(s) + 1, int(w.bone), w.weight);
    for (size_t s = 0; s < spheres.size(); ++s)
        for (short j : spheres[s].interactions)
            if (j > int(s)) std::fprintf(f, "si %d %d\n", int(s) + 1, int(j) + 1);
    const bool writeError = std::ferror(f) != 0;
    if (std::fclose(file.release()) != 0 || writeError) {
        std::fprintf(stderr, "%s: error while writing the mesh\n", path);
        return 0;
    }
    return 1;
}
