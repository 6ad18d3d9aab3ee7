// Tests of SparseMatrix storage, entry access, products, MATLAB output and the UMFPACK solve.
#include <dlfcn.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "numerics/sparse_lu.h"
#include "numerics/sparsematrix.h"
#include "tests/support/NumericsTestUtil.h"

using namespace testutil;
using lumo::SparseMatrix;
typedef std::vector<std::vector<std::pair<int, double> > > Cols;
typedef std::vector<int> Ints;

namespace {
Ints pattern(const SparseMatrix& A) {  // column pointers, then the stored entries' rows
    Ints v(A.p, A.p + A.n + 1);
    v.insert(v.end(), A.i, A.i + A.nz);
    return v;
}
}  // namespace

TEST(SparseMatrixStorage, SortedColumnsDenseProductAndMatlabOutput) {
    Cols cols{{{2, 1.0}, {0, 5.0}}, {}, {{1, 3.0}, {1, 2.0}}};
    SparseMatrix L(3, cols);
    EXPECT_EQ(pattern(L), (Ints{0, 2, 2, 4, 0, 2, 1, 1}));  // duplicates kept, sorted by value
    EXPECT_EQ(std::vector<double>(L.x, L.x + 4), (std::vector<double>{5, 1, 2, 3}));
    EXPECT_EQ(cols[0][0], std::make_pair(0, 5.0));            // the caller's list comes back sorted
    SparseMatrix S(fromList(3, 2, {0, NAN, 0, -2, 1.5, 0}));  // NaN is not 0.0
    EXPECT_EQ(pattern(S), (Ints{0, 1, 3, 2, 0, 1}));
    EXPECT_EQ(SparseMatrix(Matrix::zeros(2, 2)).nzmax, 1);
    SparseMatrix T(fromList(2, 3, {1, 0, 2, 0, 3, 0}));
    EXPECT_EQ(maxAbsDiff(T * fromList(3, 2, {1, 2, 3, 4, 5, 6}), fromList(2, 2, {11, 14, 9, 12})),
              0.0);
    try {
        T* Matrix(2, 1);
        FAIL() << "no exception";
    } catch (const char* msg) {
        EXPECT_STREQ(msg, "invalid dimensions for matrix multiplication.");
    }
    EXPECT_EQ(captureStdout([] { SparseMatrix(Matrix::eye(2)).printMatlab("A"); }),
              "A=[\n1.000000 0.000000 \n0.000000 1.000000 \n];\n");
}

TEST(SparseMatrixAccess, GetAndInsertPlaceEntriesInRowOrderAndGrowTheCapacity) {
    Cols cols{{{0, 1.0}, {1, 2.0}, {3, 3.0}}, {}};
    SparseMatrix A(6, cols);
    EXPECT_EQ(&A.get(1, 0), &A.x[1]);  // present: its slot, nothing inserted
    EXPECT_FALSE(A.have(2, 0));
    const double* slot = &A.insert_no_check(1, 0, A.x[0]);  // after the equal row; grows x
    EXPECT_EQ(slot, &A.x[2]);
    A.get(2, 0) += 7.0;  // between rows 1 and 3
    A.get(5, 1) = 8.0;   // in an empty column
    EXPECT_EQ(pattern(A), (Ints{0, 5, 6, 0, 1, 1, 2, 3, 5}));
    EXPECT_EQ(A.x[2] * 10 + A.x[3], 17.0);  // a value read from x survives the growth it causes
    for (int cap : {10, 100}) {  // a full matrix grows by 8 entries or 20%, whichever is more
        SparseMatrix B(cap + 1, 1, cap);
        for (int r = 0; r <= cap; ++r) B.get(r, 0) = 1.0;
        EXPECT_EQ(B.nzmax, cap == 10 ? 18 : 120);
    }
}

