// C-style LSQR: stop flags, solutions, standard errors with and without damping, report text.
#include "numerics/lsqr.h"
#include "numerics/sparsematrix.h"
#include "tests/support/NumericsTestUtil.h"

using namespace testutil;

namespace {
// One LSQR problem set up as SparseMatrix::lsqr does; run() returns the report stream's text.
struct Problem {
    lsqr_input* in;
    lsqr_output* out;
    lsqr_work* work;
    lsqr_func* func;
    lumo::SparseMatrix A;

    Problem(const Matrix& a, const Matrix& b, double damp = 0, double conlim = 1e5, long iters = 0)
        : A(a) {
        alloc_lsqr_mem(&in, &out, &work, &func, A.m, A.n);
        func->mat_vec_prod = lsqr_vec_prod;
        in->num_rows = A.m;
        in->num_cols = A.n;
        in->damp_val = damp;
        in->rel_mat_err = in->rel_rhs_err = 1e-9;
        in->cond_lim = conlim;
        in->max_iter = iters ? iters : 4L * (A.m + A.n) + 200;
        for (int k = 0; k < A.m; ++k) in->rhs_vec->elements[k] = b[k];
    }
    ~Problem() { free_lsqr_mem(in, out, work, func); }  // frees the shared sol_vec once
    std::string run() {
        FILE* f = in->lsqr_fp_out = tmpfile();
        lsqr(in, out, work, func, &A);
        std::string text;
        rewind(f);
        for (int ch; (ch = fgetc(f)) != EOF;) text += (char)ch;
        fclose(f);
        return text;
    }
};
}  // namespace

// A = [diag(a); 0 0 0]: x_k = a_k b_k / (a_k^2 + damp^2); diag(1, 2, 3) takes three iterations.
TEST(LsqrSolve, FlagsIterationsSolutionsStandardErrorsAndReport) {
    const struct {
        double a[3], b[4], damp, conlim;
        long iterlim, flag, iters;
    } cases[] = {{{1, 2, 3}, {0, 0, 0, 0}, 0, 1e5, 99, 0, 0},  // x0 = 0 already solves it
                 {{1, 2, 3}, {1, 1, 1, 0}, 0, 1e5, 1, 7, 1},
                 {{1, 2, 3}, {1, 1, 1, 0}, 0, 1e5, 99, 1, 3},
                 {{1, 10, 100}, {1, 1, 1, 0}, 0, 2, 99, 3, 2},  // cond 100 exceeds the limit 2
                 {{1, 10, 100}, {1, 1, 1, 0}, 0, 0, 99, 1, 3},  // 0: machine precision
                 {{1, 2, 3}, {1, 1, 1, 1}, 0.5, 1e5, 99, 2, 3}};
    for (const auto& c : cases) {
        Matrix A = Matrix::zeros(4, 3);
        for (int k = 0; k < 3; ++k) A(k, k) = c.a[k];
        Problem P(A, column({c.b[0], c.b[1], c.b[2], c.b[3]}), c.damp, c.conlim, c.iterlim);
        P.run();
        EXPECT_EQ(P.out->term_flag * 100 + P.out->num_iters, c.flag * 100 + c.iters) << c.a[2];
        if (c.flag > 2) continue;
        // x to rounding; |r| to BTOL |b| = 1e-9; std errors divide by m - n = 1, or m = 4 damped.
        double r2 = c.b[3] * c.b[3], d2[3];  // |b - A x|^2 + d^2 |x|^2 = b . (b - A x)
        for (int k = 0; k < 3; ++k) {
            d2[k] = c.a[k] * c.a[k] + c.damp * c.damp;
            r2 += (c.b[k] - c.a[k] * c.a[k] * c.b[k] / d2[k]) * c.b[k];
            EXPECT_NEAR(P.out->sol_vec->elements[k], c.a[k] * c.b[k] / d2[k], 1e-12);
        }
        EXPECT_NEAR(P.out->resid_norm, std::sqrt(r2), 1e-9);
        for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(P.out->std_err_vec->elements[k], std::sqrt(r2 / d2[k] / (c.damp ? 4 : 1)),
                        1e-9);
    }
    // One-iteration report: b = (2, 0) keeps every quantity exact, so the digits are known.
    EXPECT_EQ(Problem(Matrix::eye(2), column({2, 0})).run(),
              "  Least Squares Solution of A*x = b\n"
              "        The matrix A has       2 rows and       2 columns\n"
              "        The damping parameter is\tDAMP =   0.00e+00\n"
              "        ATOL =   1.00e-09\t\tCONDLIM =   1.00e+05\n"
              "        BTOL =   1.00e-09\t\tITERLIM =        216\n\n"
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
