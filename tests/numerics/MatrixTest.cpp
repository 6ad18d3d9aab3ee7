// Tests for the dense matrix core: shared storage and its counters, factories, shape operations,
// arithmetic and the size_mismatch messages.
#include <gtest/gtest.h>

#include <string>

#include "numerics/matrix.h"

using lumo::Matrix;

namespace {

Matrix fromList(int m, int n, std::initializer_list<double> values) {
    Matrix M(m, n);
    int k = 0;
    for (double v : values) M[k++] = v;
    return M;
}

}  // namespace

TEST(MatrixStorage, CopiesShareAndCopyIsIndependent) {
    Matrix A = Matrix::zeros(2, 2);
    Matrix B(A);
    B(0, 1) = 5.0;
    EXPECT_EQ(A(0, 1), 5.0);
    EXPECT_EQ(*A.refcount, 2);

    Matrix C = A.copy();
    C(0, 1) = 7.0;
    EXPECT_EQ(A(0, 1), 5.0);
    EXPECT_EQ(*C.refcount, 1);
    EXPECT_NE(C.data, A.data);

    Matrix E;
    EXPECT_EQ(E.refcount, nullptr);
    EXPECT_EQ(E.data, nullptr);
    EXPECT_EQ(E.m, 0);
    Matrix F(E);
    EXPECT_EQ(F.refcount, nullptr);
}

TEST(MatrixStorage, AssignmentSharesAndFreesTheOldBlock) {
    const int blocks = Matrix::acount;
    Matrix A = Matrix::zeros(2, 2);
    Matrix B(3, 3);
    EXPECT_EQ(Matrix::acount, blocks + 2);
    B = A;
    EXPECT_EQ(*A.refcount, 2);
    EXPECT_EQ(B.refcount, A.refcount);
    EXPECT_EQ(B.m, 2);
    EXPECT_EQ(Matrix::acount, blocks + 1);  // B's 3x3 block was freed
}

TEST(MatrixStorage, SelfAssignmentKeepsElementsAndCount) {
    Matrix A = fromList(1, 2, {1.0, 2.0});
    Matrix& alias = A;
    A = alias;
    EXPECT_EQ(*A.refcount, 1);
    EXPECT_EQ(A[0], 1.0);
    EXPECT_EQ(A[1], 2.0);
}

TEST(MatrixStorage, CountersReturnToTheirStartAfterAScope) {
    const int handles = Matrix::gcount, blocks = Matrix::acount;
    {
        Matrix A(4, 4), B, C(A);
        B = A;
        Matrix& self = B;
        B = self;
        C = Matrix::eye(3);
        Matrix D = C.copy() * C;
        D = D.transpose();
        EXPECT_GT(Matrix::gcount, handles);
        EXPECT_GT(Matrix::acount, blocks);
    }
    EXPECT_EQ(Matrix::gcount, handles);
    EXPECT_EQ(Matrix::acount, blocks);
}

TEST(MatrixFactories, ZerosEyeSetAll) {
    Matrix I = Matrix::eye(2, 3);
    const double expected[] = {1, 0, 0, 0, 1, 0};
    ASSERT_EQ(I.m, 2);
    ASSERT_EQ(I.n, 3);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(I[k], expected[k]);
    Matrix J = Matrix::eye(3);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_EQ(J.get(i, j), i == j ? 1.0 : 0.0);
    Matrix Z = Matrix::zeros(3, 2);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(Z.get(k), 0.0);
    Z.setAll(2.5);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(Z.get(k), 2.5);
}

TEST(MatrixShape, TransposeSubmatrixColumn) {
    Matrix row = fromList(1, 3, {1, 2, 3});
    Matrix col = row.transpose();
    ASSERT_EQ(col.m, 3);
    ASSERT_EQ(col.n, 1);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(col[k], row[k]);
    EXPECT_NE(col.data, row.data);

    Matrix A = fromList(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    Matrix At = A.transpose();
    EXPECT_EQ(At(0, 2), 7.0);
    EXPECT_EQ(At(2, 0), 3.0);
    Matrix S = A.submatrix(1, 1, 2, 2);
    EXPECT_EQ(S(0, 0), 5.0);
    EXPECT_EQ(S(0, 1), 6.0);
    EXPECT_EQ(S(1, 0), 8.0);
    EXPECT_EQ(S(1, 1), 9.0);
    Matrix c = A.getColumn(2);
    ASSERT_EQ(c.m, 3);
    ASSERT_EQ(c.n, 1);
    EXPECT_EQ(c[0], 3.0);
    EXPECT_EQ(c[2], 9.0);
}

TEST(MatrixArithmetic, ProductScalarsAndDot) {
    Matrix A = fromList(2, 3, {1, 2, 3, 4, 5, 6});
    Matrix B = fromList(3, 2, {7, 8, 9, 10, 11, 12});
    Matrix C = A * B;
    ASSERT_EQ(C.m, 2);
    ASSERT_EQ(C.n, 2);
    EXPECT_EQ(C(0, 0), 58.0);
    EXPECT_EQ(C(0, 1), 64.0);
    EXPECT_EQ(C(1, 0), 139.0);
    EXPECT_EQ(C(1, 1), 154.0);

    Matrix D = A * 2.0;
    EXPECT_EQ(D(1, 2), 12.0);
    EXPECT_EQ(A(1, 2), 6.0);
    D *= 0.5;
    EXPECT_EQ(D(1, 2), 6.0);
    Matrix E = D - A;
    for (int k = 0; k < 6; ++k) EXPECT_EQ(E[k], 0.0);
    D += A;
    EXPECT_EQ(D(0, 0), 2.0);
    D -= A;
    EXPECT_EQ(D(0, 0), 1.0);
    EXPECT_EQ(A.dot(A), 91.0);
}

TEST(MatrixArithmetic, ProductOfMismatchedSizesPrintsAndGivesEmpty) {
    Matrix A = Matrix::zeros(2, 3), B = Matrix::zeros(2, 3);
    testing::internal::CaptureStdout();
    Matrix C = A * B;
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "invalid sizes for matrix multiplication\n");
    EXPECT_EQ(C.m, 0);
    EXPECT_EQ(C.n, 0);
    EXPECT_NE(C.refcount, nullptr);  // it has (empty) storage
}

TEST(MatrixArithmetic, ElementWiseMismatchThrowsWithBothShapes) {
    Matrix col = Matrix::zeros(3, 1), row = Matrix::zeros(1, 3), two = Matrix::zeros(2, 1);
    try {
        col += row;
        FAIL() << "no exception";
    } catch (const Matrix::size_mismatch& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception: 3x1 != 1x3");
        EXPECT_TRUE(e.known);
        EXPECT_EQ(e.aRows, 3);
        EXPECT_EQ(e.aCols, 1);
        EXPECT_EQ(e.bRows, 1);
        EXPECT_EQ(e.bCols, 3);
    }
    try {
        Matrix d = col - two;
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception: 3x1 != 2x1");
    }
    EXPECT_THROW(col -= two, Matrix::size_mismatch);
    EXPECT_THROW(col.dot(row), Matrix::size_mismatch);
    EXPECT_STREQ(Matrix::size_mismatch().what(), "Dimension mismatch exception.");
    EXPECT_FALSE(Matrix::size_mismatch().known);
}
