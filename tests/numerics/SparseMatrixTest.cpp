// Tests of SparseMatrix storage, entry access, products, MATLAB output and the UMFPACK solve.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "numerics/sparsematrix.h"

using lumo::Matrix;
using lumo::SparseMatrix;

namespace {

typedef std::vector<std::vector<std::pair<int, double> > > Cols;

std::vector<int> pOf(const SparseMatrix& A) {
    return std::vector<int>(A.p, A.p + A.n + 1);
}
std::vector<int> rowsOf(const SparseMatrix& A) {
    return std::vector<int>(A.i, A.i + A.nz);
}

// Every column strictly ascending and p consistent with nz.
void expectSortedCsc(const SparseMatrix& A) {
    ASSERT_EQ(A.p[0], 0);
    ASSERT_EQ(A.p[A.n], A.nz);
    ASSERT_LE(A.nz, A.nzmax);
    for (int c = 0; c < A.n; ++c)
        for (int k = A.p[c] + 1; k < A.p[c + 1]; ++k) EXPECT_LT(A.i[k - 1], A.i[k]);
}

Matrix column(std::initializer_list<double> v) {
    Matrix M(v.size(), 1);
    int k = 0;
    for (double e : v) M[k++] = e;
    return M;
}

double relResidual(const SparseMatrix& A, const Matrix& x, const Matrix& b) {
    Matrix r = A * x;
    double num = 0, den = 0;
    for (int k = 0; k < b.m; ++k) {
        num += (r[k] - b[k]) * (r[k] - b[k]);
        den += b[k] * b[k];
    }
    return std::sqrt(num / den);
}

}  // namespace

