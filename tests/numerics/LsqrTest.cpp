// Tests of the C-style LSQR: stop flags, solutions against dense least squares, standard
// errors, the report stream's exact text and the record allocators.
#include <vector>

#include "numerics/lsqr.h"
#include "tests/support/NumericsTestUtil.h"

using lumo::Matrix;
using testutil::fromList;

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

    Problem(const Matrix& a, const Matrix& b) : A(a) {
        alloc_lsqr_mem(&in, &out, &work, &func, A.m, A.n);
        func->mat_vec_prod = denseProd;
        in->num_rows = A.m;
        in->num_cols = A.n;
        in->damp_val = 0.0;
        in->rel_mat_err = in->rel_rhs_err = 1e-9;
        in->cond_lim = 1e5;
        in->max_iter = 4L * (A.m + A.n) + 200;
        in->lsqr_fp_out = nullptr;
        for (int k = 0; k < A.m; ++k) in->rhs_vec->elements[k] = b[k];
        for (int k = 0; k < A.n; ++k) in->sol_vec->elements[k] = 0.0;
    }
    ~Problem() { free_lsqr_mem(in, out, work, func); }
    void run() { lsqr(in, out, work, func, &A); }
    Matrix x() const {
        Matrix s(A.n, 1);
        for (int k = 0; k < A.n; ++k) s[k] = out->sol_vec->elements[k];
        return s;
    }
    // Runs with a report stream and returns what was written to it.
    std::string runReported() {
        FILE* f = tmpfile();
        in->lsqr_fp_out = f;
        run();
        std::string text;
        rewind(f);
        for (int ch; (ch = fgetc(f)) != EOF;) text += (char)ch;
        fclose(f);
        return text;
    }
};

Matrix diag3(double a, double b, double c) {
    return fromList(3, 3, {a, 0, 0, 0, b, 0, 0, 0, c});
}

const char* const kHeader2x2 =
    "  Least Squares Solution of A*x = b\n"
    "        The matrix A has       2 rows and       2 columns\n"
    "        The damping parameter is\tDAMP =   0.00e+00\n"
    "        ATOL =   1.00e-09\t\tCONDLIM =   1.00e+05\n"
    "        BTOL =   1.00e-09\t\tITERLIM =        216\n\n";

}  // namespace

TEST(LsqrStop, ZeroRightHandSideReturnsAtOnceWithFlag0) {
    Problem P(Matrix::eye(2), Matrix::zeros(2, 1));
    P.run();
    EXPECT_EQ(P.out->term_flag, 0);
    EXPECT_EQ(P.out->num_iters, 0);
    EXPECT_EQ(testutil::maxAbsDiff(P.x(), Matrix::zeros(2, 1)), 0.0);

    Problem Q(Matrix::eye(2), Matrix::zeros(2, 1));
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
    Problem P(Matrix::eye(2), testutil::column({2, 0}));
    EXPECT_EQ(P.runReported(),
              std::string(kHeader2x2) +
                  "  ITER     || r ||    Compatible  ||A^T r|| / ||A|| ||r||  || A ||    "
                  "cond( A )\n\n"
                  "     0   2.00000e+00   1.00e+00 \t  5.00e-01 \t  0.00e+00    0.00e+00\n"
                  "     1   0.00000e+00   0.00e+00 \t  0.00e+00 \t  1.00e+00   1.00e+00\n"
                  "\n\tISTOP =   1\t\t\tITER =         1\n"
                  "        || A ||_F =   1.00000e+00\tcond( A ) =   1.00000e+00\n"
                  "        || r ||_2 =   0.00000e+00\t|| A^T r ||_2 =   0.00000e+00\n"
                  "        || b ||_2 =   2.00000e+00\t|| x - x0 ||_2 =   2.00000e+00\n\n"
                  "  The residual Ax - b is small enough, given ATOL and BTOL\n\n");
    EXPECT_EQ(P.out->term_flag, 1);
    EXPECT_EQ(P.out->num_iters, 1);
    EXPECT_EQ(testutil::maxAbsDiff(P.x(), testutil::column({2, 0})), 0.0);
}

