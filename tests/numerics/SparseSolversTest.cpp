// Tests of the sparse solvers: tridiagonal, raw products, QR (CXSparse), LSQR, conjugate
// gradients, Gauss-Seidel and the ARPACK singular value, against dense references.
#include <suitesparse/cs.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "numerics/sparse_csqr.h"

using lumo::Matrix;
using lumo::SparseMatrix;
using lumo::Vec3;

namespace {

Matrix column(std::initializer_list<double> v) {
    Matrix M(v.size(), 1);
    int k = 0;
    for (double e : v) M[k++] = e;
    return M;
}

// A random m x n matrix with about `fill` of its elements set, plus a full diagonal band so
// that tall instances have full column rank.
Matrix randomSparse(int m, int n, double fill, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> val(-1.0, 1.0), u(0.0, 1.0);
    Matrix A = Matrix::zeros(m, n);
    for (int r = 0; r < m; ++r)
        for (int c = 0; c < n; ++c)
            if (u(rng) < fill || r == c) A(r, c) = val(rng) + (r == c ? 2.0 : 0.0);
    return A;
}

Matrix randomColumn(int m, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    Matrix b(m, 1);
    for (int k = 0; k < m; ++k) b[k] = val(rng);
    return b;
}

Matrix tall3x2() {
    Matrix A = Matrix::zeros(3, 2);
    A(0, 0) = 1;
    A(1, 1) = 1;
    A(2, 0) = 1;
    A(2, 1) = 1;
    return A;
}

}  // namespace

TEST(SparseSolversDirect, TriDiagSolve) {
    std::vector<Vec3<double> > abc{{0, 2, 1}, {1, 2, 1}, {1, 2, 0}};
    Matrix x = lumo::triDiagSolve(abc, column({3, 4, 3}));
    ASSERT_EQ(x.m, 3);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(x[k], 1.0, 1e-15);

    // Against the dense inverse on a random diagonally dominant system (no pivoting needed);
    // both are backward stable, so they agree to rounding (1e-12).
    const int n = 12;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    std::vector<Vec3<double> > t(n);
    Matrix D = Matrix::zeros(n, n);
    for (int r = 0; r < n; ++r) {
        t[r] = Vec3<double>(r > 0 ? val(rng) : 0.0, 3.0 + val(rng), r < n - 1 ? val(rng) : 0.0);
        D(r, r) = t[r].y;
        if (r > 0) D(r, r - 1) = t[r].x;
        if (r < n - 1) D(r, r + 1) = t[r].z;
    }
    Matrix d = randomColumn(n, 6);
    Matrix ref = D.inverse() * d;
    Matrix got = lumo::triDiagSolve(t, d);
    for (int k = 0; k < n; ++k) EXPECT_NEAR(got[k], ref[k], 1e-12);
    EXPECT_EQ(lumo::triDiagSolve({}, Matrix(0, 1)).m, 0);
}

TEST(SparseSolversProducts, MatprodAndTheLsqrCallback) {
    Matrix D = Matrix::zeros(2, 3);  // [[1, 0, 2], [0, 3, 4]]
    D(0, 0) = 1;
    D(0, 2) = 2;
    D(1, 1) = 3;
    D(1, 2) = 4;
    SparseMatrix A(D);
    double x3[4] = {1, 2, 3, -7}, y2[3] = {99, 99, -7};
    A.matprod(0, x3, y2);  // y = A x overwrites 2 entries
    EXPECT_EQ(y2[0], 7.0);
    EXPECT_EQ(y2[1], 18.0);
    EXPECT_EQ(y2[2], -7.0);
    double in2[2] = {1, 1}, out3[4] = {99, 99, 99, -7};
    A.matprod(1, in2, out3);  // y = A^T x writes 3 entries
    EXPECT_EQ(out3[0], 1.0);
    EXPECT_EQ(out3[1], 3.0);
    EXPECT_EQ(out3[2], 6.0);
    EXPECT_EQ(out3[3], -7.0);

    double y[2] = {10, 20};
    A.lsqr_vec_prod_add(0, x3, y);  // y += A x
    EXPECT_EQ(y[0], 17.0);
    EXPECT_EQ(y[1], 38.0);
    double xs[3] = {1, 1, 1}, ys[2] = {1, 2};
    A.lsqr_vec_prod_add(1, xs, ys);  // x += A^T y
    EXPECT_EQ(xs[0], 2.0);
    EXPECT_EQ(xs[1], 7.0);
    EXPECT_EQ(xs[2], 11.0);

    dvec* dx = alloc_dvec(3);
    dvec* dy = alloc_dvec(2);
    for (int k = 0; k < 3; ++k) dx->elements[k] = 1.0;
    dy->elements[0] = dy->elements[1] = 0.5;
    lsqr_vec_prod(0, dx, dy, &A);
    EXPECT_EQ(dy->elements[0], 3.5);
    EXPECT_EQ(dy->elements[1], 7.5);
    free_dvec(dx);
    free_dvec(dy);
}

