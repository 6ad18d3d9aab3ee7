// Tests for the dense decompositions and solves: eigSym, svd, svdLarge, qr, inverse, Linverse,
// det, print and both linLeastSq forms. Random matrices come from a seeded generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "numerics/matrix.h"

using lumo::Matrix;

namespace {

// Results of LAPACK on well-conditioned matrices of these sizes are accurate to a few hundred
// ulps of the largest entry; 1e-12 leaves ample room while still catching any wrong layout.
const double kTol = 1e-12;

Matrix fromList(int m, int n, std::initializer_list<double> values) {
    Matrix M(m, n);
    int k = 0;
    for (double v : values) M[k++] = v;
    return M;
}

Matrix randomMatrix(int m, int n, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix M(m, n);
    for (int k = 0; k < m * n; ++k) M[k] = u(rng);
    return M;
}

double maxAbsDiff(const Matrix& A, const Matrix& B) {
    EXPECT_EQ(A.m, B.m);
    EXPECT_EQ(A.n, B.n);
    double d = 0.0;
    for (int k = 0; k < A.m * A.n; ++k) d = std::max(d, std::fabs(A[k] - B[k]));
    return d;
}

void expectOrthogonal(const Matrix& Q) {
    EXPECT_LT(maxAbsDiff(Q.transpose() * Q, Matrix::eye(Q.n)), kTol);
}

// diag(S) padded to rows x cols.
Matrix padDiag(const Matrix& S, int rows, int cols) {
    Matrix D = Matrix::zeros(rows, cols);
    for (int k = 0; k < S.m; ++k) D(k, k) = S[k];
    return D;
}

std::string captureStdout(const std::function<void()>& f) {
    testing::internal::CaptureStdout();
    f();
    fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

}  // namespace

TEST(EigSym, DiagonalKnownAnswer) {
    Matrix A = Matrix::zeros(3, 3);
    A(0, 0) = 3;
    A(1, 1) = 1;
    A(2, 2) = 2;
    Matrix V, lambda;
    A.eigSym(V, lambda, 0);
    ASSERT_EQ(lambda.m, 3);
    ASSERT_EQ(lambda.n, 1);
    EXPECT_NEAR(lambda[0], 1.0, kTol);
    EXPECT_NEAR(lambda[1], 2.0, kTol);
    EXPECT_NEAR(lambda[2], 3.0, kTol);
    // Columns e1, e2, e0 up to sign.
    EXPECT_NEAR(std::fabs(V(1, 0)), 1.0, kTol);
    EXPECT_NEAR(std::fabs(V(2, 1)), 1.0, kTol);
    EXPECT_NEAR(std::fabs(V(0, 2)), 1.0, kTol);
    EXPECT_EQ(A(0, 0), 3.0);  // operand untouched
}

TEST(EigSym, RandomSymmetricIsReproduced) {
    std::mt19937 rng(11);
    for (int n : {1, 3, 6, 12}) {
        Matrix R = randomMatrix(n, n, rng);
        Matrix A = R.copy();
        A += R.transpose();
        Matrix V, lambda;
        A.eigSym(V, lambda);
        expectOrthogonal(V);
        for (int k = 1; k < n; ++k) EXPECT_LE(lambda[k - 1], lambda[k]);
        EXPECT_LT(maxAbsDiff(V * padDiag(lambda, n, n) * V.transpose(), A), kTol) << n;
    }
}

TEST(EigSym, EmptyIsAcceptedAndNonSquareThrows) {
    Matrix V, lambda;
    Matrix::zeros(0, 0).eigSym(V, lambda);  // empty: no LAPACK argument error
    EXPECT_EQ(lambda.m, 0);
    try {
        Matrix::zeros(2, 3).eigSym(V, lambda, 0);
        FAIL() << "no exception";
    } catch (const Matrix::size_mismatch& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception.");
    }
}

TEST(Svd, ReproducesSquareTallAndWide) {
    std::mt19937 rng(7);
    const int shapes[][2] = {{3, 3}, {3, 2}, {2, 3}, {12, 12}, {7, 4}, {4, 9}, {1, 5}};
    for (auto& s : shapes) {
        const int m = s[0], n = s[1];
        Matrix A = randomMatrix(m, n, rng);
        for (int large = 0; large < 2; ++large) {
            Matrix U, S, V;
            if (large)
                A.svdLarge(U, S, V);
            else
                A.svd(U, S, V);
            ASSERT_EQ(U.m, m);
            ASSERT_EQ(U.n, m);
            ASSERT_EQ(S.m, std::min(m, n));
            ASSERT_EQ(S.n, 1);
            ASSERT_EQ(V.m, n);
            ASSERT_EQ(V.n, n);
            for (int k = 1; k < S.m; ++k) EXPECT_GE(S[k - 1], S[k]);
            expectOrthogonal(U);
            expectOrthogonal(V);
            EXPECT_LT(maxAbsDiff(U * padDiag(S, m, n) * V.transpose(), A), kTol)
                << m << "x" << n << (large ? " svdLarge" : " svd");
        }
    }
}

TEST(Svd, EmptyShapesGiveIdentityFactors) {
    Matrix U, S, V;
    Matrix::zeros(0, 3).svd(U, S, V);
    EXPECT_EQ(S.m, 0);
    EXPECT_LT(maxAbsDiff(V, Matrix::eye(3)), kTol);
    Matrix::zeros(2, 0).svdLarge(U, S, V);
    EXPECT_LT(maxAbsDiff(U, Matrix::eye(2)), kTol);
}

TEST(Qr, ReproducesWithOrthogonalQAndTriangularR) {
    std::mt19937 rng(3);
    const int shapes[][2] = {{3, 3}, {5, 3}, {3, 5}, {1, 1}, {0, 2}};
    for (auto& s : shapes) {
        Matrix A = randomMatrix(s[0], s[1], rng);
        Matrix Q, R;
        ASSERT_EQ(A.qr(Q, R), 1);
        ASSERT_EQ(Q.m, s[0]);
        ASSERT_EQ(R.m, s[0]);
        ASSERT_EQ(R.n, s[1]);
        expectOrthogonal(Q);
        for (int i = 0; i < R.m; ++i)
            for (int j = 0; j < i && j < R.n; ++j) EXPECT_EQ(R(i, j), 0.0);
        EXPECT_LT(maxAbsDiff(Q * R, A), kTol);
    }
}

TEST(Inverse, PivotsAndRejectsNonSquare) {
    Matrix P = fromList(2, 2, {0, 1, 1, 0});
    Matrix Pi = P.inverse();
    for (int k = 0; k < 4; ++k) EXPECT_EQ(Pi[k], P[k]);

    Matrix E;
    EXPECT_EQ(captureStdout([&] { E = Matrix::zeros(2, 3).inverse(); }),
              "trying to invert non-square matrix\n");
    EXPECT_EQ(E.m, 0);
    EXPECT_EQ(E.n, 0);
    EXPECT_EQ(E.refcount, nullptr);

    // No singularity test: a singular matrix yields non-finite elements.
    Matrix S = fromList(2, 2, {1, 2, 2, 4}).inverse();
    bool finite = true;
    for (int k = 0; k < 4; ++k) finite = finite && std::isfinite(S[k]);
    EXPECT_FALSE(finite);
}

TEST(Inverse, GaussJordanAndLuAgree) {
    std::mt19937 rng(5);
    for (int n : {1, 2, 3, 6, 12}) {
        // Diagonally dominant, hence well conditioned.
        Matrix A = randomMatrix(n, n, rng);
        for (int i = 0; i < n; ++i) A(i, i) += n;
        Matrix keep = A.copy();
        Matrix G = A.inverse(), L = A.Linverse();
        EXPECT_LT(maxAbsDiff(G, L), kTol) << n;
        EXPECT_LT(maxAbsDiff(A * G, Matrix::eye(n)), kTol) << n;
        EXPECT_EQ(maxAbsDiff(A, keep), 0.0);  // the operand is not overwritten
    }
}

TEST(Inverse, LuRejectsNonSquareAndFlagsExactSingularity) {
    Matrix E;
    EXPECT_EQ(captureStdout([&] { E = Matrix::zeros(3, 2).Linverse(); }),
              "trying to invert non-square matrix\n");
    EXPECT_EQ(E.m, 0);
    Matrix S = fromList(2, 2, {1, 2, 2, 4}).Linverse();
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isnan(S[k]));
}

