// Dense decompositions and solves: eigSym, svd(Large), qr, inverse, Linverse, det, linLeastSq.
#include <unistd.h>

#include <cmath>
#include <limits>

#include "numerics/small_kernels.h"
#include "tests/support/NumericsTestUtil.h"

using namespace testutil;

// LAPACK on these well-conditioned matrices is good to a few hundred ulps: 1e-12 has room.
const double kTol = 1e-12;

// Both SVDs (S descending) and QR (R upper), writing over the operand, rebuild tall/wide/empty A.
TEST(Factorisations, ReproduceTallWideAndEmptyMatrices) {
    for (auto& s : {std::make_pair(3, 2), std::make_pair(4, 9), std::make_pair(0, 3)}) {
        const int m = s.first, n = s.second;
        Matrix A = randomMatrix(m, n, 7 * m + n), I = Matrix::eye(m);
        for (int large = 0; large < 2; ++large) {
            Matrix U, S, V = A.copy();
            large ? V.svdLarge(U, S, V) : V.svd(U, S, V);
            ASSERT_TRUE(U.m == m && V.n == n && S.m == std::min(m, n));
            for (int k = 1; k < S.m; ++k) EXPECT_GE(S[k - 1], S[k]);
            EXPECT_LT(maxAbsDiff(U.transpose() * U, I), kTol);
            EXPECT_LT(maxAbsDiff(U * padDiag(S, m, n) * V.transpose(), A), kTol) << m << "x" << n;
        }
        Matrix Q = A.copy(), R;
        ASSERT_EQ(Q.qr(Q, R), 1);
        for (int i = 0; i < R.m; ++i)
            for (int j = 0; j < i && j < R.n; ++j) EXPECT_EQ(R(i, j), 0.0);
        EXPECT_LT(maxAbsDiff(Q.transpose() * Q, I), kTol);
        EXPECT_LT(maxAbsDiff(Q * R, A), kTol);
    }
}

// The polar factor is U V^T of the SVD; nearly flat, inverted and singular F fall back to it.
TEST(PolarRotation, EqualsUVtOfTheSvdAndFallsBackForDegenerateMatrices) {
    for (unsigned seed = 0; seed < 24; ++seed) {
        Matrix F = randomMatrix(3, 3, seed) * 0.4, R(3, 3), Rsvd(3, 3);
        F += Matrix::eye(3);
        if (seed == 21) F(2, 2) = F(2, 0) = F(2, 1) = 1e-9;
        if (seed == 22) F(0, 0) = -F(0, 0) - 1.0;
        if (seed == 23) F = fromList(3, 3, {1, 2, 3, 2, 4, 6, 0, 1, 1});
        EXPECT_EQ(lumo::polarRotation3(F.data, R.data), seed < 21) << seed;
        lumo::svdRotation3(F.data, Rsvd.data);
        EXPECT_LT(maxAbsDiff(R, Rsvd), 1e-13) << seed;
        EXPECT_LT(maxAbsDiff(R.transpose() * R, Matrix::eye(3)), kTol) << seed;
    }
}