TEST(SparseSolversLeastSquares, SmallKnownAnswer) {
    SparseMatrix A(tall3x2());
    Matrix b = column({1, 1, 3});
    Matrix x = A.linLeastSqQr(b, 0, 0);
    ASSERT_EQ(x.m, 2);
    EXPECT_NEAR(x[0], 4.0 / 3.0, 1e-14);
    EXPECT_NEAR(x[1], 4.0 / 3.0, 1e-14);
    EXPECT_EQ(b[2], 3.0);  // the caller's right-hand side is untouched
    std::unique_ptr<lumo::SparseQR> qr(A.getSparseQR());
    x = qr->solve(b);
    EXPECT_NEAR(x[0], 4.0 / 3.0, 1e-14);
    EXPECT_NEAR(x[1], 4.0 / 3.0, 1e-14);
    x = A.lsqr(b, 0, 0);
    EXPECT_NEAR(x[0], 4.0 / 3.0, 1e-12);
    EXPECT_NEAR(x[1], 4.0 / 3.0, 1e-12);
}

TEST(SparseSolversLeastSquares, RandomTallSystemsAgreeWithDense) {
    // Well-conditioned (dominant diagonal band) 60 x 25 systems: the QR solves are backward
    // stable (1e-10); LSQR stops at ATOL = BTOL = 1e-9 relative, hence 1e-7 on x.
    for (unsigned seed = 1; seed <= 3; ++seed) {
        Matrix D = randomSparse(60, 25, 0.1, seed);
        Matrix b = randomColumn(60, 100 + seed);
        Matrix ref = Matrix::linLeastSq(D, b);
        SparseMatrix A(D);
        Matrix q1 = A.linLeastSqQr(b, 0, 0);
        cs_di_sparse rec{A.nzmax, A.m, A.n, A.p, A.i, A.x, -1};
        lumo::CSSparseQR qr(rec);
        Matrix q2 = qr.solve(b);
        Matrix q3 = qr.solve(b);  // a second solve with the same factors gives the same answer
        Matrix l = A.lsqr(b, 0, 0);
        for (int k = 0; k < 25; ++k) {
            EXPECT_NEAR(q1[k], ref[k], 1e-10);
            EXPECT_NEAR(q2[k], ref[k], 1e-10);
            EXPECT_EQ(q3[k], q2[k]);
            EXPECT_NEAR(l[k], ref[k], 1e-7);
        }
    }
}

TEST(SparseSolversLeastSquares, WideSystems) {
    // Fewer equations than unknowns: the QR solve gives the minimum-norm solution.
    Matrix D(1, 2);
    D[0] = D[1] = 1.0;
    SparseMatrix A(D);
    Matrix b = column({2});
    Matrix x = A.linLeastSqQr(b, 0, 0);
    ASSERT_EQ(x.m, 2);
    EXPECT_NEAR(x[0], 1.0, 1e-14);
    EXPECT_NEAR(x[1], 1.0, 1e-14);
    // The reusable factorisation needs m >= n: it says so and solves to NaN.
    testing::internal::CaptureStderr();
    std::unique_ptr<lumo::SparseQR> qr(A.getSparseQR());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "CSSparseQR: cannot factorise the 1 x 2 matrix\n");
    x = qr->solve(b);
    EXPECT_TRUE(std::isnan(x[0]) && std::isnan(x[1]));
}

TEST(SparseSolversIterative, ConjugateGradientLeastSquares) {
    Matrix D = randomSparse(30, 6, 0.3, 9);
    Matrix b = randomColumn(30, 10);
    SparseMatrix A(D);
    testing::internal::CaptureStdout();
    Matrix x = A.linLeastSq(b, 1e-13, 200);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "this doesnt work as well as I had initially thought\n");
    Matrix ref = Matrix::linLeastSq(D, b);
    // Six unknowns, well conditioned: CG reaches the minimiser up to rounding (1e-9).
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(x[k], ref[k], 1e-9);
}

