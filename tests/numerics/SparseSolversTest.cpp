// Tests of the sparse solvers: tridiagonal, raw products, QR (CXSparse), LSQR, conjugate
// gradients, Gauss-Seidel and the ARPACK singular value, against dense references.
#include <suitesparse/cs.h>

#include <memory>

#include "numerics/sparse_csqr.h"
#include "tests/support/NumericsTestUtil.h"

using lumo::Matrix;
using lumo::SparseMatrix;
using lumo::Vec3;
using testutil::captureStdout;
using testutil::column;
using testutil::maxAbsDiff;
using testutil::randomMatrix;

namespace {

// A random m x n matrix with about `fill` of its elements set, plus a dominant diagonal band so
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

const Matrix kTall = testutil::fromList(3, 2, {1, 0, 0, 1, 1, 1});

}  // namespace

TEST(SparseSolversDirect, TriDiagSolve) {
    std::vector<Vec3<double> > abc{{0, 2, 1}, {1, 2, 1}, {1, 2, 0}};
    EXPECT_LT(maxAbsDiff(lumo::triDiagSolve(abc, column({3, 4, 3})), column({1, 1, 1})), 1e-15);
    // Against the dense inverse on a random diagonally dominant system; both are backward
    // stable, so they agree to rounding (1e-12).
    const int n = 12;
    Matrix r = randomMatrix(n, 3, 5), D = Matrix::zeros(n, n);
    std::vector<Vec3<double> > t(n);
    for (int k = 0; k < n; ++k) {
        t[k] = Vec3<double>(k > 0 ? r(k, 0) : 0.0, 3.0 + r(k, 1), k < n - 1 ? r(k, 2) : 0.0);
        D(k, k) = t[k].y;
        if (k > 0) D(k, k - 1) = t[k].x;
        if (k < n - 1) D(k, k + 1) = t[k].z;
    }
    Matrix d = randomMatrix(n, 1, 6);
    EXPECT_LT(maxAbsDiff(lumo::triDiagSolve(t, d), D.inverse() * d), 1e-12);
    EXPECT_EQ(lumo::triDiagSolve({}, Matrix(0, 1)).m, 0);
}

TEST(SparseSolversProducts, MatprodAndTheLsqrCallback) {
    SparseMatrix A(testutil::fromList(2, 3, {1, 0, 2, 0, 3, 4}));
    double x3[4] = {1, 2, 3, -7}, y2[3] = {99, 99, -7};
    A.matprod(0, x3, y2);  // y = A x overwrites exactly 2 entries
    EXPECT_EQ(std::vector<double>(y2, y2 + 3), (std::vector<double>{7, 18, -7}));
    double in2[2] = {1, 1}, out3[4] = {99, 99, 99, -7};
    A.matprod(1, in2, out3);  // y = A^T x writes exactly 3 entries
    EXPECT_EQ(std::vector<double>(out3, out3 + 4), (std::vector<double>{1, 3, 6, -7}));

    double y[2] = {10, 20};
    A.lsqr_vec_prod_add(0, x3, y);  // y += A x
    EXPECT_EQ(y[0] * 100 + y[1], 1738.0);
    double xs[3] = {1, 1, 1}, ys[2] = {1, 2};
    A.lsqr_vec_prod_add(1, xs, ys);  // x += A^T y
    EXPECT_EQ(std::vector<double>(xs, xs + 3), (std::vector<double>{2, 7, 11}));

    dvec* dx = alloc_dvec(3);
    dvec* dy = alloc_dvec(2);
    for (int k = 0; k < 3; ++k) dx->elements[k] = 1.0;
    dy->elements[0] = dy->elements[1] = 0.5;
    lsqr_vec_prod(0, dx, dy, &A);
    EXPECT_EQ(dy->elements[0] * 100 + dy->elements[1], 357.5);
    free_dvec(dx);
    free_dvec(dy);
}

TEST(SparseSolversLeastSquares, KnownAnswerAndRandomTallSystems) {
    SparseMatrix A(kTall);
    Matrix b = column({1, 1, 3}), x43 = column({4.0 / 3.0, 4.0 / 3.0});
    EXPECT_LT(maxAbsDiff(A.linLeastSqQr(b, 0, 0), x43), 1e-14);
    EXPECT_EQ(b[2], 3.0);  // the caller's right-hand side is untouched
    std::unique_ptr<lumo::SparseQR> qr(A.getSparseQR());
    EXPECT_LT(maxAbsDiff(qr->solve(b), x43), 1e-14);
    EXPECT_LT(maxAbsDiff(A.lsqr(b, 0, 0), x43), 1e-12);

    // 60 x 25: the QR solves are backward stable (1e-10); LSQR stops at ATOL = BTOL = 1e-9
    // relative, hence 1e-7 on x.
    for (unsigned seed = 1; seed <= 3; ++seed) {
        Matrix D = randomSparse(60, 25, 0.1, seed), rhs = randomMatrix(60, 1, 100 + seed);
        Matrix ref = Matrix::linLeastSq(D, rhs);
        SparseMatrix S(D);
        cs_di_sparse rec{S.nzmax, S.m, S.n, S.p, S.i, S.x, -1};
        lumo::CSSparseQR f(rec);
        Matrix q = f.solve(rhs);
        EXPECT_LT(maxAbsDiff(q, ref), 1e-10);
        EXPECT_EQ(maxAbsDiff(f.solve(rhs), q), 0.0);  // the factors are reusable
        EXPECT_LT(maxAbsDiff(S.linLeastSqQr(rhs, 0, 0), ref), 1e-10);
        EXPECT_LT(maxAbsDiff(S.lsqr(rhs, 0, 0), ref), 1e-7);
    }
}

