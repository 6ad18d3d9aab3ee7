// Scene step forces (gravity, pins, ground, springs, dragged point); an unwritable fracture log.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/Scene.h"
#include "tests/support/Capture.h"
#include "tests/support/sim/TetMeshes.h"

using V = lumo::Vec3<float>;
const double kH = 0.01, kH2 = kH * kH;  // time step (s) and its square

TEST(SceneForces, EachLooseVertexGetsGravityItsPinOrTheGround) {
    // rest and current position of a loose vertex -> its force (mass 10 per vertex).
    const struct {
        V rest, cur;
        double f[3];
    } cases[] = {
        {V(0, 5, 0), V(0, 5, 0), {0, -98.1, 0}},
        {V(1, 2, -3), V(1.5f, 2, -3), {-0.5 / kH2, 0, 0}},  // pinned: (rest - current) / h^2
        {V(0, 0, -2.999f), V(0.5f, 0, -2.999f), {0, -98.1, 0}},
        {V(0, -10, 0), V(0, -10, 0), {0, -98.1, 0}},                    // on the ground
        {V(0, 0, 0), V(0, -10.5f, 0), {0, 0.5 / kH2, 0}},               // below it: pushed up
        {V(1, -10, -4), V(2, -10.25f, -4), {-1 / kH2, 0.25 / kH2, 0}},  // the pin's x, z
    };
    boost::shared_ptr<TetMesh> m = tetmeshes::makeMesh(tetmeshes::oneTet());
    for (const auto& c : cases) {
        m->restVert.push_back(c.rest);
        m->vert.push_back(c.cur);
    }
    const lumo::Matrix F = Scene::externalForces(*m, {}, Scene::Handle{-1, {}, {}}, kH);
    ASSERT_EQ(F.m, 3 * 10);
    // -98.1 rounds once from exact decimal inputs; the pins' quotients carry float inputs.
    for (int i = 0; i < 18; ++i) EXPECT_NEAR(F[12 + i], cases[i / 3].f[i % 3], 1e-6) << i;
}

TEST(SceneForces, SpringsPullCornersByWeightOverHSquared) {
    // Vertices (0,0,0), (0,1,0), (1,0,0), (0,0,1) in slots 0, 3, 1, 2.
    boost::shared_ptr<TetMesh> m = tetmeshes::makeMesh(tetmeshes::oneTet());
    Spring s(0, lumo::Vec4<float>(0.5f, 0.25f, 0.25f, 0.0f), V(2, 0, 0));
    lumo::Matrix F = Scene::externalForces(*m, {s}, Scene::Handle{-1, s.bary, s.pos}, kH);
    // {entry, force}: slot 0 at the origin 0.25 x 0.5 x 2 / h^2; slot 1 at (1,0,0), d = (1, 0, 0);
    // slot 2 at (0,0,1), d = (2, 0, -1); slot 3 has weight 0: gravity only.
    const std::pair<int, double> want[] = {{0, 2500}, {6, 625}, {9, 1250}, {11, -625}, {4, -98.1}};
    for (const auto& w : want) EXPECT_NEAR(F[w.first], w.second, 1e-9) << w.first;
    // Springs add up; the dragged point counts twice; one naming no tetrahedron exerts nothing.
    Spring bad(7, s.bary, s.pos), negative(-2, s.bary, s.pos);
    EXPECT_NEAR(Scene::externalForces(*m, {s, s}, Scene::Handle{0, s.bary, s.pos}, kH)[0], 10000.0,
                1e-9);
    EXPECT_EQ(Scene::externalForces(*m, {bad, negative}, Scene::Handle{1, s.bary, s.pos}, kH)[0],
              0.0);
}

TEST(SceneFractureLog, AnUnwritableLogIsReportedInOneLine) {
    bool ok = true;
    const std::string err = testsupport::captureStderr([&] {
        ok = Scene::writeFractureLog("/nonexistent-dir/fractures.txt",
                                     std::vector<TetMeshFractureInfo>(2));
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(err.find("cannot write the fracture log /nonexistent-dir/fractures.txt: "), 0u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}
