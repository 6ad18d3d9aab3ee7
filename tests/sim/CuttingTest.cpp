// End to end: a tetrahedralised box with a closed surface bound inside it is pulled apart by
// fixed end forces until it fractures; the surface is cut along every crack and must stay a
// sound mesh whose cut points open with the pieces.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <set>
#include <utility>

#include "sim/TetBoundMesh.h"
#include "tests/support/sim/BoundMeshes.h"
#include "tests/support/sim/TetMeshes.h"

using boundmeshes::captureStdout;
using boundmeshes::V3;

namespace {

// A below copy of a cut point and its above twin (surface vertex indices).
typedef std::pair<int, int> Twin;

class PulledBox : public ::testing::Test {
  protected:
    void SetUp() override {
        srand(1);  // the fracture code picks split vertices with rand()
        tm = tetmeshes::makeMesh(tetmeshes::gridCube(4, false));  // [0, 4]^3, 320 tetrahedra
        tm->fractureThreshold = 1000.0;
        boundmeshes::makeBoxSurface(surface, V3(0.3f, 0.3f, 0.3f), V3(3.7f, 3.7f, 3.7f), 6);
        captureStdout([&] { surface.bindToTets(tm); });
    }

    // Pulls the faces x = 0 and x = 4 apart (rest positions), per vertex, as a 3n x 1 column.
    lumo::Matrix endForces(double f) const {
        int n = int(tm->vert.size());
        lumo::Matrix fext = lumo::Matrix::zeros(3 * n, 1);
        for (int i = 0; i < n; ++i) {
            if (tm->restVert[i].x < 0.01f) fext(3 * i, 0) = -f;
            if (tm->restVert[i].x > 3.99f) fext(3 * i, 0) = f;
        }
        return fext;
    }

    void repose() {
        for (size_t i = 0; i < surface.vert.size(); ++i)
            surface.vert[i] =
                tm->getWorldCoordinates(surface.bindings[i].tet, surface.bindings[i].bary);
        surface.initNormals();
    }

    // One step of the scene's loop, cutting record by record so that every vertex the cutter
    // appends can be traced to its record.
    void step(double f) {
        std::string out = captureStdout([&] {
            tm->simulate(0.01, endForces(f));
            repose();
            std::vector<TetMeshFractureInfo> records = tm->recentFractures;
            for (const TetMeshFractureInfo& R : records) {
                size_t before = surface.vert.size();
                tm->recentFractures.assign(1, R);
                EXPECT_TRUE(surface.fracture());
                checkCut(R, before);
                if (!R.separatingTriangles.empty()) ++cutRecords;
            }
            tm->recentFractures = records;
        });
        records += int(tm->recentFractures.size());
        log += out;
    }

    // Every vertex appended for record R is bound to a tetrahedron R split, and every copy
    // bound below the crack has a twin at the same rest position bound above it.
    void checkCut(const TetMeshFractureInfo& R, size_t before) {
        std::multimap<std::tuple<float, float, float>, int> at;
        for (size_t v = 0; v < surface.restVert.size(); ++v) {
            const V3& p = surface.restVert[v];
            at.insert(std::make_pair(std::make_tuple(p.x, p.y, p.z), int(v)));
        }
        for (size_t v = before; v < surface.vert.size(); ++v) {
            int tet = surface.bindings[v].tet;
            EXPECT_TRUE(R.affectsTetrahedron(tet)) << v;
            if (!R.belowSet.count(tet)) continue;
            const V3& p = surface.restVert[v];
            int twin = -1;
            auto range = at.equal_range(std::make_tuple(p.x, p.y, p.z));
            for (auto it = range.first; it != range.second; ++it)
                if (R.aboveSet.count(surface.bindings[it->second].tet)) twin = it->second;
            EXPECT_GE(twin, 0) << "below copy " << v << " has no above twin";
            if (twin >= 0) twins.push_back(Twin(int(v), twin));
        }
    }

    void expectSound() {
        ASSERT_EQ(surface.vert.size(), surface.restVert.size());
        ASSERT_EQ(surface.vert.size(), surface.bindings.size());
        int nv = int(surface.vert.size());
        for (const Mesh::Tri& t : surface.tris) {
            for (int k = 0; k < 3; ++k) {
                ASSERT_GE(t.vi[k], 0);
                ASSERT_LT(t.vi[k], nv);
                ASSERT_LT(t.ni[k], int(surface.norm.size()));
            }
        }
        for (const TetBoundMesh::TetBinding& b : surface.bindings) {
            ASSERT_GE(b.tet, 0);
            ASSERT_LT(b.tet, int(tm->tets.size()));
        }
        for (const V3& p : surface.vert)
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
    }

    // Largest current distance between a below copy and its above twin.
    double widestGap() const {
        double widest = 0;
        for (const Twin& t : twins)
            widest = std::max(widest, (surface.vert[t.first] - surface.vert[t.second]).len());
        return widest;
    }

    boost::shared_ptr<TetMesh> tm;
    TetBoundMesh surface;
    std::vector<Twin> twins;
    int records = 0, cutRecords = 0;
    std::string log;
};

TEST_F(PulledBox, CutsAlongEveryCrackAndOpens) {
    const double force = 300.0;
    int steps = 0;
    while (cutRecords == 0 && steps < 300) {
        step(force);
        ++steps;
        expectSound();
        if (HasFatalFailure()) return;
    }
    ASSERT_GT(cutRecords, 0) << "no fracture with separating triangles after " << steps << " steps";
    ASSERT_FALSE(twins.empty()) << log.substr(0, 4000);
    size_t cutVerts = surface.vert.size();
    double gapAtCut = widestGap();
    // Both copies of a cut point are placed at one interpolated current position.
    EXPECT_LT(gapAtCut, 1e-5);

    for (int k = 0; k < 30; ++k) {
        step(force);
        expectSound();
        if (HasFatalFailure()) return;
    }
    EXPECT_GE(surface.vert.size(), cutVerts);
    // Twins start at one point (their current positions are interpolated alike) and move
    // apart with the tetrahedra they are bound to.
    EXPECT_GT(widestGap(), 0.05);
    EXPECT_NE(log.find("hist: = "), std::string::npos);
}

// The scene's own order: all records of a step in one cutting call, then the detaching of
// tetrahedra that no surface triangle ties to others (which here frees the box's interior).
TEST_F(PulledBox, SceneOrderKeepsTheSurfaceSound) {
    for (int k = 0; k < 40; ++k) {
        captureStdout([&] {
            tm->simulate(0.01, endForces(300.0));
            repose();
            records += int(tm->recentFractures.size());
            EXPECT_TRUE(surface.fracture());
            surface.splitSuperfluousEdges();
        });
        expectSound();
        if (HasFatalFailure()) return;
        ASSERT_EQ(tm->vert.size(), tm->velocities.size());
    }
    EXPECT_GT(records, 0);
    EXPECT_GT(surface.tris.size(), 6u * 6 * 6 * 2);  // cut: more than the box's 432 triangles
}

}  // namespace