TEST(SparseSolversIterative, GaussSeidel) {
    Matrix Dg = Matrix::zeros(3, 3);
    Dg(0, 0) = 2;
    Dg(1, 1) = 4;
    Dg(2, 2) = 8;
    SparseMatrix G(Dg);
    Matrix b = column({1, 1, 1});
    testing::internal::CaptureStdout();
    Matrix x = G.gaussSeidel(b, 1e-12, 1);  // one sweep already solves a diagonal system
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "tot is 3/3\n");
    EXPECT_EQ(x[0], 0.5);
    EXPECT_EQ(x[2], 0.125);

    // Diagonally dominant: converges to the direct solution (tolerance 1e-12 on the update,
    // contraction well below 1, so 1e-10 on x).
    const int n = 40;
    Matrix D = randomSparse(n, n, 0.05, 21);
    for (int r = 0; r < n; ++r) {
        double s = 0;
        for (int c = 0; c < n; ++c)
            if (c != r) s += std::fabs(D(r, c));
        D(r, r) = 2.0 * s + 1.0;
    }
    SparseMatrix A(D);
    Matrix rhs = randomColumn(n, 22);
    testing::internal::CaptureStdout();
    Matrix gs = A.gaussSeidel(rhs, 1e-12, 1000);
    testing::internal::GetCapturedStdout();
    Matrix ref = SparseMatrix::umfsolve(A, rhs);
    for (int k = 0; k < n; ++k) EXPECT_NEAR(gs[k], ref[k], 1e-10);
}

TEST(SparseSolversIterative, SingularValuesAgreeWithDenseSvd) {
    Matrix D = randomSparse(9, 6, 0.3, 31);
    Matrix U, S, V;
    D.svd(U, S, V);
    SparseMatrix A(D);

    // The Lanczos tolerance 1e-12 is relative to the eigenvalue of A^T A; 1e-9 on sigma and
    // on the vector direction leaves room for the square root and the dense reference.
    double sigma = 0;
    testing::internal::CaptureStdout();
    Matrix v = A.svd(sigma, 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "deleted select\n");
    EXPECT_NEAR(sigma, S[0], 1e-9);
    double dot = 0;
    for (int k = 0; k < 6; ++k) dot += v[k] * V(k, 0);
    EXPECT_NEAR(std::fabs(dot), 1.0, 1e-9);

    testing::internal::CaptureStdout();
    v = A.svd(sigma, 1);
    fflush(stdout);
    char line[64];
    std::snprintf(line, sizeof(line), "biggest is %f\n", S[0]);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              std::string("deleted select\n") + line + "deleted select\n");
    EXPECT_NEAR(sigma, S[5], 1e-8);  // c - A^T A loses a few digits to the shift c
    dot = 0;
    for (int k = 0; k < 6; ++k) dot += v[k] * V(k, 5);
    EXPECT_NEAR(std::fabs(dot), 1.0, 1e-6);

    Matrix one = column({3, 0, 4});
    SparseMatrix C(one);  // a single column: its length
    testing::internal::CaptureStdout();
    v = C.svd(sigma, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(sigma, 5.0);
    EXPECT_EQ(v[0], 1.0);

    // Rank deficient (two equal columns): the smallest value is 0, which the shifted operator
    // meets as c - lambda with c = 1.1 sigma_max^2; rounding there is about 1e-12 c, so sigma
    // stays below 1e-5 sigma_max, and is never NaN.
    Matrix R = randomSparse(7, 4, 0.4, 41);
    for (int r = 0; r < 7; ++r) R(r, 3) = R(r, 0);
    SparseMatrix RS(R);
    testing::internal::CaptureStdout();
    RS.svd(sigma, 1);
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(std::isnan(sigma));
    R.svd(U, S, V);
    EXPECT_LT(sigma, 1e-5 * S[0]);

    SparseMatrix Z(Matrix::zeros(4, 3));  // every singular value is 0
    testing::internal::CaptureStdout();
    v = Z.svd(sigma, 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(sigma, 0.0);

    SparseMatrix E(3, 0, 1);  // no columns: ARPACK refuses, and the failure is printed
    testing::internal::CaptureStdout();
    v = E.svd(sigma, 0);
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "info is -1,ido is 99\ndeleted select\n");
    EXPECT_TRUE(std::isnan(sigma));
    EXPECT_EQ(v.m, 0);
}

TEST(SparseSolversDeathTest, ShapeAssertions) {
    SparseMatrix A(tall3x2());
    Matrix b2 = column({1, 2});
    EXPECT_DEATH(A.lsqr(b2, 0, 0), "m==b.m");
    Matrix b3 = column({1, 2, 3});
    EXPECT_DEATH(A.gaussSeidel(b3, 1e-9, 10), "m==n");
}
