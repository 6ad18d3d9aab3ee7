// Sparse solvers against known answers: tridiagonal, QR, LSQR, CG, Gauss-Seidel, ARPACK svd.
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>

#include "numerics/sparsematrix.h"
#include "tests/support/NumericsTestUtil.h"

using namespace testutil;
using lumo::SparseMatrix;

const Matrix kTall = fromList(3, 2, {1, 0, 0, 1, 1, 1});  // x = (4/3, 4/3) for b = (1, 1, 3)

// Tridiagonal solve; Gauss-Seidel sweeps until nothing changes: exact binary values by sweep 3.
TEST(SparseSolversSmall, TriDiagonalAndGaussSeidel) {
    std::vector<lumo::Vec3<double> > abc{{0, 2, 1}, {1, 2, 1}, {1, 2, 0}};
    EXPECT_LT(maxAbsDiff(lumo::triDiagSolve(abc, column({3, 4, 3})), column({1, 1, 1})), 1e-15);
    EXPECT_EQ(lumo::triDiagSolve({}, Matrix(0, 1)).m, 0);
    SparseMatrix G(fromList(3, 3, {2, 1, 0, 0, 4, 0, 0, 0, 8}));
    Matrix ones = column({1, 1, 1}), x;
    EXPECT_EQ(captureStdout([&] { x = G.gaussSeidel(ones, 1e-12, 100); }), "tot is 4/4\n");
    EXPECT_EQ(maxAbsDiff(x, column({0.375, 0.25, 0.125})), 0.0);
}

// QR is backward stable (1e-14); LSQR stops at ATOL = BTOL = 1e-9 (1e-7); CG reaches 1e-9.
TEST(SparseSolversLeastSquares, TallAndWideSystems) {
    SparseMatrix S(kTall);
    Matrix b = column({1, 1, 3}), ref = column({4.0 / 3.0, 4.0 / 3.0}), x;
    std::unique_ptr<lumo::SparseQR> qr(S.getSparseQR());
    EXPECT_LT(maxAbsDiff(qr->solve(b), ref), 1e-14);
    EXPECT_LT(maxAbsDiff(qr->solve(b), ref), 1e-14);  // the factors are reusable
    EXPECT_LT(maxAbsDiff(S.linLeastSqQr(b, 0, 0), ref), 1e-14);
    EXPECT_LT(maxAbsDiff(S.lsqr(b, 0, 0), ref), 1e-7);
    EXPECT_EQ(captureStdout([&] { x = S.linLeastSq(b, 1e-13, 200); }),
              "this doesnt work as well as I had initially thought\n");
    EXPECT_LT(maxAbsDiff(x, ref), 1e-9);
    EXPECT_EQ(b[2], 3.0);  // b is untouched
    // Wide: QR solves to minimum norm; the reusable factorisation needs m >= n, says so, gives NaN.
    SparseMatrix W(fromList(1, 2, {1, 1}));
    b = column({2});
    EXPECT_LT(maxAbsDiff(W.linLeastSqQr(b, 0, 0), column({1, 1})), 1e-14);
    EXPECT_EQ(captureStderr([&] { qr.reset(W.getSparseQR()); }),
              "CSSparseQR: cannot factorise the 1 x 2 matrix\n");
    EXPECT_TRUE(std::isnan(qr->solve(b)[1]));
}

