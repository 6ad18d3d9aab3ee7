// Tests of SparseMatrix storage, entry access, products, MATLAB output and the UMFPACK solve.
#include <vector>

#include "numerics/sparse_lu.h"
#include "numerics/sparsematrix.h"
#include "tests/support/NumericsTestUtil.h"

using lumo::Matrix;
using lumo::SparseMatrix;
using testutil::captureStderr;
using testutil::column;
typedef std::vector<std::vector<std::pair<int, double> > > Cols;
typedef std::vector<int> Ints;

namespace {

Ints pOf(const SparseMatrix& A) {
    return Ints(A.p, A.p + A.n + 1);
}
Ints rowsOf(const SparseMatrix& A) {
    return Ints(A.i, A.i + A.nz);
}

double relResidual(const SparseMatrix& A, const Matrix& x, const Matrix& b) {
    Matrix r = A * x - b;
    return std::sqrt(r.dot(r) / b.dot(b));
}

}  // namespace

TEST(SparseMatrixStorage, ConstructorsFillTheCompressedColumns) {
    SparseMatrix E(3, 4, 0);  // capacity is at least one slot, p zeroed
    EXPECT_TRUE(E.nzmax == 1 && pOf(E) == Ints(5, 0));

    SparseMatrix S(testutil::fromList(3, 2, {0, NAN, 0, -2, 1.5, 0}));  // NaN is not 0.0
    EXPECT_EQ(S.nzmax, 3);
    EXPECT_EQ(pOf(S), (Ints{0, 1, 3}));
    EXPECT_EQ(rowsOf(S), (Ints{2, 0, 1}));
    EXPECT_TRUE(std::isnan(S.x[1]));
    EXPECT_EQ(SparseMatrix(Matrix::zeros(2, 2)).nzmax, 1);

    Cols cols{{{2, 1.0}, {0, 5.0}}, {}, {{1, 3.0}, {1, 2.0}}};
    SparseMatrix L(3, cols);
    EXPECT_EQ(pOf(L), (Ints{0, 2, 2, 4}));
    EXPECT_EQ(rowsOf(L), (Ints{0, 2, 1, 1}));  // duplicates kept, sorted by value
    EXPECT_EQ(std::vector<double>(L.x, L.x + 4), (std::vector<double>{5, 1, 2, 3}));
    EXPECT_EQ(cols[0][0], std::make_pair(0, 5.0));  // the caller's list comes back sorted
}

TEST(SparseMatrixAccess, GetInsertsOnlyAbsentEntriesInSortedPlace) {
    Cols empty(3);
    SparseMatrix A(3, empty);
    EXPECT_EQ(A.get(2, 0), 0.0);
    EXPECT_EQ(pOf(A), (Ints{0, 1, 1, 1}));

    // After a column-list build, get on every pattern entry returns its slot and inserts none.
    Cols cols{{{0, 1.0}, {3, 2.0}, {5, 3.0}}, {{1, 4.0}}, {{0, 5.0}, {4, 6.0}}};
    SparseMatrix B(6, cols);
    for (int c = 0; c < B.n; ++c)
        for (int k = B.p[c]; k < B.p[c + 1]; ++k) EXPECT_EQ(&B.get(B.i[k], c), &B.x[k]);
    EXPECT_EQ(B.nz, 6);
    EXPECT_TRUE(B.have(3, 0));
    EXPECT_FALSE(B.have(2, 0));
    B.get(2, 0) += 7.0;  // between rows 0 and 3
    B.get(5, 1) = 8.0;   // after the column's last row
    EXPECT_EQ(pOf(B), (Ints{0, 4, 6, 8}));
    EXPECT_EQ(rowsOf(B), (Ints{0, 2, 3, 5, 1, 5, 0, 4}));
    EXPECT_EQ(B.x[1] + B.x[5], 15.0);

    // insert_no_check puts an equal row after the existing one.
    Cols c3{{{0, 1.0}, {1, 2.0}, {3, 3.0}}};
    SparseMatrix C(4, c3);
    const double* slot = &C.insert_no_check(1, 0, 9.0);  // grows: x moves
    EXPECT_EQ(slot, &C.x[2]);
    EXPECT_EQ(rowsOf(C), (Ints{0, 1, 1, 3}));
    EXPECT_EQ(C.x[1] * 10 + C.x[2], 29.0);
    C.insert_no_check(2, 0, C.x[0]);  // a value read from x survives the growth it causes
    EXPECT_EQ(C.x[3], 1.0);
}

TEST(SparseMatrixAccess, RandomGetsMatchADenseMirror) {
    std::mt19937 rng(7);
    SparseMatrix A(20, 15, 1);
    Matrix D = Matrix::zeros(20, 15);
    int distinct = 0;
    for (int t = 1; t <= 600; ++t) {  // positive additions: D(r, c) != 0 marks a touched entry
        const int r = rng() % 20, c = rng() % 15;
        distinct += D(r, c) == 0.0;
        A.get(r, c) += t;
        D(r, c) += t;
    }
    ASSERT_EQ(A.nz, distinct);
    for (int c = 0; c < A.n; ++c)
        for (int k = A.p[c] + 1; k < A.p[c + 1]; ++k) EXPECT_LT(A.i[k - 1], A.i[k]);
    for (int r = 0; r < 20; ++r)
        for (int c = 0; c < 15; ++c) EXPECT_EQ(A.have(r, c) ? A.get(r, c) : 0.0, D(r, c));
    EXPECT_EQ(A.nz, distinct);  // the reads above inserted nothing
}

