// Small builders and printers shared by the surface-mesh tests: meshes from position and
// triangle lists, and faces and weight lists written as short strings for exact comparison.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh/mesh.h"

namespace meshtest {

using V = lumo::Vec3<float>;

// A mesh with vert = restVert = verts and the given triangles, each corner with ni = tci = vi.
inline Mesh mesh(const std::vector<V>& verts, const std::vector<std::array<int, 3>>& tris) {
    Mesh m;
    m.vert = m.restVert = verts;
    for (const auto& t : tris) m.tris.push_back(Mesh::Tri(t.data(), t.data(), t.data()));
    return m;
}

// The faces as "quad v/t v/t v/t v/t, tri v/t v/t v/t" (quads first; 0-based vertex and
// texture indices), with "!" after a corner whose normal index is not its vertex index.
inline std::string faceList(const Mesh& m) {
    std::string r;
    auto corner = [&](int v, int t, int n) {
        r += " " + std::to_string(v) + "/" + std::to_string(t) + (n == v ? "" : "!");
    };
    for (const Mesh::Face& f : m.faces) {
        r += r.empty() ? "quad" : ", quad";
        for (int k = 0; k < 4; ++k) corner(f.vi[k], f.tci[k], f.ni[k]);
    }
    for (const Mesh::Tri& t : m.tris) {
        r += r.empty() ? "tri" : ", tri";
        for (int k = 0; k < 3; ++k) corner(t.vi[k], t.tci[k], t.ni[k]);
    }
    return r;
}

// The triangles' vertex indices as "a b c, a b c".
inline std::string triList(const Mesh& m) {
    std::string r;
    for (const Mesh::Tri& t : m.tris)
        r += (r.empty() ? "" : ", ") + std::to_string(t.vi[0]) + " " + std::to_string(t.vi[1]) +
             " " + std::to_string(t.vi[2]);
    return r;
}

// A weight list as "bone:weight bone:weight" with "%g" weights (6 significant digits).
inline std::string weightList(const std::vector<Mesh::bone_weight_t>& list) {
    std::string r;
    char buf[32];
    for (const Mesh::bone_weight_t& w : list) {
        std::snprintf(buf, sizeof buf, "%s%d:%g", r.empty() ? "" : " ", int(w.bone), w.weight);
        r += buf;
    }
    return r;
}

}  // namespace meshtest