// Lanczos for diag(3, 4); direct for one column or zero; equal columns give 0, not NaN.
// 1e-6: the Lanczos tolerance 1e-12 is on sigma^2, shifted by c.
TEST(SparseSolversIterative, SingularValueKnownAnswers) {
    double sigma = -1;
    const struct {
        Matrix A;
        int smallest;
        double sigma;
    } cases[] = {{fromList(3, 2, {3, 0, 0, 4, 0, 0}), 0, 4.0},
                 {fromList(3, 2, {3, 0, 0, 4, 0, 0}), 1, 3.0},
                 {column({3, 0, 4}), 0, 5.0},
                 {Matrix::zeros(4, 3), 0, 0.0},
                 {fromList(3, 2, {1, 1, 2, 2, 0, 0}), 1, 0.0}};
    for (auto c : cases) {
        captureStdout([&] { SparseMatrix(c.A).svd(sigma, c.smallest); });
        EXPECT_NEAR(sigma, c.sigma, 1e-6);
    }
    Matrix v;
    EXPECT_EQ(captureStdout([&] { v = SparseMatrix(cases[0].A).svd(sigma, 1); }),
              "deleted select\nbiggest is 4.000000\ndeleted select\n");
    EXPECT_NEAR(std::fabs(v[0]), 1.0, 1e-9);  // the vector of sigma = 3
    SparseMatrix E(3, 0, 1);                  // no columns: ARPACK refuses, and it is printed
    EXPECT_EQ(captureStdout([&] { v = E.svd(sigma, 0); }),
              "info is -1,ido is 99\ndeleted select\n");
    EXPECT_TRUE(std::isnan(sigma) && v.m == 0);
}

// A matrix that ARPACK cannot be given returns NaN with one line on standard error, and ARPACK
// still works afterwards. Each call runs in a child process, which ends with status 3 only when
// all that held: LAPACK's parameter check inside ARPACK ends the process with status 0, which
// in this program would pass for a run of passed tests.
TEST(SparseSolversDeathTest, SingularValueOfAnUnusableMatrixIsNaN) {
    const double NaN = std::numeric_limits<double>::quiet_NaN();
    const Matrix nanEntry = fromList(2, 2, {NaN, 0, 0, 1});
    const Matrix overflows = fromList(2, 2, {1e300, 1e300, 1e300, -1e300});  // A^T A = 2e600 I
    const Matrix noShift = fromList(2, 2, {1.3e154, 0, 0, 1});  // 1.1 sigma_max^2 > 1.8e308
    const struct {
        const Matrix& A;
        int smallest;
        const char* why;  // as a regular expression
    } cases[] = {{nanEntry, 0, "an entry is infinite or NaN"},
                 {nanEntry, 1, "an entry is infinite or NaN"},
                 {overflows, 0, "A\\^T A x overflows"},
                 {overflows, 1, "A\\^T A x overflows"},
                 {noShift, 1, "1\\.1 sigma_max\\^2 overflows"}};
    for (const auto& c : cases) {
        auto child = [&] {
            double sigma = 0, after = 0;
            Matrix v;
            captureStdout([&] { v = SparseMatrix(c.A).svd(sigma, c.smallest); });
            captureStdout([&] { SparseMatrix(fromList(2, 2, {3, 0, 0, 4})).svd(after, 0); });
            const bool ok = std::isnan(sigma) && v.m == 2 && v.n == 1 && std::isnan(v[0]) &&
                            std::isnan(v[1]) && std::fabs(after - 4) < 1e-6;
            std::fprintf(stderr, "sigma %g, then %g\n", sigma, after);
            std::exit(ok ? 3 : 1);
        };
        const std::string message =
            "^SparseMatrix::svd: no singular value of the 2 x 2 matrix \\(" + std::string(c.why) +
            "\\); sigma is NaN\nsigma nan, then 4\n$";
        EXPECT_EXIT(child(), testing::ExitedWithCode(3), message)
            << c.why << ", smallest " << c.smallest;
    }
}

TEST(SparseSolversDeathTest, ShapeAssertions) {
    SparseMatrix A(kTall);
    Matrix b2 = column({1, 2}), b3 = column({1, 2, 3});
    EXPECT_DEATH(A.lsqr(b2, 0, 0), "m==b.m");
    EXPECT_DEATH(A.gaussSeidel(b3, 1e-9, 10), "m==n");
    EXPECT_DEATH(SparseMatrix::umfsolve(A, b3), "sparsematrix\\.cpp.*A\\.m==A\\.n");
}
