// The tetrahedral element: slot order, volume and normals, matrices, plasticity, distances.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "sim/Tetrahedron.h"
#include "tests/support/Capture.h"
#include "tests/support/sim/TetMeshes.h"

using lumo::Matrix;
using lumo::Vec3;
using lumo::Vec4;
typedef Vec3<float> V3;

namespace {

// Unit-sized elements in single precision: results carry a few float ulps.
const double kTol = 1e-6;

// The element of the one-tetrahedron mesh with its rest matrices.
Tetrahedron unitTet(const std::vector<V3>& pos) {
    Tetrahedron t(0, 1, 2, 3);
    t.updateNormals(pos);
    t.updateVolume(pos);
    return t;
}

}  // namespace

TEST(TetrahedronTest, SlotOrderLookupAndReplacement) {
    std::ostringstream os;
    Tetrahedron(10, 11, 12, 13).print(os);
    EXPECT_EQ(os.str(), "10,12,13,11");  // slots a, c, d, b
    Tetrahedron r(4, 5, 6, 4);           // verts {4, 6, 4, 5}: a repeated index
    EXPECT_EQ(r.indexOfVertex(5), 3);
    EXPECT_EQ(r.indexOfVertex(9), -1);
    EXPECT_TRUE(r.replaceVert(4, 8));  // first slot only
    EXPECT_EQ(r.verts[0] * 10 + r.verts[2], 84);
    EXPECT_FALSE(r.replaceVert(9, 1));
}

TEST(TetrahedronTest, OutwardFaceGivesPositiveVolumeAndOutwardNormals) {
    std::vector<V3> pos = tetmeshes::oneTet().verts;
    Tetrahedron t = unitTet(pos);
    EXPECT_NEAR(t.volume, 1.0 / 6.0, 1e-7);
    const double s = 1 / std::sqrt(3.0);
    const double expected[4][3] = {{0, -1, 0}, {0, 0, -1}, {s, s, s}, {-1, 0, 0}};
    for (int f = 0; f < 4; ++f)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(t.normals[f][c], expected[f][c], kTol) << f;
}

TEST(TetrahedronTest, ElementMatrices) {
    std::vector<V3> pos = {V3(0.1f, 0.2f, 0), V3(1.3f, 0.1f, 0.2f), V3(0.2f, 1.1f, 0.1f),
                           V3(0.3f, 0.2f, 0.9f)};
    // Orient so that the element has a positive volume.
    std::array<int, 4> o = tetmeshes::orient(pos, {0, 1, 2, 3});
    Tetrahedron t(o[0], o[1], o[2], o[3]);
    t.updateVolume(pos);
    ASSERT_GT(t.volume, 0);

    const double Y = 25000, nu = 0.1, c = Y / ((1 - 2 * nu) * (1 + nu));
    EXPECT_NEAR(t.E(0, 0) + t.E(1, 2) + t.E(4, 4), c + Y / (2 * (1 + nu)), 1e-9);
    EXPECT_EQ(t.E(0, 3), 0.0);

    // B turns a linear displacement u = G x into its (engineering) strain exactly.
    const double G[3][3] = {{0.01, 0.002, -0.003}, {0.004, -0.02, 0.001}, {0.005, 0.006, 0.03}};
    Matrix u(12, 1);
    for (int k = 0; k < 4; ++k)
        for (int r = 0; r < 3; ++r) {
            const V3& p = pos[t.verts[k]];
            u[3 * k + r] = G[r][0] * p.x + G[r][1] * p.y + G[r][2] * p.z;
        }
    Matrix e = t.B * u;
    const double strain[6] = {G[0][0],           G[1][1],           G[2][2],
                              G[2][0] + G[0][2], G[0][1] + G[1][0], G[1][2] + G[2][1]};
    for (int r = 0; r < 6; ++r) EXPECT_NEAR(e[r], strain[r], 1e-7) << r;

    // K is symmetric, equals P B (volume B^T E B), and a translation costs no force.
    Matrix PB = t.P * t.B;
    Matrix shift(12, 1);
    for (int k = 0; k < 12; ++k) shift[k] = (k % 3 == 1) ? 0.7 : -0.2;
    Matrix f = t.K * shift;
    for (int i = 0; i < 12; ++i) {
        EXPECT_NEAR(f[i], 0.0, 1e-8);
        for (int j = 0; j < 12; ++j) {
            EXPECT_NEAR(t.K(i, j), PB(i, j), 1e-9 * std::fabs(PB(i, j)) + 1e-9);
            EXPECT_NEAR(t.K(i, j), t.K(j, i), 1e-9 * std::fabs(PB(i, j)) + 1e-9);
        }
    }
}

