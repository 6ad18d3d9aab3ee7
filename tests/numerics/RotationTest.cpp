// Rotation matrix <-> rotation vector and xyz / zxy Euler angles, near pi and at gimbal lock.
#include "tests/support/NumericsTestUtil.h"

using namespace testutil;

// Products of a few rotations carry a few ulps; a wrong branch or sign errs far above 1e-12.
const double kTol = 1e-12;

// Known answers; round trips near 0 and pi; a half turn 2 u u^T - I has no skew part to divide by.
TEST(Rodrigues, KnownAnswersRoundTripsAndBadShapes) {
    EXPECT_EQ(maxAbsDiff(Matrix::eye(3).matrix2rod(), Matrix::zeros(3, 1)), 0.0);
    EXPECT_LT(maxAbsDiff(rotZ(0.5).matrix2rod(), column({0, 0, 0.5})), kTol);
    EXPECT_LT(maxAbsDiff(column({0, 0, 0.5}).rod2matrix(), rotZ(0.5)), kTol);
    for (double angle : {1e-9, 1.0, M_PI - 1e-7, M_PI}) {
        Matrix r = (column({1, -2, 2}) * (angle / 3)).rod2matrix().matrix2rod();
        EXPECT_LT(maxAbsDiff(r, column({1, -2, 2}) * (angle / 3)), 1e-9) << angle;
    }
    Matrix H = column({1, 1, 0}) * column({1, 1, 0}).transpose() - Matrix::eye(3);
    EXPECT_LT(maxAbsDiff(H.matrix2rod().rod2matrix(), H), kTol);
    EXPECT_EQ(Matrix::zeros(2, 2).rod2matrix().m, 0);
    Matrix r;
    EXPECT_EQ(captureStdout([&] { r = Matrix::zeros(3, 1).matrix2rod(); }),
              "error in matrix2rod\n");
    EXPECT_EQ(r.m + r.n, 0);
}

// R = A(a0) B(a1) C(a2) comes back, a1 right; a1 = +-pi/2 gives a2 = 0 (zxy's R22 = 0 row: no).
TEST(Euler, RoundTripsAndDegenerateBranches) {
    struct Convention {
        Matrix (*a)(double), (*b)(double), (*c)(double);
        Matrix (Matrix::*angles)() const;
    } conventions[] = {{rotX, rotY, rotZ, &Matrix::rot2xyz}, {rotZ, rotX, rotY, &Matrix::rot2zxy}};
    const double cases[][3] = {
        {2.5, -1.2, 0.7}, {0.3, M_PI / 2, 0.4}, {0.3, -M_PI / 2, 0.4}, {0.4, 0.5, M_PI / 2}};
    for (const Convention& k : conventions)
        for (auto& c : cases) {
            Matrix R = k.a(c[0]) * k.b(c[1]) * k.c(c[2]), e = (R.*k.angles)();
            EXPECT_LT(maxAbsDiff(k.a(e[0]) * k.b(e[1]) * k.c(e[2]), R), kTol) << c[1];
            EXPECT_NEAR(e[1], c[1], kTol);
            EXPECT_TRUE(std::fabs(c[1]) != M_PI / 2 || e[2] == 0.0);
        }
    EXPECT_EQ(Matrix::zeros(3, 2).rot2xyz().m, 0);
    // A 4 x 4 transform: the angles of its rotation block; smaller than 3 x 3 has none.
    Matrix T = Matrix::eye(4), Rzxy = rotZ(0.2) * rotX(-0.6) * rotY(1.1);
    for (int i = 0; i < 12; ++i) T(i / 4, i % 4) = i % 4 < 3 ? Rzxy(i / 4, i % 4) : 5.0 + i;
    EXPECT_EQ(maxAbsDiff(T.rot2zxy(), Rzxy.rot2zxy()), 0.0);
    EXPECT_LT(maxAbsDiff(T.rot2zxy(), column({0.2, -0.6, 1.1})), kTol);
    EXPECT_EQ(Matrix::eye(2).rot2zxy().m, 0);
    Matrix R = rotX(0.3) * rotY(M_PI / 2) * rotZ(0.4);
    R(0, 2) = 1.0 + 2e-16;  // rounded just past 1: still the half turn, not NaN
    EXPECT_EQ(R.rot2xyz()[1], M_PI / 2);
}
