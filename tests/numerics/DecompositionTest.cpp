// Tests for the dense decompositions and solves: eigSym, svd, svdLarge, qr, inverse, Linverse,
// det, print and both linLeastSq forms. Random matrices come from a seeded generator.
#include "numerics/small_kernels.h"
#include "tests/support/NumericsTestUtil.h"

using lumo::Matrix;
using testutil::captureStdout;
using testutil::column;
using testutil::fromList;
using testutil::maxAbsDiff;
using testutil::padDiag;
using testutil::randomMatrix;

namespace {

// Results of LAPACK on well-conditioned matrices of these sizes are accurate to a few hundred
// ulps of the largest entry; 1e-12 leaves ample room while still catching any wrong layout.
const double kTol = 1e-12;

void expectOrthogonal(const Matrix& Q) {
    EXPECT_LT(maxAbsDiff(Q.transpose() * Q, Matrix::eye(Q.n)), kTol);
}

}  // namespace

TEST(EigSym, KnownAnswerAndRandomSymmetric) {
    Matrix A = Matrix::zeros(3, 3), V, lambda;
    A(0, 0) = 3;
    A(1, 1) = 1;
    A(2, 2) = 2;
    A.eigSym(V, lambda, 0);
    EXPECT_LT(maxAbsDiff(lambda, column({1, 2, 3})), kTol);
    // Columns e1, e2, e0 up to sign.
    EXPECT_NEAR(std::fabs(V(1, 0)) + std::fabs(V(2, 1)) + std::fabs(V(0, 2)), 3.0, kTol);
    EXPECT_EQ(A(0, 0), 3.0);  // operand untouched

    for (int n : {1, 3, 12}) {
        Matrix R = randomMatrix(n, n, 11 + n), S = R.copy();
        S += R.transpose();
        S.eigSym(V, lambda);
        expectOrthogonal(V);
        for (int k = 1; k < n; ++k) EXPECT_LE(lambda[k - 1], lambda[k]);
        EXPECT_LT(maxAbsDiff(V * padDiag(lambda, n, n) * V.transpose(), S), kTol) << n;
    }
    try {
        Matrix::zeros(2, 3).eigSym(V, lambda, 0);
        FAIL() << "no exception";
    } catch (const Matrix::size_mismatch& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception.");
    }
}

TEST(Svd, ReproducesSquareTallAndWideWithBothDrivers) {
    const int shapes[][2] = {{3, 3}, {3, 2}, {2, 3}, {12, 12}, {7, 4}, {4, 9}, {0, 3}, {2, 0}};
    for (auto& s : shapes) {
        const int m = s[0], n = s[1];
        Matrix A = randomMatrix(m, n, 7 * m + n);
        for (int large = 0; large < 2; ++large) {
            Matrix U, S, V;
            large ? A.svdLarge(U, S, V) : A.svd(U, S, V);
            ASSERT_TRUE(U.m == m && U.n == m && V.m == n && V.n == n);
            ASSERT_EQ(S.m, std::min(m, n));
            for (int k = 1; k < S.m; ++k) EXPECT_GE(S[k - 1], S[k]);
            expectOrthogonal(U);
            expectOrthogonal(V);
            EXPECT_LT(maxAbsDiff(U * padDiag(S, m, n) * V.transpose(), A), kTol) << m << "x" << n;
        }
    }
}

TEST(PolarRotation, EqualsUVtOfTheSvdAndFallsBackForDegenerateMatrices) {
    // Random stretches and shears, then a nearly flat, an inverted and a singular matrix (the
    // last three take the SVD itself). Both factors are orthogonal to rounding and the polar
    // factor is unique for a non-singular matrix, so they agree to rounding.
    for (unsigned seed = 0; seed < 24; ++seed) {
        Matrix F = randomMatrix(3, 3, seed) * 0.4;
        for (int k = 0; k < 3; ++k) F(k, k) += 1.0;
        if (seed == 21) F(2, 2) = F(2, 0) = F(2, 1) = 1e-9;
        if (seed == 22) F(0, 0) = -F(0, 0) - 1.0;
        if (seed == 23) F = fromList(3, 3, {1, 2, 3, 2, 4, 6, 0, 1, 1});
        Matrix R(3, 3), Rsvd(3, 3);
        const bool newton = lumo::polarRotation3(F.data, R.data);
        lumo::svdRotation3(F.data, Rsvd.data);
        EXPECT_EQ(newton, seed < 21) << seed;
        EXPECT_LT(maxAbsDiff(R, Rsvd), 1e-13) << seed;
        expectOrthogonal(R);
    }
}

TEST(Qr, ReproducesWithOrthogonalQAndTriangularR) {
    const int shapes[][2] = {{3, 3}, {5, 3}, {3, 5}, {1, 1}, {0, 2}};
    for (auto& s : shapes) {
        Matrix A = randomMatrix(s[0], s[1], 3), Q, R;
        ASSERT_EQ(A.qr(Q, R), 1);
        ASSERT_TRUE(R.m == s[0] && R.n == s[1]);
        expectOrthogonal(Q);
        for (int i = 0; i < R.m; ++i)
            for (int j = 0; j < i && j < R.n; ++j) EXPECT_EQ(R(i, j), 0.0);
        EXPECT_LT(maxAbsDiff(Q * R, A), kTol);
    }
}

