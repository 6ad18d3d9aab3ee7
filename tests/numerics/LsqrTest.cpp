// Tests of the C-style LSQR: stop flags, solutions against dense least squares, standard
// errors, the report stream's exact text and the record allocators.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "numerics/lsqr.h"
#include "numerics/matrix.h"

using lumo::Matrix;

namespace {

// y += A x (mode 0) or x += A^T y (mode 1) for a dense A passed as prod.
void denseProd(long mode, dvec* x, dvec* y, void* prod) {
    const Matrix& A = *static_cast<Matrix*>(prod);
    for (int r = 0; r < A.m; ++r)
        for (int c = 0; c < A.n; ++c) {
            if (mode == 0)
                y->elements[r] += A(r, c) * x->elements[c];
            else
                x->elements[c] += A(r, c) * y->elements[r];
        }
}

// One LSQR problem with its records; defaults as the sparse matrix's lsqr member uses them.
struct Problem {
    lsqr_input* in;
    lsqr_output* out;
    lsqr_work* work;
    lsqr_func* func;
    Matrix A;

    Problem(const Matrix& a, const std::vector<double>& b) : A(a) {
        alloc_lsqr_mem(&in, &out, &work, &func, A.m, A.n);
        func->mat_vec_prod = denseProd;
        in->num_rows = A.m;
        in->num_cols = A.n;
        in->damp_val = 0.0;
        in->rel_mat_err = 1e-9;
        in->rel_rhs_err = 1e-9;
        in->cond_lim = 1e5;
        in->max_iter = 4 * (A.m + A.n) + 200;
        in->lsqr_fp_out = nullptr;
        for (int k = 0; k < A.m; ++k) in->rhs_vec->elements[k] = b[k];
        for (int k = 0; k < A.n; ++k) in->sol_vec->elements[k] = 0.0;
    }
    ~Problem() { free_lsqr_mem(in, out, work, func); }
    void run() { lsqr(in, out, work, func, &A); }
    double x(int k) const { return out->sol_vec->elements[k]; }

    // Runs with a report stream and returns what was written to it.
    std::string runReported() {
        FILE* f = tmpfile();
        in->lsqr_fp_out = f;
        run();
        std::string text;
        rewind(f);
        for (int ch; (ch = fgetc(f)) != EOF;) text += (char)ch;
        fclose(f);
        in->lsqr_fp_out = nullptr;
        return text;
    }
};

Matrix diag(std::initializer_list<double> d) {
    Matrix D = Matrix::zeros(d.size(), d.size());
    int k = 0;
    for (double v : d) D(k, k) = v, ++k;
    return D;
}

Matrix randomMatrix(int m, int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    Matrix A(m, n);
    for (int k = 0; k < m * n; ++k) A[k] = val(rng);
    return A;
}

const char* const kHeader2x2 =
    "  Least Squares Solution of A*x = b\n"
    "        The matrix A has       2 rows and       2 columns\n"
    "        The damping parameter is\tDAMP =   0.00e+00\n"
    "        ATOL =   1.00e-09\t\tCONDLIM =   1.00e+05\n"
    "        BTOL =   1.00e-09\t\tITERLIM =        216\n\n";

}  // namespace

TEST(LsqrStop, ZeroRightHandSideReturnsAtOnceWithFlag0) {
    Problem P(Matrix::eye(2), {0, 0});
    P.run();
    EXPECT_EQ(P.out->term_flag, 0);
    EXPECT_EQ(P.out->num_iters, 0);
    EXPECT_EQ(P.x(0), 0.0);
    EXPECT_EQ(P.x(1), 0.0);

    Problem Q(Matrix::eye(2), {0, 0});
    EXPECT_EQ(Q.runReported(),
              std::string(kHeader2x2) +
                  "\tISTOP =   0\t\t\tITER =         0\n"
                  "        || A ||_F =   0.00000e+00\tcond( A ) =   0.00000e+00\n"
                  "        || r ||_2 =   0.00000e+00\t|| A^T r ||_2 =   0.00000e+00\n"
                  "        || b ||_2 =   0.00000e+00\t|| x - x0 ||_2 =   0.00000e+00\n\n"
                  "  The exact solution is x = x0\n\n");
    EXPECT_EQ(Q.out->term_flag, 0);
}