TEST(SparseMatrixProducts, DenseProductSizeCheckAndMatlabOutput) {
    SparseMatrix S(testutil::fromList(2, 3, {1, 0, 2, 0, 3, 0}));
    Matrix C = S * testutil::fromList(3, 2, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(testutil::maxAbsDiff(C, testutil::fromList(2, 2, {11, 14, 9, 12})), 0.0);
    try {
        S* Matrix(2, 1);
        FAIL() << "no exception";
    } catch (const char* msg) {
        EXPECT_STREQ(msg, "invalid dimensions for matrix multiplication.");
    }
    EXPECT_EQ(testutil::captureStdout([] { SparseMatrix(Matrix::eye(2)).printMatlab("A"); }),
              "A=[\n1.000000 0.000000 \n0.000000 1.000000 \n];\n");
}

TEST(SparseMatrixUmfsolve, IdentityAndRandomSystems) {
    SparseMatrix I(Matrix::eye(2));
    Matrix b = column({3, 4});
    EXPECT_EQ(testutil::maxAbsDiff(SparseMatrix::umfsolve(I, b), b), 0.0);

    // Random diagonally dominant (unsymmetric) and SPD systems of 300 unknowns. The LU of such
    // well-conditioned matrices is backward stable: residuals near 1e-15, 1e-10 leaves room.
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> val(-1.0, 1.0);
    std::uniform_int_distribution<int> pick(0, 299);
    for (int spd = 0; spd < 2; ++spd) {
        const int n = 300;
        SparseMatrix A(n, n, 1);
        for (int t = 0; t < 6 * n; ++t) {
            const int r = pick(rng), c = pick(rng);
            const double v = val(rng);
            A.get(r, c) += v;
            if (spd && r != c) A.get(c, r) += v;
        }
        std::vector<double> rowSum(n, 0.0);
        for (int c = 0; c < n; ++c)
            for (int k = A.p[c]; k < A.p[c + 1]; ++k) rowSum[A.i[k]] += std::fabs(A.x[k]);
        for (int r = 0; r < n; ++r) A.get(r, r) = rowSum[r] + 1.0;
        Matrix rhs = testutil::randomMatrix(n, 1, 43 + spd);
        const int nz = A.nz;
        EXPECT_LT(relResidual(A, SparseMatrix::umfsolve(A, rhs), rhs), 1e-10) << "spd " << spd;
        EXPECT_EQ(A.nz, nz);
    }
}

TEST(SparseMatrixUmfsolve, FailuresAreReportedOnStandardError) {
    // Singular: UMFPACK solves anyway, giving non-finite values, and says so.
    SparseMatrix S(testutil::fromList(2, 2, {1, 1, 1, 1}));
    Matrix b = column({1, 2}), x;
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
    SparseMatrix I(Matrix::eye(2));  // a well-posed solve prints nothing
    EXPECT_EQ(captureStderr([&] { SparseMatrix::umfsolve(I, b); }), "");
}

TEST(SparseLU, KeptAnalysisGivesTheSameBitsUntilThePatternChanges) {
    // Tridiagonal SPD systems: the values change between solves, then the pattern does.
    auto tridiagonal = [](int n, double d, bool wide) {
        Cols cols(n);
        for (int c = 0; c < n; ++c)
            for (int r = std::max(0, c - 1 - wide); r <= std::min(n - 1, c + 1 + wide); ++r)
                cols[c].push_back({r, r == c ? d : -1.0});
        return SparseMatrix(n, cols);
    };
    lumo::SparseLU::Options tuned;
    tuned.tunedForSpd = true;
    lumo::SparseLU fresh(tuned);
    tuned.reuseAnalysis = true;
    lumo::SparseLU kept(tuned);
    const Matrix b = testutil::randomMatrix(40, 1, 5);
    const struct {
        double d;
        bool wide;
        int analyses;
    } steps[] = {{4.0, false, 1}, {5.0, false, 1}, {6.0, true, 2}, {7.0, true, 2}};
    for (const auto& s : steps) {
        SparseMatrix A = tridiagonal(40, s.d, s.wide);
        Matrix x1(40, 1), x2(40, 1);
        ASSERT_TRUE(fresh.solve(40, A.p, A.i, A.x, b.data, x1.data));
        ASSERT_TRUE(kept.solve(40, A.p, A.i, A.x, b.data, x2.data));
        EXPECT_EQ(testutil::maxAbsDiff(x1, x2), 0.0) << s.d;
        EXPECT_LT(relResidual(A, x2, b), 1e-13) << s.d;
        EXPECT_EQ(kept.analyses(), s.analyses) << s.d;
    }
}

TEST(SparseMatrixDeathTest, NonSquareSolveAsserts) {
    SparseMatrix A(Matrix::eye(2, 3));
    Matrix b = column({1, 2});
    EXPECT_DEATH(SparseMatrix::umfsolve(A, b), "A.m==A.n");
}