TEST(Det, CofactorExpansion) {
    EXPECT_EQ(fromList(2, 2, {1, 2, 3, 4}).det(), -2.0);
    EXPECT_EQ(fromList(1, 1, {7}).det(), 7.0);
    EXPECT_EQ(fromList(3, 3, {2, 0, 1, 1, 3, 2, 1, 1, 2}).det(), 6.0);
    EXPECT_EQ(Matrix::eye(5).det(), 1.0);
    EXPECT_EQ(Matrix(0, 0).det(), 1.0);  // the empty product
    double d = 1.0;
    EXPECT_EQ(captureStdout([&] { d = Matrix::zeros(2, 3).det(); }),
              "can you get det of non-square matrix\n");
    EXPECT_EQ(d, 0.0);
}

TEST(Print, RowsOfPercentF) {
    EXPECT_EQ(captureStdout([] {
                  fromList(2, 2, {1, -0.5, 3.25, 0}).print();
              }),
              "1.000000 -0.500000 \n3.250000 0.000000 \n");
}

TEST(LinLeastSq, KnownTallSystem) {
    Matrix A = fromList(3, 2, {1, 0, 0, 1, 1, 1});
    Matrix b = fromList(3, 1, {1, 1, 3});
    Matrix x = Matrix::linLeastSq(A, b);
    ASSERT_EQ(x.m, 2);
    ASSERT_EQ(x.n, 1);
    EXPECT_NEAR(x[0], 4.0 / 3.0, kTol);
    EXPECT_NEAR(x[1], 4.0 / 3.0, kTol);
    EXPECT_EQ(b[2], 3.0);  // the right-hand side is not overwritten
}

