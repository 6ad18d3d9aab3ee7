// The implicit co-rotational step against known answers, a dense evaluation and its guards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "sim/TetMesh.h"
#include "tests/support/Capture.h"
#include "tests/support/sim/TetMeshes.h"

using lumo::Matrix;
using lumo::Vec3;
typedef Vec3<float> V3;
using namespace tetmeshes;

namespace {

const double kDt = 0.01;

// A mesh that never fractures, so that only the step itself is under test.
boost::shared_ptr<TetMesh> quiet(const TetList& list) {
    boost::shared_ptr<TetMesh> m = makeMesh(list);
    m->fractureThreshold = 1e9;
    return m;
}

double maxSpeed(const TetMesh& m) {
    double s = 0;
    for (const V3& v : m.velocities) s = std::max(s, v.len());
    return s;
}

// The velocities of one step evaluated densely, straight from the step's equations:
// (M + dt C + dt^2 K) v' = M v - dt (((K x + F0) - Fp) - fext). Changes the plastic strain of
// `mesh` as the step does.
Matrix denseStep(TetMesh& mesh, double dt, const Matrix& fext) {
    const int N = 3 * int(mesh.vert.size());
    std::vector<Matrix> Rot = mesh.getTetRotations();
    Matrix M = mesh.getMassMatrix(), C = mesh.getDampingMatrix();
    Matrix x = mesh.getCombinedVertVector(), v = mesh.getCombinedVelocityVector();
    Matrix K = Matrix::zeros(N, N), F0 = Matrix::zeros(N, 1), Fp = Matrix::zeros(N, 1);
    for (size_t e = 0; e < mesh.tets.size(); ++e) {
        Tetrahedron& t = mesh.tets[e];
        Matrix Q = Rot[e], Qt = Q.transpose();
        Matrix Kt = (Q * t.K) * Qt;
        Matrix f0 = Q * (t.K * t.getVertexVector(mesh.restVert));
        t.updatePlasticity(mesh.restVert, mesh.vert, Qt, dt);
        Matrix fp = (Q * t.P) * t.plasticStrain;
        for (int i = 0; i < 12; ++i) {
            int ri = 3 * t.verts[i / 3] + i % 3;
            for (int j = 0; j < 12; ++j) K(ri, 3 * t.verts[j / 3] + j % 3) += Kt(i, j);
            F0[ri] -= f0[i];
            Fp[ri] += fp[i];
        }
    }
    Matrix A = K * (dt * dt);
    for (int i = 0; i < N; ++i) A(i, i) += dt * C[i] + M[i];
    Matrix b = K * x;
    for (int r = 0; r < N; ++r) b[r] = M[r] * v[r] - dt * (((b[r] + F0[r]) - Fp[r]) - fext[r]);
    return A.inverse() * b;
}

}  // namespace

TEST(TetMeshStepTest, KeptSolverAnalysisChangesNoResultAcrossFractures) {
    // A stretched beam breaks in its first step (the pattern grows) and then moves on; with the
    // solver's analysis kept and renewed every step the velocities and records agree.
    auto run = [](bool keep, std::string& out) {
        boost::shared_ptr<TetMesh> mesh = makeMesh(beam(3));  // threshold 1000
        for (V3& p : mesh->vert) p.x *= 1.2f;
        mesh->reuseSolverAnalysis = keep;
        srand(5);  // the split vertices come from rand()
        out = testsupport::captureStdout([&] {
            for (int s = 0; s < 4; ++s) mesh->simulate(kDt, Matrix());
        });
        EXPECT_EQ(mesh->velocities.size(), mesh->vert.size());  // copies extend every array
        return mesh->velocities;
    };
    std::string kept, renewed;
    std::vector<V3> a = run(true, kept), b = run(false, renewed);
    EXPECT_NE(kept.find("fracture: "), std::string::npos);
    EXPECT_EQ(kept, renewed);
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(a[i][c], b[i][c], 1e-9 * std::fabs(b[i][c])) << i;
}

