// External force assembly of a scene step (gravity, springs, the dragged point, pins, ground)
// and the fracture log writer, also with a file that cannot be written.
#include <gtest/gtest.h>

#include <algorithm>

#include <boost/shared_ptr.hpp>

#include "app/Scene.h"
#include "sim/TetMeshFractureArchive.h"
#include "tests/support/Capture.h"
#include "tests/support/TempFile.h"

namespace {

const double kH = 0.01;

// One tetrahedron over (0,0,0), (1,0,0), (0,1,0), (0,0,1) (slots a, c, d, b of the value
// constructor), current = rest positions, then `extra` loose vertices at the origin.
boost::shared_ptr<TetMesh> oneTet(int extra = 0) {
    boost::shared_ptr<TetMesh> m(new TetMesh(Tetrahedron::Material()));
    m->vert = {lumo::Vec3<float>(0, 0, 0), lumo::Vec3<float>(1, 0, 0), lumo::Vec3<float>(0, 1, 0),
               lumo::Vec3<float>(0, 0, 1)};
    for (int i = 0; i < extra; ++i) m->vert.push_back(lumo::Vec3<float>(0, 0, 0));
    m->restVert = m->vert;
    m->velocities.assign(m->vert.size(), lumo::Vec3<float>(0, 0, 0));
    m->tets.push_back(Tetrahedron(0, 2, 1, 3));
    return m;
}

Scene::Handle noHandle() {
    Scene::Handle h;
    h.tet = -1;
    return h;
}

}  // namespace

TEST(SceneForces, GravityIsMinus98Point1OnYOnly) {
    boost::shared_ptr<TetMesh> m = oneTet();
    lumo::Matrix F = Scene::externalForces(*m, {}, noHandle(), kH);
    ASSERT_EQ(F.m, 12);
    ASSERT_EQ(F.n, 1);
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(F[3 * i], 0.0);
        // -9.81 x mass 10.0; both are exact decimal inputs, the product rounds once.
        EXPECT_NEAR(F[3 * i + 1], -98.1, 1e-12);
        EXPECT_DOUBLE_EQ(F[3 * i + 2], 0.0);
    }
}

TEST(SceneForces, SpringsPullCornersByWeightOverHSquared) {
    boost::shared_ptr<TetMesh> m = oneTet();
    Spring s(0, lumo::Vec4<float>(0.5f, 0.25f, 0.25f, 0.0f), lumo::Vec3<float>(2, 0, 0));
    lumo::Matrix F = Scene::externalForces(*m, {s}, noHandle(), kH);
    // Tetrahedron(0, 2, 1, 3) has slots {0, 1, 3, 2}. Slot 0 is vertex 0 at the origin:
    // 0.25 x 0.5 x 2 / h^2 = 2500.
    EXPECT_NEAR(F[0], 2500.0, 1e-9);
    // Slot 1 is vertex 1 (1,0,0): d = (1, 0, 0), 0.25 x 0.25 x 1 / h^2.
    EXPECT_NEAR(F[3], 625.0, 1e-9);
    // Slot 2 is vertex 3 (0,0,1): d = (2, 0, -1).
    EXPECT_NEAR(F[9], 1250.0, 1e-9);
    EXPECT_NEAR(F[11], -625.0, 1e-9);
    // Slot 3 (vertex 2) has weight 0: gravity only.
    EXPECT_DOUBLE_EQ(F[6], 0.0);
    EXPECT_NEAR(F[7], -98.1, 1e-12);

    // Two springs on the same corners accumulate; the dragged point counts twice as much.
    Scene::Handle h;
    h.tet = 0;
    h.bary = s.bary;
    h.pos = s.pos;
    lumo::Matrix Fh = Scene::externalForces(*m, {}, h, kH);
    EXPECT_NEAR(Fh[0], 5000.0, 1e-9);
    lumo::Matrix F2 = Scene::externalForces(*m, {s, s}, h, kH);
    EXPECT_NEAR(F2[0], 10000.0, 1e-9);

    // Springs and a dragged point naming no tetrahedron exert nothing.
    Spring bad(7, s.bary, s.pos), negative(-2, s.bary, s.pos);
    h.tet = 1;
    lumo::Matrix Fb = Scene::externalForces(*m, {bad, negative}, h, kH);
    EXPECT_DOUBLE_EQ(Fb[0], 0.0);
    EXPECT_NEAR(Fb[1], -98.1, 1e-12);
}

TEST(SceneForces, PinsAtRestZOfMinusThreeOrBelow) {
    boost::shared_ptr<TetMesh> m = oneTet(2);
    m->restVert[4] = lumo::Vec3<float>(1, 2, -3.0f);
    m->vert[4] = lumo::Vec3<float>(1.5f, 2, -3.0f);
    m->restVert[5] = lumo::Vec3<float>(0, 0, -2.999f);
    m->vert[5] = lumo::Vec3<float>(0.5f, 0, -2.999f);
    Spring s(0, lumo::Vec4<float>(1, 0, 0, 0), lumo::Vec3<float>(0, 0, 0));
    lumo::Matrix F = Scene::externalForces(*m, {s}, noHandle(), kH);
    // Pinned: (rest - current) / h^2 replaces gravity on every axis.
    EXPECT_NEAR(F[12], -0.5 / (kH * kH), 1e-6);
    EXPECT_DOUBLE_EQ(F[13], 0.0);
    EXPECT_DOUBLE_EQ(F[14], 0.0);
    // Not pinned at -2.999: gravity only.
    EXPECT_DOUBLE_EQ(F[15], 0.0);
    EXPECT_NEAR(F[16], -98.1, 1e-12);
}

TEST(SceneForces, GroundPushesUpOnlyBelowMinusTen) {
    boost::shared_ptr<TetMesh> m = oneTet(3);
    m->vert[4] = lumo::Vec3<float>(0, -10.0f, 0);
    m->vert[5] = lumo::Vec3<float>(0, -10.5f, 0);
    // Pinned and below the ground: the pin's x and z, the ground's y.
    m->restVert[6] = lumo::Vec3<float>(1, -10.0f, -4.0f);
    m->vert[6] = lumo::Vec3<float>(2, -10.25f, -4.0f);
    lumo::Matrix F = Scene::externalForces(*m, {}, noHandle(), kH);
    EXPECT_NEAR(F[13], -98.1, 1e-12);
    EXPECT_NEAR(F[16], 0.5 / (kH * kH), 1e-6);
    EXPECT_NEAR(F[18], -1.0 / (kH * kH), 1e-6);
    EXPECT_NEAR(F[19], 0.25 / (kH * kH), 1e-6);
    EXPECT_DOUBLE_EQ(F[20], 0.0);
}

TEST(SceneFractureLog, WritesEveryRecordOrReportsOneLine) {
    std::vector<TetMeshFractureInfo> all(2);
    all[0].tet = 5;
    all[1].tet = 9;
    const testsupport::TempFile log("scene_fractures.txt");
    ASSERT_TRUE(Scene::writeFractureLog(log.c_str(), all));
    std::vector<TetMeshFractureInfo> back;
    readFractureFile(log.c_str(), back);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].tet, 5);
    EXPECT_EQ(back[1].tet, 9);

    // An unwritable log: one line on standard error, no exception.
    bool ok = true;
    const std::string err = testsupport::captureStderr(
        [&] { ok = Scene::writeFractureLog("/nonexistent-dir/fractures.txt", all); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(err.find("cannot write the fracture log /nonexistent-dir/fractures.txt"), 0u);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
}
