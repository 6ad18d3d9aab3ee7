// Surface-mesh test helpers: meshes from lists; faces and weight lists as strings to compare.
#pragma once

#include <array>
#include <sstream>
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
    std::ostringstream r;
    auto face = [&](const char* name, const int* vi, const int* tci, const int* ni, int n) {
        r << (r.tellp() > 0 ? ", " : "") << name;
        for (int k = 0; k < n; ++k)
            r << " " << vi[k] << "/" << tci[k] << (ni[k] == vi[k] ? "" : "!");
    };
    for (const Mesh::Face& f : m.faces) face("quad", f.vi, f.tci, f.ni, 4);
    for (const Mesh::Tri& t : m.tris) face("tri", t.vi, t.tci, t.ni, 3);
    return r.str();
}

// A weight list as "bone:weight bone:weight", weights to 6 significant digits.
inline std::string weightList(const std::vector<Mesh::bone_weight_t>& list) {
    std::ostringstream r;
    for (const Mesh::bone_weight_t& w : list)
        r << (r.tellp() > 0 ? " " : "") << int(w.bone) << ":" << w.weight;
    return r.str();
}

}  // namespace meshtest