TEST(LinLeastSq, MatchesNormalEquationsOnTallSystems) {
    std::mt19937 rng(17);
    for (int m : {4, 8, 20}) {
        Matrix A = randomMatrix(m, 4, rng);
        Matrix B = randomMatrix(m, 2, rng);  // only the first column is solved for
        Matrix x = Matrix::linLeastSq(A, B);
        Matrix At = A.transpose();
        Matrix normal = (At * A).inverse() * (At * B.getColumn(0));
        EXPECT_LT(maxAbsDiff(x, normal), 1e-10) << m;  // normal equations square the condition
    }
}

TEST(LinLeastSq, WideSystemGivesMinimumNorm) {
    Matrix x = Matrix::linLeastSq(fromList(1, 2, {1, 1}), fromList(1, 1, {2}));
    ASSERT_EQ(x.m, 2);
    EXPECT_NEAR(x[0], 1.0, kTol);
    EXPECT_NEAR(x[1], 1.0, kTol);
    EXPECT_THROW(Matrix::linLeastSq(Matrix::zeros(3, 2), Matrix::zeros(2, 1)),
                 Matrix::size_mismatch);
}

TEST(LinLeastSq, EqualityConstrained) {
    // Nearest point to c = (1, 1, 0) on the plane x0 + x1 + x2 = 1.
    Matrix A = Matrix::eye(3);
    Matrix c = fromList(3, 1, {1, 1, 0});
    Matrix B = fromList(1, 3, {1, 1, 1});
    Matrix d = fromList(1, 1, {1});
    Matrix x = Matrix::linLeastSq(A, c, B, d);
    ASSERT_EQ(x.m, 3);
    EXPECT_NEAR(x[0], 2.0 / 3.0, kTol);
    EXPECT_NEAR(x[1], 2.0 / 3.0, kTol);
    EXPECT_NEAR(x[2], -1.0 / 3.0, kTol);
    EXPECT_EQ(c[0], 1.0);
    EXPECT_EQ(d[0], 1.0);
    // More constraints than unknowns has no unique solution.
    EXPECT_THROW(Matrix::linLeastSq(A, c, Matrix::zeros(4, 3), Matrix::zeros(4, 1)),
                 Matrix::size_mismatch);
}

TEST(Decompositions, OutputsMayAliasTheOperand) {
    std::mt19937 rng(41);
    Matrix A = randomMatrix(4, 3, rng);
    Matrix U, S, V = A.copy();
    V.svd(U, S, V);  // V is the operand and an output
    EXPECT_LT(maxAbsDiff(U * padDiag(S, 4, 3) * V.transpose(), A), kTol);
    Matrix Q = A.copy(), R;
    ASSERT_EQ(Q.qr(Q, R), 1);
    EXPECT_LT(maxAbsDiff(Q * R, A), kTol);
    Matrix sym = A.transpose() * A, lambda = sym.copy(), W;
    lambda.eigSym(W, lambda);
    EXPECT_LT(maxAbsDiff(W * padDiag(lambda, 3, 3) * W.transpose(), sym), kTol);
}
