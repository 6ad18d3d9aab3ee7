// Dense matrix core (sharing, shapes, products, size_mismatch); normalize, quaternion thresholds.
#include "numerics/vec3.h"
#include "tests/support/NumericsTestUtil.h"

using namespace testutil;
using lumo::Quaternion;
typedef lumo::Vec3<double> V;

TEST(Matrix, SharedStorageShapesAndSizeErrors) {
    Matrix A = fromList(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9}), B(1, 1), C = A.copy();
    B = A;
    B(0, 0) = 5.0;  // seen through A, not through the copy
    EXPECT_EQ(A(0, 0) - C(0, 0), 4.0);
    EXPECT_EQ(maxAbsDiff(Matrix::eye(2, 3), fromList(2, 3, {1, 0, 0, 0, 1, 0})), 0.0);
    EXPECT_EQ(maxAbsDiff(C.transpose(), fromList(3, 3, {1, 4, 7, 2, 5, 8, 3, 6, 9})), 0.0);
    EXPECT_EQ(maxAbsDiff(A.submatrix(1, 1, 2, 2), fromList(2, 2, {5, 6, 8, 9})), 0.0);
    EXPECT_EQ(maxAbsDiff(A.getColumn(2), column({3, 6, 9})), 0.0);
    EXPECT_EQ(fromList(1, 3, {1, 2, 3}).transpose().m, 3);
    EXPECT_EQ(captureStdout([&] { B = A * Matrix(2, 3); }),
              "invalid sizes for matrix multiplication\n");
    EXPECT_EQ(B.m + B.n, 0);
    Matrix col = Matrix::zeros(3, 1), row = Matrix::zeros(1, 3);
    try {
        col += row;
        FAIL() << "no exception";
    } catch (const Matrix::size_mismatch& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception: 3x1 != 1x3");
    }
    EXPECT_THROW(col - Matrix::zeros(2, 1), Matrix::size_mismatch);
    EXPECT_THROW(lumo::Vec4<float>{col}, Matrix::size_mismatch);  // four elements needed
    EXPECT_STREQ(Matrix::size_mismatch().what(), "Dimension mismatch exception.");
}

TEST(SmallTypes, NormalizeThresholdsFillFromAColumnAndQuaternionRod) {
    // {input x, returned length, resulting x}: tiny and NaN lengths give the zero vector.
    const double cases[][3] = {{1e-15, 1e-15, 0}, {1 + 1e-15, 1 + 1e-15, 1 + 1e-15}, {3, 3, 1}};
    for (auto& c : cases) {
        V v(c[0], 0, 0);
        EXPECT_EQ(v.normalize(), c[1]);
        EXPECT_EQ(v.x, c[2]);
    }
    V bad(NAN, 1, 0);
    EXPECT_TRUE(std::isnan(bad.normalize()) && bad == V(0, 0, 0));
    EXPECT_TRUE(V(column({1, 2, 3})) == V(1, 2, 3));
    EXPECT_TRUE(lumo::Mat4x4()[14] == 0.0 && lumo::Mat4x4()[15] == 1.0);  // row-major identity
    EXPECT_GT(Quaternion::rod(V(1e-12, 0, 0)).v.x, 0.0);  // exactly 1e-12 is a rotation
    EXPECT_EQ(Quaternion::rod(V(0.99e-12, 0, 0)).v.x, 0.0);
    Quaternion q = Quaternion::rod(V(0, 0, M_PI));  // (0, 0, 0, 1) up to rounding
    EXPECT_NEAR(std::fabs(q.a) + q.v.z, 1.0, 1e-15);
    q = Quaternion(2, V(0, 0, 0)) * Quaternion::rod(V(0, 0, M_PI / 2));
    EXPECT_NEAR(q.a * q.a + q.v.z * q.v.z, 1.0, 1e-15);  // renormalised
}
