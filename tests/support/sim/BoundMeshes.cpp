// Bound surfaces built in code for the cutting tests.
#include "tests/support/sim/BoundMeshes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

#include <gtest/gtest.h>

#include "tests/support/sim/TetMeshes.h"

namespace boundmeshes {

Crack::Crack() {
    tm = tetmeshes::makeMesh(
        {{V3(0, 0, 0), V3(4, 0, 0), V3(0, 4, 0), V3(0, 0, -4), V3(0, 0, 4), V3(0, 0, 0)},
         {{0, 1, 2, 3}, {5, 2, 1, 4}}});

    record.tet = 0, record.normal = V3(0, 0, 1), record.offset = 0;
    record.vertex = 0, record.newVertex = 5;
    record.aboveTets = {0}, record.belowTets = {1};
    record.aboveSet = {0}, record.belowSet = {1};
    record.separatingTriangles.push_back({0, 1, 1});  // above 0, below 1, face 1

    surface.tetMesh = tm;
    surface.tvert.push_back(V3(0, 0, 1));
}

int Crack::addVertex(const V3& p, int tet) {
    surface.vert.push_back(p);
    surface.restVert.push_back(p);
    surface.bindings.push_back({tet, tm->getRestBaryCoordinates(tet, p)});
    return int(surface.vert.size()) - 1;
}

int Crack::addTriangle(const V3& a, const V3& b, const V3& c) {
    Mesh::Tri t;
    const V3* corners[3] = {&a, &b, &c};
    for (int k = 0; k < 3; ++k) t.vi[k] = addVertex(*corners[k], corners[k]->z < 0 ? 0 : 1);
    surface.tris.push_back(t);
    return int(surface.tris.size()) - 1;
}

void Crack::post() {
    tm->recentFractures.assign(1, record);
}

void makeBoxSurface(Mesh& mesh, const V3& lo, const V3& hi, int n, bool quads) {
    mesh.tvert.assign(1, V3(0, 0, 1));
    std::map<std::array<int, 3>, int> index;  // lattice point (0..n per axis) -> vertex
    auto vertexAt = [&](std::array<int, 3> g) {
        if (index.count(g)) return index[g];
        V3 p;
        for (int k = 0; k < 3; ++k) p[k] = lo[k] + (hi[k] - lo[k]) * float(g[k]) / float(n);
        mesh.vert.push_back(p);
        mesh.restVert.push_back(p);
        return index[g] = int(mesh.vert.size()) - 1;
    };
    // Face with fixed axis `axis` at lattice value `at`; u x w points out of the box.
    for (int axis = 0; axis < 3; ++axis)
        for (int at : {0, n}) {
            int u = (axis + 1) % 3, w = (axis + 2) % 3;
            if (at == 0) std::swap(u, w);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j) {
                    auto corner = [&](int du, int dw) {
                        std::array<int, 3> g;
                        g[axis] = at, g[u] = i + du, g[w] = j + dw;
                        return vertexAt(g);
                    };
                    int a = corner(0, 0), b = corner(1, 0), c = corner(1, 1), d = corner(0, 1);
                    if (quads) {
                        mesh.faces.push_back(Mesh::Face{{a, b, c, d}, {0, 0, 0, 0}, {0, 0, 0, 0}});
                        continue;
                    }
                    int t1[3] = {a, b, c}, t2[3] = {a, c, d}, zero[3] = {0, 0, 0};
                    mesh.tris.push_back(Mesh::Tri(t1, zero, zero));
                    mesh.tris.push_back(Mesh::Tri(t2, zero, zero));
                }
        }
}

double bindingRestError(const TetBoundMesh& surface) {
    double worst = 0;
    const TetMesh& tm = *surface.tetMesh;
    for (size_t v = 0; v < surface.restVert.size(); ++v) {
        const TetBoundMesh::TetBinding& b = surface.bindings[v];
        V3 p = tm.tets[b.tet].getWorldCoordinates(tm.restVert, b.bary);
        worst = std::max(worst, (p - surface.restVert[v]).len());
    }
    return worst;
}

void expectSoundSurface(const TetBoundMesh& s) {
    ASSERT_EQ(s.vert.size(), s.restVert.size());
    ASSERT_EQ(s.vert.size(), s.bindings.size());
    int nv = int(s.vert.size()), nn = int(s.norm.size());
    for (const Mesh::Tri& t : s.tris)
        for (int k = 0; k < 3; ++k) {
            ASSERT_TRUE(t.vi[k] >= 0 && t.vi[k] < nv) << t.vi[k];
            ASSERT_TRUE(t.ni[k] >= 0 && t.ni[k] < nn) << t.ni[k];
        }
    for (const TetBoundMesh::TetBinding& b : s.bindings)
        ASSERT_TRUE(b.tet >= 0 && b.tet < int(s.tetMesh->tets.size())) << b.tet;
    for (const V3& p : s.vert)
        ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
}

}  // namespace boundmeshes