TEST(TetrahedronTest, PlasticityFlowAndCap) {
    std::vector<V3> rest = tetmeshes::oneTet().verts;
    Tetrahedron t = unitTet(rest);
    Matrix I = Matrix::eye(12);

    // 1% stretch along x: elastic strain xx = 0.01 > yield, so the plastic strain grows by
    // dt * creep * e.
    std::vector<V3> pos = rest;
    for (V3& p : pos) p.x *= 1.01f;
    Matrix shared = t.plasticStrain;  // copies share storage and see the in-place update
    t.updatePlasticity(rest, pos, I, 0.01);
    EXPECT_NEAR(shared[0], 0.01 * 2.0 * 0.01, 1e-9);
    for (int r = 1; r < 6; ++r) EXPECT_NEAR(shared[r], 0.0, 1e-9);

    // A rotation handed in as Rt undoes a rotated pose: no flow from a rigid turn (nor at rest).
    Tetrahedron u = unitTet(rest);
    std::vector<V3> turned;
    for (const V3& p : rest) turned.push_back(V3(-p.y, p.x, p.z));  // 90 degrees about z
    u.updatePlasticity(rest, turned, tetmeshes::quarterTurnAboutZ().transpose(), 0.01);
    for (int r = 0; r < 6; ++r) EXPECT_NEAR(u.plasticStrain[r], 0.0, 1e-9);

    // Below the yield nothing flows, but a strain above the cap is scaled back to it.
    Tetrahedron w = unitTet(rest);
    w.material.plasticYield = 1e6;
    w.plasticStrain[0] = 300;
    w.plasticStrain[1] = 400;
    w.updatePlasticity(rest, rest, I, 0.01);
    EXPECT_NEAR(w.plasticStrain[0], 60, 1e-9);
    EXPECT_NEAR(w.plasticStrain[1], 80, 1e-9);
}

TEST(TetrahedronTest, DistancesAndTheirDiagnostics) {
    std::vector<V3> pos = tetmeshes::oneTet().verts;
    Tetrahedron t = unitTet(pos);
    double inside, outside, face, onFace, corner;
    // Face 2 is the slanted face x + y + z = 1; (1, 1, 1) projects onto its centre.
    EXPECT_EQ(testsupport::captureStdout([&] {
                  inside = t.distance(pos, V3(0.2f, 0.2f, 0.2f));
                  outside = t.distance(pos, V3(2, 0, 0));
                  face = t.distanceToTriangle(pos, 2, V3(1, 1, 1));
              }),
              "");
    EXPECT_NEAR(inside, 0.0, kTol);
    EXPECT_NEAR(outside, 1.0, kTol);
    EXPECT_NEAR(face, 2 / std::sqrt(3.0), kTol);

    // A point on face 2 (slots 2, 1, 3 = vertices 3, 2, 1) away from its corners: only the
    // distance block is printed; the weights solve p = w0 c0 + w1 c1 + w2 c2.
    EXPECT_EQ(testsupport::captureStdout(
                  [&] { onFace = t.distanceToTriangle(pos, 2, V3(0.25f, 0.25f, 0.5f)); }),
              "[0,0,1][1,0,0][0,1,0]\n"
              "Triangle distance zero: 0.500000 0.250000 0.250000   0.250000 0.250000 0.500000\n"
              "[0.25,0.25,0.5]\n[0.25,0.25,0.5]\n");
    EXPECT_NEAR(onFace, 0.0, 1e-7);

    // At a corner: the three faces through it report the coincidence and the zero distance;
    // face 0 (slots 0, 1, 2 = vertices 0, 2, 3) first, its corners back to back.
    std::string out = testsupport::captureStdout([&] { corner = t.distance(pos, V3(0, 0, 0)); });
    EXPECT_EQ(corner, 0.0);
    EXPECT_NE(out.rfind("triangle points coincide.\n"), out.find("triangle points coincide.\n"));
    EXPECT_EQ(out.find("triangle points coincide.\n[0,0,0][1,0,0][0,0,1]\n"), 0u) << out;
}