TEST(LsqrStop, IdentityEndsAfterOneIterationWithFlag1AndItsReport) {
    // b = (2, 0) keeps every quantity exact in binary, so the printed digits are known.
    Problem P(Matrix::eye(2), {2, 0});
    const std::string text = P.runReported();
    EXPECT_EQ(P.out->term_flag, 1);
    EXPECT_EQ(P.out->num_iters, 1);
    EXPECT_EQ(P.x(0), 2.0);
    EXPECT_EQ(P.x(1), 0.0);
    EXPECT_EQ(text, std::string(kHeader2x2) +
                        "  ITER     || r ||    Compatible  ||A^T r|| / ||A|| ||r||  || A ||    "
                        "cond( A )\n\n"
                        "     0   2.00000e+00   1.00e+00 \t  5.00e-01 \t  0.00e+00    0.00e+00\n"
                        "     1   0.00000e+00   0.00e+00 \t  0.00e+00 \t  1.00e+00   1.00e+00\n"
                        "\n\tISTOP =   1\t\t\tITER =         1\n"
                        "        || A ||_F =   1.00000e+00\tcond( A ) =   1.00000e+00\n"
                        "        || r ||_2 =   0.00000e+00\t|| A^T r ||_2 =   0.00000e+00\n"
                        "        || b ||_2 =   2.00000e+00\t|| x - x0 ||_2 =   2.00000e+00\n\n"
                        "  The residual Ax - b is small enough, given ATOL and BTOL\n\n");
}

TEST(LsqrStop, IterationLimitGivesFlag7) {
    Problem P(diag({1, 2, 3}), {1, 1, 1});  // three distinct singular values: three iterations
    P.in->max_iter = 1;
    P.run();
    EXPECT_EQ(P.out->term_flag, 7);
    EXPECT_EQ(P.out->num_iters, 1);

    Problem Q(diag({1, 2, 3}), {1, 1, 1});
    Q.run();
    EXPECT_EQ(Q.out->term_flag, 1);
    EXPECT_EQ(Q.out->num_iters, 3);
    // Three exact steps in floating point: agreement to 1e-12 allows for rounding.
    EXPECT_NEAR(Q.x(0), 1.0, 1e-12);
    EXPECT_NEAR(Q.x(1), 0.5, 1e-12);
    EXPECT_NEAR(Q.x(2), 1.0 / 3.0, 1e-12);
}

TEST(LsqrStop, ConditionLimit) {
    // cond(diag(1, 10, 100)) = 100: a limit of 2 stops early with flag 3; a limit of 0 means
    // machine precision (not "no limit"), so the solve runs to the residual test.
    Problem P(diag({1, 10, 100}), {1, 1, 1});
    P.in->cond_lim = 2;
    P.run();
    EXPECT_EQ(P.out->term_flag, 3);

    Problem Q(diag({1, 10, 100}), {1, 1, 1});
    Q.in->cond_lim = 0;
    Q.run();
    EXPECT_EQ(Q.out->term_flag, 1);
    EXPECT_NEAR(Q.x(2), 0.01, 1e-12);
}