TEST(LsqrStop, IterationAndConditionLimits) {
    // {diagonal of A, CONLIM, ITERLIM, expected flag, iterations (0: not checked)}. diag(1, 2, 3)
    // has three distinct singular values, so an exact solve takes three iterations.
    struct Case {
        double a, b, c, conlim;
        long iterlim, flag, iters;
    } cases[] = {{1, 2, 3, 1e5, 1, 7, 1},
                 {1, 2, 3, 1e5, 216, 1, 3},
                 {1, 10, 100, 2, 216, 3, 0},   // cond = 100 exceeds a limit of 2
                 {1, 10, 100, 0, 216, 1, 0}};  // a limit of 0 means machine precision
    for (const Case& c : cases) {
        Problem P(diag3(c.a, c.b, c.c), testutil::column({1, 1, 1}));
        P.in->cond_lim = c.conlim;
        P.in->max_iter = c.iterlim;
        P.run();
        EXPECT_EQ(P.out->term_flag, c.flag) << c.c << " " << c.conlim;
        if (c.iters) {
            EXPECT_EQ(P.out->num_iters, c.iters);
        }
        if (c.flag == 1) {  // exact steps in floating point: 1e-12 allows for rounding
            Matrix want = testutil::column({1 / c.a, 1 / c.b, 1 / c.c});
            EXPECT_LT(testutil::maxAbsDiff(P.x(), want), 1e-12);
        }
    }
}

TEST(LsqrSolve, DampedSolutionAndStandardErrorsMatchDenseAnswers) {
    // min |A x - b|^2 + d^2 |x|^2 is the plain least squares of [A; d I] x = [b; 0].
    const int m = 9, n = 5;
    const double damp = 0.5;
    Matrix A = testutil::randomMatrix(m, n, 3), b = testutil::randomMatrix(m, 1, 4);
    Matrix S = Matrix::zeros(m + n, n), rhs = Matrix::zeros(m + n, 1);
    for (int r = 0; r < m; ++r) {
        rhs[r] = b[r];
        for (int c = 0; c < n; ++c) S(r, c) = A(r, c);
    }
    for (int c = 0; c < n; ++c) S(m + c, c) = damp;
    Matrix ref = Matrix::linLeastSq(S, rhs), res = S * ref - rhs;
    Problem P(A, b);
    P.in->damp_val = damp;
    P.in->rel_mat_err = P.in->rel_rhs_err = 1e-14;
    P.run();
    EXPECT_LE(P.out->term_flag, 2);
    // A well-conditioned 5-unknown problem in double: 1e-9 is far above the rounding level.
    EXPECT_LT(testutil::maxAbsDiff(P.x(), ref), 1e-9);
    EXPECT_NEAR(P.out->resid_norm, std::sqrt(res.dot(res)), 1e-9);

    // Undamped, m > n: std_err[j] = sqrt(((A^T A)^-1)_jj) |r| / sqrt(m - n).
    Problem U(A, b);
    U.in->rel_mat_err = U.in->rel_rhs_err = 1e-14;
    U.run();
    Matrix r = A * Matrix::linLeastSq(A, b) - b;
    Matrix cov = (A.transpose() * A).inverse();
    for (int c = 0; c < n; ++c)
        EXPECT_NEAR(U.out->std_err_vec->elements[c], std::sqrt(cov(c, c) * r.dot(r) / (m - n)),
                    1e-8);
}

TEST(LsqrRecords, AllocationSharesTheSolutionVector) {
    lsqr_input* in;
    lsqr_output* out;
    lsqr_work* work;
    lsqr_func* func;
    alloc_lsqr_mem(&in, &out, &work, &func, 4, 3);
    EXPECT_EQ(out->sol_vec, in->sol_vec);
    EXPECT_EQ(in->rhs_vec->length, 4);
    for (dvec* v : {in->sol_vec, out->std_err_vec, work->bidiag_wrk_vec, work->srch_dir_vec})
        EXPECT_EQ(v->length, 3);
    free_lsqr_mem(in, out, work, func);  // the shared vector is freed once

    dvec* v = alloc_dvec(3);
    dvec* w = alloc_dvec(3);
    dvec* e = alloc_dvec(0);  // an empty vector is a valid allocation of norm 0
    const double init[3] = {3, 0, -4};
    std::copy(init, init + 3, v->elements);
    dvec_scale(2.0, v);
    dvec_copy(v, w);
    EXPECT_EQ(dvec_norm2(w) + dvec_norm2(e), 10.0);
    lvec* l = alloc_lvec(2);
    EXPECT_EQ(l->length, 2);
    free_lvec(l);
    for (dvec* d : {v, w, e}) free_dvec(d);
}

TEST(LsqrRecordsDeathTest, ErrorsExitWithTheMessage) {
    EXPECT_EXIT(lsqr_error("lsqr: vector allocation failure in function alloc_dvec()", -1),
                testing::ExitedWithCode(255),
                "^\tlsqr: vector allocation failure in function alloc_dvec\\(\\)\n$");
}