TEST(TetMeshStepTest, RestAndRigidPosesFeelNoForceMirroredKeepsReflection) {
    // Rest and rigid poses also check the element rotations: wrong ones would leave forces.
    boost::shared_ptr<TetMesh> mesh = quiet(beam(3));
    for (int s = 0; s < 5; ++s) mesh->simulate(kDt, Matrix::zeros(3 * int(mesh->vert.size()), 1));
    // Only rounding of the identity rotation moves anything.
    EXPECT_LT(maxSpeed(*mesh), 1e-9);

    // Turned by 1.1 about the unit axis (0, 0.6, 0.8) (Rodrigues) and shifted.
    boost::shared_ptr<TetMesh> rigid = quiet(cubeOfFive());
    const double c = std::cos(1.1), s = std::sin(1.1), t = 1 - c, y = 0.6, z = 0.8;
    const double R[9] = {c,         -s * z, s * y,     s * z,        t * y * y + c,
                         t * y * z, -s * y, t * y * z, t * z * z + c};
    for (V3& p : rigid->vert)
        p = V3(float(R[0] * p.x + R[1] * p.y + R[2] * p.z) - 2,
               float(R[3] * p.x + R[4] * p.y + R[5] * p.z) + 5,
               float(R[6] * p.x + R[7] * p.y + R[8] * p.z) + 1);
    rigid->simulate(kDt, Matrix());  // a 0-row force counts as none
    // Float rounding of the rotated positions leaves forces of order 1e-3 at most.
    EXPECT_LT(maxSpeed(*rigid), 1e-4);

    // A mirrored element keeps the reflection U V^T, not a rotation.
    boost::shared_ptr<TetMesh> inverted = quiet(oneTet());
    for (V3& p : inverted->vert) p.x = -p.x;
    Matrix Q = inverted->getTetRotations()[0].submatrix(0, 0, 3, 3);
    EXPECT_NEAR(Q.det(), -1.0, 1e-9);
    EXPECT_NEAR(Q(0, 0), -1.0, 1e-9);
}

TEST(TetMeshStepTest, AssemblyMatchesTheDenseEquations) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> jiggle(-0.05f, 0.05f);
    TetList list = beam(2);
    boost::shared_ptr<TetMesh> mesh = quiet(list);
    boost::shared_ptr<TetMesh> ref = quiet(list);
    const int N = 3 * int(list.verts.size());
    Matrix fext(N, 1);
    for (size_t i = 0; i < list.verts.size(); ++i) {
        V3 d(jiggle(rng), jiggle(rng), jiggle(rng)), v(jiggle(rng), jiggle(rng), jiggle(rng));
        mesh->vert[i] += d;
        ref->vert[i] += d;
        mesh->velocities[i] = ref->velocities[i] = v * 10.0;
        for (int c = 0; c < 3; ++c) fext[3 * i + c] = 100 * jiggle(rng);
    }
    // Some plastic strain already present, shared by neither mesh.
    for (size_t e = 0; e < list.tets.size(); ++e)
        for (int r = 0; r < 6; ++r)
            mesh->tets[e].plasticStrain[r] = ref->tets[e].plasticStrain[r] = 0.1 * jiggle(rng);

    Matrix expected = denseStep(*ref, kDt, fext);
    std::vector<V3> start = mesh->vert;
    double strainBefore = mesh->tets[0].plasticStrain[0];
    mesh->simulate(kDt, fext);
    // Velocities are stored in float; the dense and sparse sums differ only in rounding.
    for (size_t i = 0; i < list.verts.size(); ++i)
        for (int c = 0; c < 3; ++c) {
            double want = expected[3 * i + c];
            EXPECT_NEAR(mesh->velocities[i][c], want, 1e-6 * (1 + std::fabs(want))) << i;
            EXPECT_NEAR(mesh->vert[i][c], start[i][c] + kDt * want, 1e-6);
        }
    for (size_t e = 0; e < list.tets.size(); ++e)
        for (int r = 0; r < 6; ++r)
            EXPECT_NEAR(mesh->tets[e].plasticStrain[r], ref->tets[e].plasticStrain[r], 1e-12);
    // The deformation is far above the yield strain, so the step moved the plastic strain.
    EXPECT_NE(mesh->tets[0].plasticStrain[0], strainBefore);
}

TEST(TetMeshStepTest, FreeFallFollowsBackwardEuler) {
    boost::shared_ptr<TetMesh> mesh = quiet(beam(4, V3(0, 5, 0)));
    const int n = int(mesh->vert.size());
    // Gravity as the scene applies it: -9.81 times the mass of each y row.
    Matrix M = mesh->getMassMatrix(), g = Matrix::zeros(3 * n, 1);
    for (int i = 0; i < n; ++i) g[3 * i + 1] = -9.81 * M[3 * i + 1];
    double y = 5.5, vy = 0;  // the centre of unit cubes standing on y = 5
    for (int s = 0; s < 40; ++s) {
        mesh->simulate(kDt, g);
        // Elastic forces cancel over the body, so its centre obeys the scalar recursion.
        vy = (10 * vy + kDt * (-98.1)) / 10.05;
        y += kDt * vy;
    }
    double centreY = 0;
    for (const V3& p : mesh->vert) centreY += p.y / n;
    EXPECT_NEAR(centreY, y, 1e-4);
    // The beam keeps its shape while falling.
    EXPECT_NEAR(mesh->vert[n - 1].x - mesh->vert[0].x, 4.0, 1e-3);
}