TEST(Inverse, PivotingNonSquareAndSingular) {
    Matrix P = fromList(2, 2, {0, 1, 1, 0});
    EXPECT_EQ(maxAbsDiff(P.inverse(), P), 0.0);  // swaps rows at the first column
    Matrix E;
    EXPECT_EQ(captureStdout([&] { E = Matrix::zeros(2, 3).inverse(); }),
              "trying to invert non-square matrix\n");
    EXPECT_EQ(E.m + E.n, 0);
    EXPECT_EQ(E.refcount, nullptr);
    Matrix S = fromList(2, 2, {1, 2, 2, 4}).inverse();  // not detected: non-finite elements
    EXPECT_FALSE(std::isfinite(S[0]) && std::isfinite(S[1]) && std::isfinite(S[2]) &&
                 std::isfinite(S[3]));

    // The LU inverse refuses shapes it would read past, and an exactly singular matrix
    // gives NaN rather than its LU factors.
    EXPECT_EQ(captureStdout([&] { E = Matrix::zeros(3, 2).Linverse(); }),
              "trying to invert non-square matrix\n");
    EXPECT_EQ(E.m, 0);
    S = fromList(2, 2, {1, 2, 2, 4}).Linverse();
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(std::isnan(S[k]));
}

TEST(Inverse, GaussJordanAndLuAgree) {
    for (int n : {1, 2, 6, 12}) {
        Matrix A = randomMatrix(n, n, 5 + n);  // diagonally dominant, hence well conditioned
        for (int i = 0; i < n; ++i) A(i, i) += n;
        Matrix keep = A.copy(), G = A.inverse();
        EXPECT_LT(maxAbsDiff(G, A.Linverse()), kTol) << n;
        EXPECT_LT(maxAbsDiff(A * G, Matrix::eye(n)), kTol) << n;
        EXPECT_EQ(maxAbsDiff(A, keep), 0.0);
    }
}

TEST(DetAndPrint, KnownAnswersAndMessages) {
    EXPECT_EQ(fromList(2, 2, {1, 2, 3, 4}).det(), -2.0);
    EXPECT_EQ(fromList(1, 1, {7}).det(), 7.0);
    EXPECT_EQ(fromList(3, 3, {2, 0, 1, 1, 3, 2, 1, 1, 2}).det(), 6.0);
    EXPECT_EQ(Matrix(0, 0).det(), 1.0);  // the empty product
    double d = 1.0;
    EXPECT_EQ(captureStdout([&] { d = Matrix::zeros(2, 3).det(); }),
              "can you get det of non-square matrix\n");
    EXPECT_EQ(d, 0.0);
    EXPECT_EQ(captureStdout([] {
                  fromList(2, 2, {1, -0.5, 3.25, 0}).print();
              }),
              "1.000000 -0.500000 \n3.250000 0.000000 \n");
}

TEST(LinLeastSq, KnownTallWideAndNormalEquations) {
    Matrix b = column({1, 1, 3});
    Matrix x = Matrix::linLeastSq(fromList(3, 2, {1, 0, 0, 1, 1, 1}), b);
    EXPECT_LT(maxAbsDiff(x, column({4.0 / 3.0, 4.0 / 3.0})), kTol);
    EXPECT_EQ(b[2], 3.0);  // the right-hand side is not overwritten
    // A wide system gives the minimum-norm solution instead of writing past b.
    x = Matrix::linLeastSq(fromList(1, 2, {1, 1}), column({2}));
    EXPECT_LT(maxAbsDiff(x, column({1, 1})), kTol);
    EXPECT_THROW(Matrix::linLeastSq(Matrix::zeros(3, 2), Matrix::zeros(2, 1)),
                 Matrix::size_mismatch);

    for (int m : {4, 20}) {
        Matrix A = randomMatrix(m, 4, m), B = randomMatrix(m, 2, m + 1);  // first column solved
        Matrix At = A.transpose();
        Matrix normal = (At * A).inverse() * (At * B.getColumn(0));
        // The normal equations square the condition number: 1e-10.
        EXPECT_LT(maxAbsDiff(Matrix::linLeastSq(A, B), normal), 1e-10) << m;
    }
}

TEST(LinLeastSq, EqualityConstrained) {
    // Nearest point to c = (1, 1, 0) on the plane x0 + x1 + x2 = 1.
    Matrix A = Matrix::eye(3), c = column({1, 1, 0}), B = fromList(1, 3, {1, 1, 1}),
           d = column({1});
    Matrix x = Matrix::linLeastSq(A, c, B, d);
    EXPECT_LT(maxAbsDiff(x, column({2.0 / 3.0, 2.0 / 3.0, -1.0 / 3.0})), kTol);
    EXPECT_EQ(c[0] + d[0], 2.0);  // operands untouched
    // More constraints than unknowns has no unique solution.
    EXPECT_THROW(Matrix::linLeastSq(A, c, Matrix::zeros(4, 3), Matrix::zeros(4, 1)),
                 Matrix::size_mismatch);
}

TEST(Decompositions, OutputsMayAliasTheOperand) {
    Matrix A = randomMatrix(4, 3, 41);
    Matrix U, S, V = A.copy();
    V.svd(U, S, V);
    EXPECT_LT(maxAbsDiff(U * padDiag(S, 4, 3) * V.transpose(), A), kTol);
    Matrix Q = A.copy(), R;
    ASSERT_EQ(Q.qr(Q, R), 1);
    EXPECT_LT(maxAbsDiff(Q * R, A), kTol);
    Matrix sym = A.transpose() * A, lambda = sym.copy(), W;
    lambda.eigSym(W, lambda);
    EXPECT_LT(maxAbsDiff(W * padDiag(lambda, 3, 3) * W.transpose(), sym), kTol);
}
