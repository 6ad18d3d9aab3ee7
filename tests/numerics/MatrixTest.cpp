// Tests for the dense matrix core: shared storage, factories, shape operations,
// arithmetic and the size_mismatch messages.
#include "tests/support/NumericsTestUtil.h"

using lumo::Matrix;
using testutil::captureStdout;
using testutil::fromList;

// Copies and assignment share storage: a write through one is seen by the other; copy() makes
// an independent matrix.
TEST(MatrixStorage, CopiesAndAssignmentShareButCopyDoesNot) {
    Matrix A = Matrix::zeros(2, 2), D(3, 3);
    Matrix B(A);
    D = A;
    B(0, 1) = 5.0;
    D(1, 0) = 6.0;
    EXPECT_EQ(A(0, 1), 5.0);
    EXPECT_EQ(A(1, 0), 6.0);
    Matrix C = A.copy();
    C(0, 1) = 7.0;
    EXPECT_EQ(A(0, 1), 5.0);
}

TEST(MatrixShape, FactoriesTransposeSubmatrixColumn) {
    Matrix I = Matrix::eye(2, 3);
    EXPECT_EQ(testutil::maxAbsDiff(I, fromList(2, 3, {1, 0, 0, 0, 1, 0})), 0.0);
    EXPECT_EQ(testutil::maxAbsDiff(Matrix::eye(2), fromList(2, 2, {1, 0, 0, 1})), 0.0);
    Matrix Z = Matrix::zeros(3, 2);
    EXPECT_EQ(Z.get(2, 1), 0.0);
    Z.setAll(2.5);
    EXPECT_EQ(Z.get(5), 2.5);

    Matrix row = fromList(1, 3, {1, 2, 3});
    Matrix col = row.transpose();  // same element order, own storage
    ASSERT_EQ(col.m, 3);
    EXPECT_EQ(col.n, 1);
    EXPECT_EQ(col[2], 3.0);
    EXPECT_NE(col.data, row.data);

    Matrix A = fromList(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_EQ(A.transpose()(0, 2), 7.0);
    EXPECT_EQ(testutil::maxAbsDiff(A.submatrix(1, 1, 2, 2), fromList(2, 2, {5, 6, 8, 9})), 0.0);
    EXPECT_EQ(testutil::maxAbsDiff(A.getColumn(2), testutil::column({3, 6, 9})), 0.0);
}

TEST(MatrixArithmetic, ProductScalarsAndDot) {
    Matrix A = fromList(2, 3, {1, 2, 3, 4, 5, 6});
    Matrix B = fromList(3, 2, {7, 8, 9, 10, 11, 12});
    EXPECT_EQ(testutil::maxAbsDiff(A * B, fromList(2, 2, {58, 64, 139, 154})), 0.0);
    Matrix D = A * 2.0;
    EXPECT_EQ(A(1, 2), 6.0);  // the operand is untouched
    D *= 0.5;
    EXPECT_EQ(testutil::maxAbsDiff(D - A, Matrix::zeros(2, 3)), 0.0);
    D += A;
    D -= A * 3.0;
    EXPECT_EQ(D(0, 0), -1.0);
    EXPECT_EQ(A.dot(A), 91.0);

    Matrix C;
    EXPECT_EQ(captureStdout([&] { C = A * A; }), "invalid sizes for matrix multiplication\n");
    EXPECT_EQ(C.m + C.n, 0);
    EXPECT_NE(C.refcount, nullptr);  // the 0x0 result has (empty) storage
}

TEST(MatrixArithmetic, ElementWiseMismatchThrowsWithBothShapes) {
    Matrix col = Matrix::zeros(3, 1), row = Matrix::zeros(1, 3), two = Matrix::zeros(2, 1);
    try {
        col += row;
        FAIL() << "no exception";
    } catch (const Matrix::size_mismatch& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception: 3x1 != 1x3");
        EXPECT_TRUE(e.known);
        EXPECT_EQ(e.aRows * 1000 + e.aCols * 100 + e.bRows * 10 + e.bCols, 3113);
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