TEST(TetMeshStepTest, VerticesWithoutElementsFloorAndForceShapes) {
    TetMesh mesh((Tetrahedron::Material()));
    // Velocities after the step equal v' = (10 v + dt f) / 10.05 (mass 10, damping 5); pick f for
    // v' = (1, -2, 3), (0.5, 0, 0) and (0, -1, 0).
    mesh.vert = mesh.restVert = {V3(0, -11, 0), V3(0, -12, 0), V3(0, -9, 0)};
    mesh.velocities.assign(3, V3(0, 0, 0));
    const double want[3][3] = {{1, -2, 3}, {0.5, 0, 0}, {0, -1, 0}};
    Matrix f(9, 1);
    for (int i = 0; i < 3; ++i)
        for (int c = 0; c < 3; ++c) f[3 * i + c] = want[i][c] * 10.05 / kDt;
    mesh.simulate(kDt, f);
    // Below the floor and falling: y negated, then everything times 0.9; the position stays.
    EXPECT_LT((mesh.velocities[0] - V3(0.9f, 1.8f, 2.7f)).len(), 1e-5);
    EXPECT_NEAR(mesh.vert[0].y, -11.02, 1e-5);
    // Below the floor but not falling (y velocity exactly 0): no bounce.
    EXPECT_NEAR(mesh.velocities[1].x, 0.5, 1e-6);
    EXPECT_EQ(mesh.velocities[1].y, 0.0f);
    // Above the floor: no bounce.
    EXPECT_NEAR(mesh.velocities[2].y, -1.0, 1e-6);
    EXPECT_NEAR(mesh.vert[2].y, -9.01, 1e-6);

    // A force with the wrong number of rows counts as none: v'' = 10 v' / 10.05, x += dt v''.
    mesh.simulate(kDt, Matrix::zeros(10, 1));
    EXPECT_LT((mesh.velocities[0] - V3(0.9f, 1.8f, 2.7f) * (10 / 10.05f)).len(), 1e-5);
    EXPECT_NEAR(mesh.vert[0].y, -11.02 + kDt * 18 / 10.05, 1e-5);
    // 3n rows but two columns is a shape error.
    EXPECT_THROW(mesh.simulate(kDt, Matrix::zeros(9, 2)), Matrix::size_mismatch);
}

TEST(TetMeshStepTest, FailedSolveKeepsTheState) {
    // A NaN force fails the solve; a force of 1e300 gives velocities no float can hold.
    const struct {
        double force;
        const char* message;
    } cases[] = {
        {std::nan(""), "simulate: the sparse solve failed (24 unknowns); step skipped\n"},
        {1e300, "simulate: the solution exceeds single precision (24 unknowns); step skipped\n"},
    };
    for (const auto& c : cases) {
        boost::shared_ptr<TetMesh> mesh = quiet(cubeOfFive());
        for (V3& p : mesh->vert) p.y *= 1.02f;
        mesh->velocities[3] = V3(0.5f, 0, 0);
        std::vector<V3> x0 = mesh->vert, v0 = mesh->velocities;
        Matrix f = Matrix::zeros(24, 1);
        f[4] = c.force;
        const std::string err = testsupport::captureStderr([&] { mesh->simulate(kDt, f); });
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        for (size_t i = 0; i < x0.size(); ++i) {
            EXPECT_EQ(mesh->vert[i], x0[i]);
            EXPECT_EQ(mesh->velocities[i], v0[i]);
        }
        EXPECT_TRUE(mesh->recentFractures.empty());
        // The next good step carries on from there.
        mesh->simulate(kDt, Matrix::zeros(24, 1));
        for (const V3& p : mesh->vert) EXPECT_TRUE(std::isfinite(p.x + p.y + p.z));
    }
}

TEST(TetMeshStepTest, SharedVertexGridStaysFiniteUnderGravity) {
    for (bool six : {false, true}) {
        boost::shared_ptr<TetMesh> mesh = loadMesh(gridCube(3, six), true);
        ASSERT_EQ(mesh->tets.size(), six ? 162u : 135u);
        for (const Tetrahedron& t : mesh->tets) ASSERT_GT(t.volume, 0);
        mesh->fractureThreshold = 1e9;
        const int n = int(mesh->vert.size());
        Matrix g = Matrix::zeros(3 * n, 1);
        for (int i = 0; i < n; ++i) g[3 * i + 1] = -98.1;
        TetMesh::StepTiming timing;  // the benchmark's phase times accumulate per step
        mesh->stepTiming = &timing;
        for (int s = 0; s < 300; ++s) mesh->simulate(kDt, g);
        EXPECT_EQ(timing.steps, 300);
        double lowest = 1e9;
        for (const V3& p : mesh->vert) {
            ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z));
            lowest = std::min(lowest, double(p.y));
        }
        // It fell to the floor at y = -10 and did not sink far through it.
        EXPECT_LT(lowest, -9.0);
        EXPECT_GT(lowest, -12.0);
        EXPECT_LT(maxSpeed(*mesh), 50.0);
    }
}