TEST(EigInverseDetAndPrint, KnownAnswersAndNonSquareMessages) {
    Matrix D = fromList(3, 3, {3, 0, 0, 0, 1, 0, 0, 0, 2}), V, lambda;
    D.eigSym(V, lambda, 0);  // V's columns: e1, e2, e0 up to sign
    EXPECT_LT(maxAbsDiff(lambda, column({1, 2, 3})), kTol);
    EXPECT_NEAR(std::fabs(V(1, 0)) + std::fabs(V(2, 1)) + std::fabs(V(0, 2)), 3.0, kTol);
    EXPECT_THROW(Matrix::zeros(2, 3).eigSym(V, lambda, 0), Matrix::size_mismatch);
    Matrix P = fromList(2, 2, {0, 1, 1, 0}), E;
    EXPECT_EQ(maxAbsDiff(P.inverse(), P), 0.0);  // swaps rows at the first column
    for (auto inv : {&Matrix::inverse, &Matrix::Linverse}) {
        EXPECT_EQ(captureStdout([&] { E = (Matrix::zeros(2, 3).*inv)(); }),
                  "trying to invert non-square matrix\n");
        EXPECT_EQ(E.m + E.n, 0);
        Matrix A = randomMatrix(6, 6, 11);  // diagonally dominant, hence well conditioned
        for (int i = 0; i < 6; ++i) A(i, i) += 6;
        EXPECT_LT(maxAbsDiff(A * (A.*inv)(), Matrix::eye(6)), kTol);
    }
    // An exactly singular matrix gives NaN from the LU inverse rather than its factors.
    EXPECT_TRUE(std::isnan(fromList(2, 2, {1, 2, 2, 4}).Linverse()[3]));
    EXPECT_EQ(fromList(3, 3, {2, 0, 1, 1, 3, 2, 1, 1, 2}).det(), 6.0);
    EXPECT_EQ(captureStdout([] { EXPECT_EQ(Matrix::zeros(2, 3).det(), 0.0); }),
              "can you get det of non-square matrix\n");
    P = fromList(2, 2, {1, -0.5, 3.25, 0});
    EXPECT_EQ(captureStdout([&] { P.print(); }), "1.000000 -0.500000 \n3.250000 0.000000 \n");
}

// Tall: least squares; wide: minimum norm, not writing past b; nearest (1, 1, 0) on sum(x) = 1.
TEST(LinLeastSq, KnownAnswersAndShapeErrors) {
    Matrix T = fromList(3, 2, {1, 0, 0, 1, 1, 1}), W = fromList(1, 2, {1, 1}), A = Matrix::eye(3);
    EXPECT_LT(maxAbsDiff(Matrix::linLeastSq(T, column({1, 1, 3})), column({4. / 3, 4. / 3})), kTol);
    EXPECT_LT(maxAbsDiff(Matrix::linLeastSq(W, column({2})), column({1, 1})), kTol);
    Matrix c = column({1, 1, 0}), B = fromList(1, 3, {1, 1, 1}), d = column({1});
    EXPECT_LT(maxAbsDiff(Matrix::linLeastSq(A, c, B, d), column({2. / 3, 2. / 3, -1. / 3})), kTol);
    EXPECT_THROW(Matrix::linLeastSq(Matrix::zeros(3, 2), Matrix::zeros(2, 1)),
                 Matrix::size_mismatch);
    // Rows of b below A's are not read; nor are entries of c and d past A.m and B.m.
    EXPECT_EQ(maxAbsDiff(Matrix::linLeastSq(T, column({1, 1, 3, 99})),
                         Matrix::linLeastSq(T, column({1, 1, 3}))),
              0.0);
    EXPECT_EQ(maxAbsDiff(Matrix::linLeastSq(A, column({1, 1, 0, 7}), B, column({1, 7})),
                         Matrix::linLeastSq(A, c, B, d)),
              0.0);
    // More constraints than unknowns has no unique solution.
    EXPECT_THROW(Matrix::linLeastSq(A, c, Matrix::zeros(4, 3), Matrix::zeros(4, 1)),
                 Matrix::size_mismatch);
}

