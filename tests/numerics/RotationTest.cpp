// Tests for the rotation conversions: rotation matrix <-> rotation vector, and the xyz and zxy
// Euler angles, including rotations by (nearly) pi and the gimbal-lock branches.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "numerics/matrix.h"

using lumo::Matrix;

namespace {

// Entries of products of a few rotations carry rounding of a few ulps; 1e-12 is far below any
// error a wrong branch or sign would make.
const double kTol = 1e-12;

Matrix vec(double x, double y, double z) {
    Matrix v(3, 1);
    v[0] = x;
    v[1] = y;
    v[2] = z;
    return v;
}

Matrix rotX(double a) {
    Matrix R = Matrix::eye(3);
    R(1, 1) = std::cos(a);
    R(1, 2) = -std::sin(a);
    R(2, 1) = std::sin(a);
    R(2, 2) = std::cos(a);
    return R;
}
Matrix rotY(double a) {
    Matrix R = Matrix::eye(3);
    R(0, 0) = std::cos(a);
    R(0, 2) = std::sin(a);
    R(2, 0) = -std::sin(a);
    R(2, 2) = std::cos(a);
    return R;
}
Matrix rotZ(double a) {
    Matrix R = Matrix::eye(3);
    R(0, 0) = std::cos(a);
    R(0, 1) = -std::sin(a);
    R(1, 0) = std::sin(a);
    R(1, 1) = std::cos(a);
    return R;
}

double maxAbsDiff(const Matrix& A, const Matrix& B) {
    EXPECT_EQ(A.m, B.m);
    EXPECT_EQ(A.n, B.n);
    double d = 0.0;
    for (int k = 0; k < A.m * A.n; ++k) d = std::max(d, std::fabs(A[k] - B[k]));
    return d;
}

// Random unit axis times the given angle.
Matrix randomRod(std::mt19937& rng, double angle) {
    std::normal_distribution<double> g;
    double x = g(rng), y = g(rng), z = g(rng);
    double l = std::sqrt(x * x + y * y + z * z);
    return vec(x / l * angle, y / l * angle, z / l * angle);
}

}  // namespace

TEST(Rodrigues, KnownAnswers) {
    Matrix zero = Matrix::eye(3).matrix2rod();
    ASSERT_EQ(zero.m, 3);
    ASSERT_EQ(zero.n, 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(zero[k], 0.0);

    Matrix r = rotZ(0.5).matrix2rod();
    EXPECT_NEAR(r[0], 0.0, kTol);
    EXPECT_NEAR(r[1], 0.0, kTol);
    EXPECT_NEAR(r[2], 0.5, kTol);
    EXPECT_LT(maxAbsDiff(vec(0, 0, 0.5).rod2matrix(), rotZ(0.5)), kTol);
    EXPECT_EQ(maxAbsDiff(vec(0, 0, 1e-15).rod2matrix(), Matrix::eye(3)), 0.0);

    // A 1 x 3 row is read in element order.
    Matrix row(1, 3);
    row[0] = 0.25;
    row[1] = row[2] = 0.0;
    EXPECT_LT(maxAbsDiff(row.rod2matrix(), rotX(0.25)), kTol);
}

TEST(Rodrigues, NonSquarePrintsAndGivesEmpty) {
    testing::internal::CaptureStdout();
    Matrix r = Matrix::zeros(3, 1).matrix2rod();
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "error in matrix2rod\n");
    EXPECT_EQ(r.m, 0);
    EXPECT_EQ(r.n, 0);
    EXPECT_EQ(Matrix::zeros(2, 2).rod2matrix().m, 0);  // no three elements to read
}

TEST(Rodrigues, RoundTripOfRandomRotations) {
    std::mt19937 rng(23);
    const double angles[] = {1e-9, 1e-6,        0.1,         1.0,         2.0,
                             3.0,  M_PI - 1e-4, M_PI - 1e-7, M_PI - 1e-9, M_PI};
    for (double angle : angles) {
        for (int trial = 0; trial < 20; ++trial) {
            Matrix R = randomRod(rng, angle).rod2matrix();
            Matrix r = R.matrix2rod();
            EXPECT_LT(maxAbsDiff(r.rod2matrix(), R), kTol) << "angle " << angle;
            double len = std::sqrt(r.dot(r));
            EXPECT_NEAR(len, angle, 1e-9) << "angle " << angle;
        }
    }
}