TEST(SparseMatrixUmfsolve, IdentityAndFailuresReportedOnStandardError) {
    Matrix b = column({3, 4}), x;
    SparseMatrix I(Matrix::eye(2));  // a well-posed solve prints nothing
    EXPECT_EQ(captureStderr([&] { x = SparseMatrix::umfsolve(I, b); }), "");
    EXPECT_EQ(maxAbsDiff(x, b), 0.0);
    // Singular: UMFPACK solves anyway, giving non-finite values, and says so.
    SparseMatrix S(fromList(2, 2, {1, 1, 1, 1}));
    EXPECT_EQ(captureStderr([&] { x = SparseMatrix::umfsolve(S, b); }),
              "umfsolve: umfpack_di_numeric returned UMFPACK_WARNING_singular_matrix (1); "
              "umfpack_di_solve returned UMFPACK_WARNING_singular_matrix (1)\n");
    EXPECT_FALSE(std::isfinite(x[0]) && std::isfinite(x[1]));
    // A repeated row in a column is not a valid matrix: no solve, all NaN.
    Cols cols{{{0, 1.0}, {0, 1.0}}, {{1, 1.0}}};
    SparseMatrix R(2, cols);
    EXPECT_EQ(captureStderr([&] { x = SparseMatrix::umfsolve(R, b); }),
              "umfsolve: umfpack_di_symbolic returned UMFPACK_ERROR_invalid_matrix (-8)\n");
    EXPECT_TRUE(std::isnan(x[0]) && std::isnan(x[1]));
}

// SPD values change, then three diagonals widen to five (a new analysis): kept = fresh bitwise.
TEST(SparseLU, KeptAnalysisGivesTheSameBitsUntilThePatternChanges) {
    lumo::SparseLU fresh({true, false}), kept({true, true});  // {tunedForSpd, reuseAnalysis}
    const Matrix b = randomMatrix(40, 1, 5);
    for (double d : {4.0, 5.0, 6.0, 7.0}) {
        const int wide = d > 5.0;
        Cols cols(40);
        for (int c = 0; c < 40; ++c)
            for (int r = std::max(0, c - 1 - wide); r <= std::min(39, c + 1 + wide); ++r)
                cols[c].push_back({r, r == c ? d : -1.0});
        SparseMatrix A(40, cols);
        Matrix x1(40, 1), x2(40, 1);
        ASSERT_TRUE(fresh.solve(40, A.p, A.i, A.x, b.data, x1.data));
        ASSERT_TRUE(kept.solve(40, A.p, A.i, A.x, b.data, x2.data));
        EXPECT_EQ(maxAbsDiff(x1, x2), 0.0) << d;
        const Matrix r = A * x2 - b;
        EXPECT_LT(std::sqrt(r.dot(r) / b.dot(b)), 1e-13) << d;
        EXPECT_EQ(kept.analyses(), 1 + wide) << d;
    }
}

// Grid Laplacians large enough for UMFPACK to allocate blocks of megabytes, which are kept
// from one solve to the next: after a smaller and a larger system, the first solves again to
// the same bits. The solver is never destroyed, as the scene's is not: what it keeps is still
// freed when the process exits (the sanitizer build's leak check fails the test otherwise).
TEST(SparseLU, KeptBlocksServeLaterSolvesOfOtherSizes) {
    static lumo::SparseLU& lu = *new lumo::SparseLU({true, true});
    std::vector<double> first;
    for (int g : {100, 100, 50, 140, 100}) {
        const int n = g * g;
        Cols cols(n);
        for (int c = 0; c < n; ++c)
            for (int r : {c - g, c - 1, c, c + 1, c + g})
                if (r >= 0 && r < n && (r / g == c / g || r % g == c % g))
                    cols[c].push_back({r, r == c ? 4.5 : -1.0});
        SparseMatrix A(n, cols);
        const Matrix b = randomMatrix(n, 1, 3);
        Matrix x(n, 1);
        ASSERT_TRUE(lu.solve(n, A.p, A.i, A.x, b.data, x.data)) << g;
        const Matrix r = A * x - b;
        EXPECT_LT(std::sqrt(r.dot(r) / b.dot(b)), 1e-13) << g;
        if (g != 100) continue;
        if (first.empty()) first.assign(x.data, x.data + n);
        EXPECT_TRUE(std::equal(first.begin(), first.end(), x.data)) << g;
    }
}

// OpenBLAS falls back to its generic kernels on CPU models newer than its table; the first
// solver made must have moved it to the kernels the CPU can run (a no-op where OpenBLAS knew
// the CPU, or is not the BLAS).
TEST(SparseLU, OpenBlasRunsTheKernelsTheCpuSupports) {
    const auto coreName =
        reinterpret_cast<char* (*)()>(dlsym(RTLD_DEFAULT, "openblas_get_corename"));
    if (!coreName || std::getenv("OPENBLAS_CORETYPE")) GTEST_SKIP() << "not OpenBLAS's choice";
    lumo::SparseLU lu((lumo::SparseLU::Options()));
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) {
        EXPECT_STRCASENE(coreName(), "Prescott");
    }
}