TEST(SparseMatrixStorage, ConstructorsFillTheCompressedColumns) {
    SparseMatrix E(3, 4, 0);  // capacity is at least one slot
    EXPECT_EQ(E.nzmax, 1);
    EXPECT_EQ(E.nz, 0);
    EXPECT_EQ(pOf(E), std::vector<int>(5, 0));

    Matrix D = Matrix::zeros(3, 2);
    D(2, 0) = 1.5;
    D(0, 1) = NAN;  // NaN is not 0.0, so it is stored
    D(1, 1) = -2;
    SparseMatrix S(D);
    EXPECT_EQ(S.nzmax, 3);
    EXPECT_EQ(pOf(S), (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(rowsOf(S), (std::vector<int>{2, 0, 1}));
    EXPECT_TRUE(std::isnan(S.x[1]));
    EXPECT_EQ(S.x[2], -2.0);
    EXPECT_EQ(SparseMatrix(Matrix::zeros(2, 2)).nzmax, 1);

    Cols cols{{{2, 1.0}, {0, 5.0}}, {}, {{1, 3.0}, {1, 2.0}}};
    SparseMatrix L(3, cols);
    EXPECT_EQ(L.n, 3);
    EXPECT_EQ(pOf(L), (std::vector<int>{0, 2, 2, 4}));
    EXPECT_EQ(rowsOf(L), (std::vector<int>{0, 2, 1, 1}));  // duplicates kept, sorted by value
    EXPECT_EQ(L.x[0], 5.0);
    EXPECT_EQ(L.x[2], 2.0);
    EXPECT_EQ(cols[0][0], std::make_pair(0, 5.0));  // the caller's list comes back sorted
    EXPECT_EQ(cols[0][1], std::make_pair(2, 1.0));
}

TEST(SparseMatrixStorage, CopyAssignReleaseAndGrowth) {
    Cols cols{{{0, 1.0}, {2, 2.0}}, {{1, 3.0}}};
    SparseMatrix A(3, cols);
    SparseMatrix B(A);
    EXPECT_NE(B.x, A.x);
    EXPECT_NE(B.p, A.p);
    EXPECT_EQ(pOf(B), pOf(A));
    B.get(0, 0) = 9.0;
    EXPECT_EQ(A.x[0], 1.0);

    const double* before = A.x;
    A = A;  // self-assignment keeps everything
    EXPECT_EQ(A.x, before);
    EXPECT_EQ(A.nz, 3);

    SparseMatrix C(1, 1, 1);
    C = A;
    EXPECT_EQ(C.m, 3);
    EXPECT_EQ(rowsOf(C), rowsOf(A));

    A.release();
    EXPECT_EQ(A.m + A.n + A.nz + A.nzmax, 0);
    EXPECT_EQ(A.p, nullptr);
    SparseMatrix D(A);  // a source without storage gives a copy without storage
    EXPECT_EQ(D.p, nullptr);
    EXPECT_EQ(D.nzmax, 0);

    // Growth by max(8 slots, 20 percent), the product truncated.
    for (int full : {10, 100}) {
        Cols c1(1);
        for (int r = 0; r < full; ++r) c1[0].push_back({r, 1.0});
        SparseMatrix F(full + 1, c1);
        ASSERT_EQ(F.nzmax, full);
        F.get(full, 0) = 4.0;
        EXPECT_EQ(F.nzmax, full == 10 ? 18 : 120);
        EXPECT_EQ(F.x[full], 4.0);
        EXPECT_EQ(F.x[0], 1.0);  // old values carried over
    }
    SparseMatrix G(2, 2, 1);
    G.ensure(5);
    EXPECT_EQ(G.nzmax, 5);
    G.ensure(3);  // never shrinks
    EXPECT_EQ(G.nzmax, 5);
}

TEST(SparseMatrixAccess, GetInsertsOnlyAbsentEntriesInSortedPlace) {
    Cols empty(3);
    SparseMatrix A(3, empty);
    EXPECT_EQ(A.get(2, 0), 0.0);
    EXPECT_EQ(A.nz, 1);
    EXPECT_EQ(pOf(A), (std::vector<int>{0, 1, 1, 1}));

    // After a column-list build, get on every pattern entry returns its slot and inserts none.
    Cols cols{{{0, 1.0}, {3, 2.0}, {5, 3.0}}, {{1, 4.0}}, {{0, 5.0}, {4, 6.0}}};
    SparseMatrix B(6, cols);
    const int nz = B.nz;
    for (int c = 0; c < B.n; ++c)
        for (int k = B.p[c]; k < B.p[c + 1]; ++k) EXPECT_EQ(&B.get(B.i[k], c), &B.x[k]);
    EXPECT_EQ(B.nz, nz);
    EXPECT_TRUE(B.have(3, 0));
    EXPECT_FALSE(B.have(2, 0));

    B.get(2, 0) += 7.0;     // between rows 0 and 3
    B.get(6 - 1, 1) = 8.0;  // after the column's last row
    EXPECT_EQ(pOf(B), (std::vector<int>{0, 4, 6, 8}));
    EXPECT_EQ(rowsOf(B), (std::vector<int>{0, 2, 3, 5, 1, 5, 0, 4}));
    EXPECT_EQ(B.x[1], 7.0);
    EXPECT_EQ(B.x[5], 8.0);

    // insert_no_check puts an equal row after the existing one.
    Cols c3{{{0, 1.0}, {1, 2.0}, {3, 3.0}}};
    SparseMatrix C(4, c3);
    double& v = C.insert_no_check(1, 0, 9.0);
    EXPECT_EQ(&v, &C.x[2]);
    EXPECT_EQ(rowsOf(C), (std::vector<int>{0, 1, 1, 3}));
    EXPECT_EQ(C.x[1], 2.0);
    EXPECT_EQ(C.x[2], 9.0);
    C.insert_no_check(2, 0, C.x[0]);  // a value read from x survives the growth it causes
    EXPECT_EQ(C.x[3], 1.0);
}

TEST(SparseMatrixAccess, RandomGetsMatchADenseMirror) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> row(0, 19), col(0, 14);
    SparseMatrix A(20, 15, 1);
    Matrix D = Matrix::zeros(20, 15);
    std::set<std::pair<int, int> > touched;
    for (int t = 1; t <= 600; ++t) {
        const int r = row(rng), c = col(rng);
        A.get(r, c) += t;
        D(r, c) += t;
        touched.insert({r, c});
    }
    expectSortedCsc(A);
    EXPECT_EQ(A.nz, (int)touched.size());
    for (int r = 0; r < 20; ++r)
        for (int c = 0; c < 15; ++c) {
            EXPECT_EQ(A.have(r, c), touched.count({r, c}) == 1);
            if (A.have(r, c)) {
                EXPECT_EQ(A.get(r, c), D(r, c));
            }
        }
    EXPECT_EQ(A.nz, (int)touched.size());  // the reads above inserted nothing
}

TEST(SparseMatrixProducts, DenseProductAndItsSizeCheck) {
    Matrix D = Matrix::zeros(2, 3);
    D(0, 0) = 1;
    D(0, 2) = 2;
    D(1, 1) = 3;
    SparseMatrix S(D);
    Matrix B(3, 2);
    for (int k = 0; k < 6; ++k) B[k] = k + 1;  // [[1,2],[3,4],[5,6]]
    Matrix C = S * B;
    ASSERT_EQ(C.m, 2);
    ASSERT_EQ(C.n, 2);
    EXPECT_EQ(C(0, 0), 11);
    EXPECT_EQ(C(0, 1), 14);
    EXPECT_EQ(C(1, 0), 9);
    EXPECT_EQ(C(1, 1), 12);

    Matrix bad(2, 1);
    try {
        S* bad;
        FAIL() << "no exception";
    } catch (const char* msg) {
        EXPECT_STREQ(msg, "invalid dimensions for matrix multiplication.");
    }
}

TEST(SparseMatrixProducts, PrintMatlabWritesTheDenseRows) {
    SparseMatrix I(Matrix::eye(2));
    testing::internal::CaptureStdout();
    I.printMatlab("A");
    fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "A=[\n1.000000 0.000000 \n0.000000 1.000000 \n];\n");
}

