// End to end: a tetrahedral box with a closed surface bound inside is pulled apart until it
// fractures; the surface, cut along every crack, stays sound and its cut points open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "sim/TetBoundMesh.h"
#include "tests/support/sim/BoundMeshes.h"
#include "tests/support/sim/TetMeshes.h"

using boundmeshes::captureStdout;
using boundmeshes::V3;

namespace {

class PulledBox : public ::testing::Test {
  protected:
    void SetUp() override {
        srand(1);  // the fracture code picks split vertices with rand()
        tm = tetmeshes::makeMesh(tetmeshes::gridCube(4, false));  // [0, 4]^3, 320 tetrahedra
        tm->fractureThreshold = 1000.0;
        boundmeshes::makeBoxSurface(surface, V3(0.3f, 0.3f, 0.3f), V3(3.7f, 3.7f, 3.7f), 6);
        captureStdout([&] { surface.bindToTets(tm); });
    }

    // One step of the scene's loop (simulate, re-pose, cut, detach) pulling the faces x = 0 and
    // x = 4 apart, cutting record by record to trace every appended vertex to its record.
    void step(double f) {
        int n = int(tm->vert.size());
        lumo::Matrix fext = lumo::Matrix::zeros(3 * n, 1);  // 3n x 1, per vertex
        for (int i = 0; i < n; ++i)
            fext(3 * i, 0) = tm->restVert[i].x < 0.01f ? -f : tm->restVert[i].x > 3.99f ? f : 0;
        log += captureStdout([&] {
            tm->simulate(0.01, fext);
            for (size_t i = 0; i < surface.vert.size(); ++i)
                surface.vert[i] =
                    tm->getWorldCoordinates(surface.bindings[i].tet, surface.bindings[i].bary);
            surface.initNormals();
            std::vector<TetMeshFractureInfo> records = tm->recentFractures;
            for (const TetMeshFractureInfo& R : records) {
                size_t before = surface.vert.size();
                tm->recentFractures.assign(1, R);
                EXPECT_TRUE(surface.fracture());
                if (!R.separatingTriangles.empty()) ++cutRecords;
                // Every vertex appended for R is bound to a tetrahedron R split; every copy
                // bound below the crack has a twin at the same rest position bound above it.
                for (size_t v = before; v < surface.vert.size(); ++v) {
                    int tet = surface.bindings[v].tet;
                    EXPECT_TRUE(R.affectsTetrahedron(tet)) << v;
                    if (!R.belowSet.count(tet)) continue;
                    int twin = -1;
                    for (size_t w = 0; w < surface.restVert.size(); ++w)
                        if (surface.restVert[w] == surface.restVert[v] &&
                            R.aboveSet.count(surface.bindings[w].tet))
                            twin = int(w);
                    EXPECT_GE(twin, 0) << "below copy " << v << " has no above twin";
                    if (twin >= 0) twins.push_back(std::make_pair(int(v), twin));
                }
            }
            tm->recentFractures = records;
            surface.splitSuperfluousEdges();
        });
        boundmeshes::expectSoundSurface(surface);
        ASSERT_EQ(tm->vert.size(), tm->velocities.size());
    }

    // Largest current distance between a below copy and its above twin.
    double widestGap() const {
        double widest = 0;
        for (const std::pair<int, int>& t : twins)
            widest = std::max(widest, (surface.vert[t.first] - surface.vert[t.second]).len());
        return widest;
    }

    boost::shared_ptr<TetMesh> tm;
    TetBoundMesh surface;
    std::vector<std::pair<int, int>> twins;  // (below copy, above twin) of every cut point
    int cutRecords = 0;
    std::string log;
};

TEST_F(PulledBox, CutsAlongEveryCrackAndOpens) {
    int steps = 0;
    for (; cutRecords == 0 && steps < 300 && !HasFatalFailure(); ++steps) step(300.0);
    ASSERT_GT(cutRecords, 0) << "no fracture with separating triangles after " << steps << " steps";
    ASSERT_FALSE(twins.empty()) << log.substr(0, 4000);
    // Both copies of a cut point sit at one interpolated position (equal up to float rounding).
    EXPECT_LT(widestGap(), 1e-5);
    EXPECT_NE(log.find("hist: = "), std::string::npos);

    // Further steps move the two sides of the crack apart with their tetrahedra.
    for (int k = 0; k < 30 && !HasFatalFailure(); ++k) step(300.0);
    EXPECT_GT(widestGap(), 0.05);
    EXPECT_GT(surface.tris.size(), 6u * 6 * 6 * 2);  // cut: more than the box's 432 triangles
}

}  // namespace