// LAPACK's SVD can spin forever on an infinite or NaN entry: such a matrix or right-hand side
// never reaches it. The alarm ends the test program within seconds should one do so again.
TEST(NonFiniteMatrices, GiveNaNResultsOfTheUsualShapes) {
    alarm(20);
    for (double bad : {std::numeric_limits<double>::infinity(), std::nan("")}) {
        const Matrix A = fromList(3, 3, {1, bad, 0, bad, 1, 0, 0, 0, 1});
        for (int large = 0; large < 2; ++large) {
            Matrix U, S, V;
            EXPECT_EQ(
                captureStderr([&] { large ? A.svdLarge(U, S, V) : A.svd(U, S, V); }),
                large ? "error in LsvdLarge (returned -4)\n" : "error in Lsvd (returned -5)\n");
            ASSERT_TRUE(U.m == 3 && U.n == 3 && S.m == 3 && S.n == 1 && V.m == 3 && V.n == 3);
            EXPECT_TRUE(std::isnan(U[8]) && std::isnan(S[0]) && std::isnan(V[4]));
        }
        const Matrix T = fromList(3, 2, {1, 0, 0, 1, 1, 1});
        for (const Matrix& x : {Matrix::linLeastSq(A, column({1, 2, 3})),
                                Matrix::linLeastSq(T, column({1, bad, 3}))}) {
            ASSERT_EQ(x.n, 1);
            for (int i = 0; i < x.m; ++i) EXPECT_TRUE(std::isnan(x[i]));
        }
        double x[3] = {0, 0, 0};
        lumo::leastSquaresSmall(3, 3, A.data, column({1, 2, 3}).data, x);
        EXPECT_TRUE(std::isnan(x[0]) && std::isnan(x[2]));
        lumo::leastSquaresSmall(3, 2, T.data, column({1, 1, bad}).data, x);
        EXPECT_TRUE(std::isnan(x[0]) && std::isnan(x[1]));
    }
    alarm(0);
}

// Only b, the first column of B, is read: what stands in the others cannot spoil x.
TEST(LinLeastSq, ReadsOnlyTheFirstColumnOfB) {
    const Matrix T = fromList(3, 2, {1, 0, 0, 1, 1, 1});
    const Matrix B = fromList(3, 3, {1, 0, std::nan(""), 1, 0, 0, 3, 0, 0});
    EXPECT_LT(maxAbsDiff(Matrix::linLeastSq(T, B), column({4. / 3, 4. / 3})), kTol);
}

// Without a unique solution dgglse leaves x unwritten: every entry comes back NaN, and the
// failure is reported with LAPACK's code.
TEST(LinLeastSq, ConstrainedWithoutAUniqueSolutionGivesNaN) {
    const Matrix A43 = fromList(4, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1});
    const Matrix B1 = fromList(2, 3, {1, 1, 0, 0, 0, 0});  // rank(B) = 1 < 2 rows
    // Two equal rows of A: rank([A; B]) = 5 < 6 columns.
    const Matrix A2 = fromList(3, 6, {1, 2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0});
    const Matrix B2 = fromList(3, 6, {0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0});
    const struct {
        const Matrix &A, &B;
        const char* message;
    } cases[] = {{A43, B1, "error in LlinLeastSq (returned 1)\n"},
                 {A2, B2, "error in LlinLeastSq (returned 2)\n"}};
    for (const auto& c : cases) {
        Matrix x;
        EXPECT_EQ(captureStderr([&] {
                      x = Matrix::linLeastSq(c.A, randomMatrix(c.A.m, 1, 1), c.B,
                                             randomMatrix(c.B.m, 1, 2));
                  }),
                  c.message);
        ASSERT_EQ(x.m, c.A.n);
        for (int i = 0; i < x.m; ++i) EXPECT_TRUE(std::isnan(x[i])) << i;
    }
}

// The stack-workspace solve of the element distances is the same computation as
// Matrix::linLeastSq: the same bits, for square, tall and wide systems.
TEST(LinLeastSq, SmallSolveGivesTheBitsOfTheMatrixMember) {
    for (int seed = 0; seed < 60; ++seed) {
        const int m = 1 + seed % 4, n = 1 + (seed / 4) % 4;
        const Matrix A = randomMatrix(m, n, seed), b = randomMatrix(m, 1, 1000 + seed);
        double x[4];
        lumo::leastSquaresSmall(m, n, A.data, b.data, x);
        const Matrix expected = Matrix::linLeastSq(A, b);
        for (int i = 0; i < n; ++i) EXPECT_EQ(x[i], expected[i]) << m << "x" << n << " " << i;
    }
}
