// Tests for the rotation conversions: rotation matrix <-> rotation vector, and the xyz and zxy
// Euler angles, including rotations by (nearly) pi and the gimbal-lock branches.
#include "tests/support/NumericsTestUtil.h"

using lumo::Matrix;
using testutil::captureStdout;
using testutil::column;
using testutil::maxAbsDiff;
using testutil::rotX;
using testutil::rotY;
using testutil::rotZ;

namespace {

// Entries of products of a few rotations carry rounding of a few ulps; 1e-12 is far below any
// error a wrong branch or sign would make.
const double kTol = 1e-12;

}  // namespace

TEST(Rodrigues, KnownAnswersAndBadShapes) {
    EXPECT_EQ(maxAbsDiff(Matrix::eye(3).matrix2rod(), Matrix::zeros(3, 1)), 0.0);
    EXPECT_LT(maxAbsDiff(rotZ(0.5).matrix2rod(), column({0, 0, 0.5})), kTol);
    EXPECT_LT(maxAbsDiff(column({0, 0, 0.5}).rod2matrix(), rotZ(0.5)), kTol);
    EXPECT_EQ(maxAbsDiff(column({0, 0, 1e-15}).rod2matrix(), Matrix::eye(3)), 0.0);
    // A 1 x 3 row is read in element order rather than past its end.
    EXPECT_LT(maxAbsDiff(testutil::fromList(1, 3, {0.25, 0, 0}).rod2matrix(), rotX(0.25)), kTol);
    EXPECT_EQ(Matrix::zeros(2, 2).rod2matrix().m, 0);

    Matrix r;
    EXPECT_EQ(captureStdout([&] { r = Matrix::zeros(3, 1).matrix2rod(); }),
              "error in matrix2rod\n");
    EXPECT_EQ(r.m + r.n, 0);
}

TEST(Rodrigues, RoundTripOfRandomRotationsNearZeroAndPi) {
    std::mt19937 rng(23);
    std::normal_distribution<double> g;
    for (double angle : {1e-9, 1e-6, 0.1, 1.0, 3.0, M_PI - 1e-4, M_PI - 1e-7, M_PI - 1e-9, M_PI}) {
        for (int trial = 0; trial < 20; ++trial) {
            Matrix axis = column({g(rng), g(rng), g(rng)});
            Matrix R = (axis * (angle / std::sqrt(axis.dot(axis)))).rod2matrix();
            Matrix r = R.matrix2rod();
            EXPECT_LT(maxAbsDiff(r.rod2matrix(), R), kTol) << "angle " << angle;
            EXPECT_NEAR(std::sqrt(r.dot(r)), angle, 1e-9) << "angle " << angle;
        }
    }
}

TEST(Rodrigues, HalfTurnGivesAxisTimesPi) {
    // R = 2 u u^T - I exactly: the skew part vanishes; the formula would divide by zero.
    const double axes[][3] = {{1, 0, 0}, {0, 0, 1}, {1, 1, 0}, {1, -2, 2}};
    for (auto& a : axes) {
        const double l = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
        Matrix R(3, 3);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) R(i, j) = 2 * a[i] * a[j] / (l * l) - (i == j ? 1.0 : 0.0);
        Matrix r = R.matrix2rod();
        const double dot = (r[0] * a[0] + r[1] * a[1] + r[2] * a[2]) / l;
        EXPECT_NEAR(std::fabs(dot), M_PI, kTol);  // either direction of the axis
        EXPECT_NEAR(std::sqrt(r.dot(r)), M_PI, kTol);
        EXPECT_LT(maxAbsDiff(r.rod2matrix(), R), kTol);
    }
}

TEST(EulerXyz, RandomAnglesAndGimbalLockBranches) {
    std::mt19937 rng(31);
    std::uniform_real_distribution<double> a(-M_PI, M_PI), b(-M_PI / 2 + 1e-3, M_PI / 2 - 1e-3);
    for (int trial = 0; trial < 50; ++trial) {
        Matrix angles = column({a(rng), b(rng), a(rng)});
        Matrix e = (rotX(angles[0]) * rotY(angles[1]) * rotZ(angles[2])).rot2xyz();
        EXPECT_LT(maxAbsDiff(e, angles), 1e-10);
    }
    EXPECT_EQ(Matrix::zeros(3, 2).rot2xyz().m, 0);

    // R02 = 1: beta = pi/2, gamma = 0 and alpha carries alpha + gamma.
    Matrix R = rotX(0.3) * rotY(M_PI / 2) * rotZ(0.4);
    R(0, 2) = 1.0;
    Matrix e = R.rot2xyz();
    EXPECT_EQ(e[1], M_PI / 2);
    EXPECT_EQ(e[2], 0.0);
    EXPECT_NEAR(e[0], 0.7, kTol);
    R(0, 2) = 1.0 + 2e-16;  // rounding just past 1 still gives the half-turn angle, not NaN
    EXPECT_EQ(R.rot2xyz()[1], M_PI / 2);
    // R02 = -1: beta = -pi/2.
    Matrix S = rotX(0.3) * rotY(-M_PI / 2) * rotZ(0.4);
    S(0, 2) = -1.0;
    Matrix f = S.rot2xyz();
    EXPECT_EQ(f[2], 0.0);
    EXPECT_LT(maxAbsDiff(rotX(f[0]) * rotY(f[1]) * rotZ(f[2]), S), kTol);
}

TEST(EulerZxy, RandomAnglesAndTheDegenerateBranch) {
    std::mt19937 rng(37);
    std::uniform_real_distribution<double> a(-M_PI, M_PI), b(-M_PI / 2 + 1e-3, M_PI / 2 - 1e-3);
    for (int trial = 0; trial < 50; ++trial) {
        Matrix R = rotZ(a(rng)) * rotX(b(rng)) * rotY(a(rng));
        Matrix e = R.rot2zxy();
        EXPECT_LT(maxAbsDiff(rotZ(e[0]) * rotX(e[1]) * rotY(e[2]), R), kTol);
    }
    EXPECT_EQ(Matrix::zeros(3, 1).rot2zxy().m, 0);

    // x = +-pi/2: R20 and R22 both vanish; y is set to 0 and z absorbs it.
    for (double x : {M_PI / 2, -M_PI / 2}) {
        Matrix R = rotZ(0.4) * rotX(x) * rotY(0.3);
        Matrix e = R.rot2zxy();
        EXPECT_EQ(e[2], 0.0);
        EXPECT_NEAR(e[1], x, kTol);
        EXPECT_LT(maxAbsDiff(rotZ(e[0]) * rotX(e[1]) * rotY(e[2]), R), kTol);
    }
    // y = pi/2 with cos x > 0: R22 vanishes but R20 = -cos x is large and negative. This is
    // not gimbal lock and is solved by the general formula.
    Matrix e = (rotZ(0.4) * rotX(0.5) * rotY(M_PI / 2)).rot2zxy();
    EXPECT_LT(maxAbsDiff(e, column({0.4, 0.5, M_PI / 2})), kTol);
}