TEST(SparseSolversLeastSquares, WideSystems) {
    // Fewer equations than unknowns: the QR solve gives the minimum-norm solution.
    SparseMatrix A(testutil::fromList(1, 2, {1, 1}));
    Matrix b = column({2});
    EXPECT_LT(maxAbsDiff(A.linLeastSqQr(b, 0, 0), column({1, 1})), 1e-14);
    // The reusable factorisation needs m >= n: it says so and solves to NaN.
    std::unique_ptr<lumo::SparseQR> qr;
    EXPECT_EQ(testutil::captureStderr([&] { qr.reset(A.getSparseQR()); }),
              "CSSparseQR: cannot factorise the 1 x 2 matrix\n");
    Matrix x = qr->solve(b);
    EXPECT_TRUE(std::isnan(x[0]) && std::isnan(x[1]));
}

TEST(SparseSolversIterative, ConjugateGradientsAndGaussSeidel) {
    Matrix D = randomSparse(30, 6, 0.3, 9), b = randomMatrix(30, 1, 10), x;
    SparseMatrix A(D);
    EXPECT_EQ(captureStdout([&] { x = A.linLeastSq(b, 1e-13, 200); }),
              "this doesnt work as well as I had initially thought\n");
    // Six unknowns, well conditioned: CG reaches the minimiser up to rounding (1e-9).
    EXPECT_LT(maxAbsDiff(x, Matrix::linLeastSq(D, b)), 1e-9);

    // Diagonal: the first sweep solves, the second changes nothing and stops.
    SparseMatrix G(testutil::fromList(3, 3, {2, 0, 0, 0, 4, 0, 0, 0, 8}));
    Matrix ones = column({1, 1, 1});
    EXPECT_EQ(captureStdout([&] { x = G.gaussSeidel(ones, 1e-12, 100); }), "tot is 3/3\n");
    EXPECT_EQ(maxAbsDiff(x, column({0.5, 0.25, 0.125})), 0.0);

    // Diagonally dominant: converges to the direct solution (contraction well below 1, update
    // tolerance 1e-12, so 1e-10 on x).
    const int n = 40;
    Matrix M = randomSparse(n, n, 0.05, 21);
    for (int r = 0; r < n; ++r) {
        double s = 0;
        for (int c = 0; c < n; ++c) s += c != r ? std::fabs(M(r, c)) : 0.0;
        M(r, r) = 2.0 * s + 1.0;
    }
    SparseMatrix S(M);
    Matrix rhs = randomMatrix(n, 1, 22);
    captureStdout([&] { x = S.gaussSeidel(rhs, 1e-12, 1000); });
    EXPECT_LT(maxAbsDiff(x, SparseMatrix::umfsolve(S, rhs)), 1e-10);
}

TEST(SparseSolversIterative, SingularValuesAgreeWithDenseSvd) {
    Matrix D = randomSparse(9, 6, 0.3, 31), U, S, V, v;
    D.svd(U, S, V);
    SparseMatrix A(D);
    // The Lanczos tolerance 1e-12 is relative to the eigenvalue of A^T A; 1e-9 on sigma and
    // on the vector direction leaves room for the square root and the dense reference.
    double sigma = 0;
    EXPECT_EQ(captureStdout([&] { v = A.svd(sigma, 0); }), "deleted select\n");
    EXPECT_NEAR(sigma, S[0], 1e-9);
    EXPECT_NEAR(std::fabs(v.dot(V.getColumn(0))), 1.0, 1e-9);

    char line[64];
    std::snprintf(line, sizeof(line), "biggest is %f\n", S[0]);
    EXPECT_EQ(captureStdout([&] { v = A.svd(sigma, 1); }),
              std::string("deleted select\n") + line + "deleted select\n");
    EXPECT_NEAR(sigma, S[5], 1e-8);  // c - A^T A loses a few digits to the shift c
    EXPECT_NEAR(std::fabs(v.dot(V.getColumn(5))), 1.0, 1e-6);

    // Rank deficient (two equal columns): the smallest value 0 meets the shift as c - lambda
    // with c = 1.1 sigma_max^2; rounding there is about 1e-12 c, so sigma stays below
    // 1e-5 sigma_max, and is never NaN.
    Matrix R = randomSparse(7, 4, 0.4, 41);
    for (int r = 0; r < 7; ++r) R(r, 3) = R(r, 0);
    SparseMatrix RS(R);
    captureStdout([&] { RS.svd(sigma, 1); });
    R.svd(U, S, V);
    EXPECT_LT(sigma, 1e-5 * S[0]);

    SparseMatrix C(column({3, 0, 4}));  // a single column: its length
    captureStdout([&] { v = C.svd(sigma, 0); });
    EXPECT_EQ(sigma, 5.0);
    EXPECT_EQ(v[0], 1.0);
    SparseMatrix Z(Matrix::zeros(4, 3));  // every singular value is 0
    captureStdout([&] { Z.svd(sigma, 0); });
    EXPECT_EQ(sigma, 0.0);
    SparseMatrix E(3, 0, 1);  // no columns: ARPACK refuses, and the failure is printed
    EXPECT_EQ(captureStdout([&] { v = E.svd(sigma, 0); }),
              "info is -1,ido is 99\ndeleted select\n");
    EXPECT_TRUE(std::isnan(sigma));
    EXPECT_EQ(v.m, 0);
}

TEST(SparseSolversDeathTest, ShapeAssertions) {
    SparseMatrix A(kTall);
    Matrix b2 = column({1, 2}), b3 = column({1, 2, 3});
    EXPECT_DEATH(A.lsqr(b2, 0, 0), "m==b.m");
    EXPECT_DEATH(A.gaussSeidel(b3, 1e-9, 10), "m==n");
}