TEST(Rodrigues, HalfTurnGivesAxisTimesPi) {
    // R = 2 u u^T - I exactly: the skew part vanishes and the axis comes from the symmetric part.
    const double axes[][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, -2, 2}};
    for (auto& a : axes) {
        double l = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        double u[3] = {a[0] / l, a[1] / l, a[2] / l};
        Matrix R(3, 3);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) R(i, j) = 2 * u[i] * u[j] - (i == j ? 1.0 : 0.0);
        Matrix r = R.matrix2rod();
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(std::isfinite(r[k]));
        EXPECT_NEAR(std::sqrt(r.dot(r)), M_PI, kTol);
        // Either direction of the axis is the same rotation.
        double dot = r[0] * u[0] + r[1] * u[1] + r[2] * u[2];
        EXPECT_NEAR(std::fabs(dot), M_PI, kTol);
        EXPECT_LT(maxAbsDiff(r.rod2matrix(), R), kTol);
    }
}

TEST(EulerXyz, RandomAnglesAreRecovered) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> a(-M_PI, M_PI), b(-M_PI / 2 + 1e-3, M_PI / 2 - 1e-3);
    for (int trial = 0; trial < 50; ++trial) {
        double x = a(rng), y = b(rng), z = a(rng);
        Matrix e = (rotX(x) * rotY(y) * rotZ(z)).rot2xyz();
        ASSERT_EQ(e.m, 3);
        EXPECT_NEAR(e[0], x, 1e-10);
        EXPECT_NEAR(e[1], y, 1e-10);
        EXPECT_NEAR(e[2], z, 1e-10);
    }
    EXPECT_EQ(Matrix::zeros(3, 2).rot2xyz().m, 0);
}

TEST(EulerXyz, GimbalLockBranches) {
    // R02 = 1: beta = pi/2, only alpha + gamma is determined; gamma is set to 0.
    Matrix R = rotX(0.3) * rotY(M_PI / 2) * rotZ(0.4);
    R(0, 2) = 1.0;
    Matrix e = R.rot2xyz();
    EXPECT_EQ(e[1], M_PI / 2);
    EXPECT_EQ(e[2], 0.0);
    EXPECT_NEAR(e[0], 0.7, kTol);
    // R02 = -1: beta = -pi/2, alpha - gamma is determined.
    Matrix S = rotX(0.3) * rotY(-M_PI / 2) * rotZ(0.4);
    S(0, 2) = -1.0;
    Matrix f = S.rot2xyz();
    EXPECT_EQ(f[2], 0.0);
    EXPECT_LT(maxAbsDiff(rotX(f[0]) * rotY(f[1]) * rotZ(f[2]), S), kTol);
    // Rounding just past 1 still gives the half-turn angle, not NaN.
    R(0, 2) = 1.0 + 2e-16;
    EXPECT_EQ(R.rot2xyz()[1], M_PI / 2);
}

TEST(EulerZxy, RandomAnglesReproduceTheMatrix) {
    std::mt19937 rng(37);
    std::uniform_real_distribution<double> a(-M_PI, M_PI), b(-M_PI / 2 + 1e-3, M_PI / 2 - 1e-3);
    for (int trial = 0; trial < 50; ++trial) {
        Matrix R = rotZ(a(rng)) * rotX(b(rng)) * rotY(a(rng));
        Matrix e = R.rot2zxy();
        ASSERT_EQ(e.m, 3);
        EXPECT_LT(maxAbsDiff(rotZ(e[0]) * rotX(e[1]) * rotY(e[2]), R), kTol);
    }
    EXPECT_EQ(Matrix::zeros(3, 1).rot2zxy().m, 0);
}

TEST(EulerZxy, DegenerateBranchOnlyWhenCosXVanishes) {
    // x = +-pi/2: R20 and R22 both vanish; y is set to 0 and z absorbs it.
    for (double x : {M_PI / 2, -M_PI / 2}) {
        Matrix R = rotZ(0.4) * rotX(x) * rotY(0.3);
        Matrix e = R.rot2zxy();
        EXPECT_EQ(e[2], 0.0);
        EXPECT_NEAR(e[1], x, kTol);
        EXPECT_LT(maxAbsDiff(rotZ(e[0]) * rotX(e[1]) * rotY(e[2]), R), kTol);
    }
    // y = pi/2 with cos x > 0: R22 vanishes but R20 = -cos x is large and negative. This is
    // not gimbal lock and must be solved by the general formula.
    Matrix R = rotZ(0.4) * rotX(0.5) * rotY(M_PI / 2);
    Matrix e = R.rot2zxy();
    EXPECT_NEAR(e[2], M_PI / 2, kTol);
    EXPECT_NEAR(e[1], 0.5, kTol);
    EXPECT_NEAR(e[0], 0.4, kTol);
}