TEST(SparseMatrixUmfsolve, IdentityAndRandomSystems) {
    SparseMatrix I(Matrix::eye(2));
    Matrix b = column({3, 4});
    Matrix x = SparseMatrix::umfsolve(I, b);
    ASSERT_EQ(x.m, 2);
    ASSERT_EQ(x.n, 1);
    EXPECT_EQ(x[0], 3.0);
    EXPECT_EQ(x[1], 4.0);

    // Random diagonally dominant (unsymmetric) and SPD systems of a few hundred unknowns. The
    // LU of such well-conditioned matrices is backward stable: residuals near 1e-15 are
    // expected, 1e-10 leaves ample room.
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
        for (int r = 0; r < n; ++r) {  // diagonal beyond the absolute row sum
            double s = 0;
            for (int c = 0; c < n; ++c)
                if (c != r && A.have(r, c)) s += std::fabs(A.get(r, c));
            A.get(r, r) = s + 1.0;
        }
        Matrix rhs(n, 1);
        for (int k = 0; k < n; ++k) rhs[k] = val(rng);
        const int nz = A.nz;
        Matrix sol = SparseMatrix::umfsolve(A, rhs);
        EXPECT_LT(relResidual(A, sol, rhs), 1e-10) << "spd " << spd;
        EXPECT_EQ(A.nz, nz);  // the solve leaves the matrix alone
    }
}

TEST(SparseMatrixUmfsolve, FailuresAreReportedOnStandardError) {
    // Singular: UMFPACK solves anyway, giving non-finite values, and says so.
    Matrix D = Matrix::zeros(2, 2);
    D(0, 0) = 1;
    D(0, 1) = 1;
    D(1, 0) = 1;
    D(1, 1) = 1;
    SparseMatrix S(D);
    Matrix b = column({1, 2});
    testing::internal::CaptureStderr();
    Matrix x = SparseMatrix::umfsolve(S, b);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "umfsolve: umfpack_di_numeric returned UMFPACK_WARNING_singular_matrix (1); "
              "umfpack_di_solve returned UMFPACK_WARNING_singular_matrix (1)\n");
    EXPECT_FALSE(std::isfinite(x[0]) && std::isfinite(x[1]));

    // A repeated row in a column is not a valid matrix: no solve, all NaN.
    Cols cols{{{0, 1.0}, {0, 1.0}}, {{1, 1.0}}};
    SparseMatrix R(2, cols);
    testing::internal::CaptureStderr();
    x = SparseMatrix::umfsolve(R, b);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "umfsolve: umfpack_di_symbolic returned UMFPACK_ERROR_invalid_matrix (-8)\n");
    EXPECT_TRUE(std::isnan(x[0]) && std::isnan(x[1]));

    // A well-posed solve prints nothing.
    SparseMatrix I(Matrix::eye(2));
    testing::internal::CaptureStderr();
    SparseMatrix::umfsolve(I, b);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(SparseMatrixDeathTest, NonSquareSolveAsserts) {
    SparseMatrix A(Matrix::eye(2, 3));
    Matrix b = column({1, 2});
    EXPECT_DEATH(SparseMatrix::umfsolve(A, b), "A.m==A.n");
}