TEST(LsqrSolve, TallDampedSystemMatchesDenseLeastSquares) {
    // min |A x - b|^2 + d^2 |x|^2 is the plain least squares of [A; d I] x = [b; 0].
    const int m = 9, n = 5;
    const double damp = 0.5;
    Matrix A = randomMatrix(m, n, 3);
    Matrix S = Matrix::zeros(m + n, n), rhs = Matrix::zeros(m + n, 1);
    std::vector<double> b(m);
    for (int r = 0; r < m; ++r) {
        b[r] = std::sin(r + 1.0);
        rhs[r] = b[r];
        for (int c = 0; c < n; ++c) S(r, c) = A(r, c);
    }
    for (int c = 0; c < n; ++c) S(m + c, c) = damp;
    Matrix ref = Matrix::linLeastSq(S, rhs);

    Problem P(A, b);
    P.in->damp_val = damp;
    P.in->rel_mat_err = P.in->rel_rhs_err = 1e-14;
    P.run();
    EXPECT_LE(P.out->term_flag, 2);
    // A well-conditioned 5-unknown problem in double: 1e-9 is far above the rounding level.
    for (int c = 0; c < n; ++c) EXPECT_NEAR(P.x(c), ref[c], 1e-9);
    Matrix r = S * ref - rhs;
    EXPECT_NEAR(P.out->resid_norm, std::sqrt(r.dot(r)), 1e-9);
}

TEST(LsqrSolve, StandardErrorsAreTheCovarianceDiagonal) {
    // Undamped, m > n: std_err[j] = sqrt(((A^T A)^-1)_jj) |r| / sqrt(m - n).
    const int m = 8, n = 3;
    Matrix A = randomMatrix(m, n, 11);
    std::vector<double> b(m);
    Matrix bm(m, 1);
    for (int r = 0; r < m; ++r) bm[r] = b[r] = std::cos(2.0 * r);
    Problem P(A, b);
    P.in->rel_mat_err = P.in->rel_rhs_err = 1e-14;
    P.run();
    Matrix x = Matrix::linLeastSq(A, bm);
    Matrix r = A * x - bm;
    const double rnorm = std::sqrt(r.dot(r));
    Matrix cov = (A.transpose() * A).inverse();
    for (int c = 0; c < n; ++c)
        EXPECT_NEAR(P.out->std_err_vec->elements[c],
                    std::sqrt(cov(c, c)) * rnorm / std::sqrt(m - n), 1e-8);
}

TEST(LsqrRecords, AllocationSharesTheSolutionVector) {
    lsqr_input* in;
    lsqr_output* out;
    lsqr_work* work;
    lsqr_func* func;
    alloc_lsqr_mem(&in, &out, &work, &func, 4, 3);
    EXPECT_EQ(out->sol_vec, in->sol_vec);
    EXPECT_EQ(in->rhs_vec->length, 4);
    EXPECT_EQ(in->sol_vec->length, 3);
    EXPECT_EQ(out->std_err_vec->length, 3);
    EXPECT_EQ(work->bidiag_wrk_vec->length, 3);
    EXPECT_EQ(work->srch_dir_vec->length, 3);
    free_lsqr_mem(in, out, work, func);  // the shared vector is freed once (checked by ASan)

    dvec* v = alloc_dvec(3);
    v->elements[0] = 3;
    v->elements[1] = 0;
    v->elements[2] = -4;
    EXPECT_EQ(dvec_norm2(v), 5.0);
    dvec_scale(2.0, v);
    dvec* w = alloc_dvec(3);
    dvec_copy(v, w);
    EXPECT_EQ(w->elements[2], -8.0);
    free_dvec(v);
    free_dvec(w);
    dvec* e = alloc_dvec(0);  // an empty vector is a valid allocation
    EXPECT_EQ(dvec_norm2(e), 0.0);
    free_dvec(e);
    lvec* l = alloc_lvec(2);
    EXPECT_EQ(l->length, 2);
    free_lvec(l);
}

TEST(LsqrRecordsDeathTest, ErrorsExitWithTheMessage) {
    EXPECT_EXIT(lsqr_error("lsqr: vector allocation failure in function alloc_dvec()", -1),
                testing::ExitedWithCode(255),
                "^\tlsqr: vector allocation failure in function alloc_dvec\\(\\)\n$");
}
