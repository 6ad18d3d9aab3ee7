// Raw-array inverse, ordered product, the LAPACK SVD call and the 3 x 3 rotation kernels.
#include "numerics/small_kernels.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <utility>

extern "C" void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
                        const int* lda, double* s, double* u, const int* ldu, double* vt,
                        const int* ldvt, double* work, const int* lwork, int* info, size_t jobu_len,
                        size_t jobvt_len);
extern "C" void dgelss_(const int* m, const int* n, const int* nrhs, double* a, const int* lda,
                        double* b, const int* ldb, double* s, const double* rcond, int* rank,
                        double* work, const int* lwork, int* info);

namespace lumo {

void gaussJordanInverse(double* A, double* I, int n) {
    for (int c = 0; c < n; ++c) {
        int pivot = c;
        double best = std::fabs(A[n * c + c]);
        for (int r = c + 1; r < n; ++r) {
            if (std::fabs(A[n * r + c]) > best) {
                best = std::fabs(A[n * r + c]);
                pivot = r;
            }
        }
        if (pivot != c) {
            for (int j = 0; j < n; ++j) {
                std::swap(A[n * c + j], A[n * pivot + j]);
                std::swap(I[n * c + j], I[n * pivot + j]);
            }
        }
        const double scale = 1.0 / A[n * c + c];
        for (int j = 0; j < n; ++j) {
            A[n * c + j] *= scale;
            I[n * c + j] *= scale;
        }
        for (int r = 0; r < n; ++r) {
            if (r == c) continue;
            const double f = A[n * r + c];
            for (int j = 0; j < n; ++j) {
                A[n * r + j] -= f * A[n * c + j];
                I[n * r + j] -= f * I[n * c + j];
            }
        }
    }
}

void multiplyOrdered(const double* A, const double* B, double* C, int m, int k, int p) {
    for (int i = 0; i < m; ++i) {
        const double* row = A + i * k;
        for (int j = 0; j < p; ++j) {
            double sum = 0.0;
            for (int l = 0; l < k; ++l) sum += row[l] * B[l * p + j];
            C[i * p + j] = sum;
        }
    }
}

bool anyNonFinite(const double* data, size_t count) {
    for (size_t k = 0; k < count; ++k)
        if (!std::isfinite(data[k])) return true;
    return false;
}

namespace {

// Leading dimensions and workspace of the dgelss call. Leading dimensions are at least 1, or
// LAPACK rejects an empty system (and the reference library then stops the process). The
// right-hand side holds max(1, rows, cols) entries, since dgelss writes the cols-entry solution
// over it. dgelss chooses its path by the workspace it is given: 2 (3 min + max(2 min, max, 1)).
struct LeastSquaresLayout {
    int cols, lda, ldb, mn, lwork;
    LeastSquaresLayout(int rows, int cols_)
        : cols(cols_),
          lda(std::max(1, rows)),
          ldb(std::max(lda, cols)),
          mn(std::min(rows, cols)),
          lwork(std::max(1, 2 * (3 * mn + std::max(2 * mn, std::max(rows, cols))))) {}
    size_t scratch() const {
        return size_t(lda) * size_t(cols) + size_t(ldb) + size_t(std::max(1, mn)) + size_t(lwork);
    }
};

}  // namespace

size_t leastSquaresScratch(int rows, int cols) {
    return LeastSquaresLayout(rows, cols).scratch();
}

void leastSquares(int rows, int cols, const double* A, const double* b, double* x,
                  double* scratch) {
    const LeastSquaresLayout L(rows, cols);
    // scratch: A column-major (lda x cols), the right-hand side (ldb), the singular values,
    // then dgelss's workspace.
    double* a = scratch;
    double* rhs = a + size_t(L.lda) * size_t(cols);
    double* s = rhs + L.ldb;
    double* work = s + std::max(1, L.mn);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) a[size_t(j) * size_t(L.lda) + i] = A[size_t(i) * cols + j];
    for (int i = 0; i < L.ldb; ++i) rhs[i] = i < rows ? b[i] : 0.0;
    if (anyNonFinite(A, size_t(rows) * size_t(cols)) || anyNonFinite(b, size_t(rows))) {
        for (int j = 0; j < cols; ++j) x[j] = std::numeric_limits<double>::quiet_NaN();
        return;
    }
    const int nrhs = 1;
    const double rcond = -1.0;
    int rank = 0, info = 0;
    dgelss_(&rows, &cols, &nrhs, a, &L.lda, rhs, &L.ldb, s, &rcond, &rank, work, &L.lwork, &info);
    for (int j = 0; j < cols; ++j) x[j] = rhs[j];
}

void leastSquaresSmall(int rows, int cols, const double* A, const double* b, double* x) {
    double scratch[64];  // 4 x 4: 16 + 4 + 4 + 40
    assert(rows >= 1 && rows <= 4 && cols >= 1 && cols <= 4);
    leastSquares(rows, cols, A, b, x, scratch);
}

int svdWorkSize(int rows, int cols) {
    const int mn = std::min(rows, cols), mx = std::max(rows, cols);
    return 2 * std::max(3 * mn + mx, 5 * mn);
}

int svdColumnMajor(int rows, int cols, double* a, double* S, double* Ucol, double* VTcol,
                   double* work, int lwork) {
    int info = 0;
    dgesvd_("A", "A", &rows, &cols, a, &rows, S, Ucol, &rows, VTcol, &cols, work, &lwork, &info, 1,
            1);
    return info;
}

void svdRotation3(const double F[9], double R[9]) {
    // LAPACK's SVD may never return on infinite or NaN entries (a degenerate rest shape, a body
    // that blew up): a NaN rotation instead, which makes a step's solve fail and be skipped.
    if (anyNonFinite(F, 9)) {
        std::fill(R, R + 9, std::numeric_limits<double>::quiet_NaN());
        return;
    }
    // F^T row-major is F column-major, the layout dgesvd takes.
    double a[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) a[3 * j + i] = F[3 * i + j];
    const int lwork = 30;  // svdWorkSize(3, 3)
    double S[3], Ucol[9], V[9], work[lwork];
    const int info = svdColumnMajor(3, 3, a, S, Ucol, V, work, lwork);
    if (info != 0) std::fprintf(stderr, "error in Lsvd (returned %d)\n", info);
    // R = U V^T with U(i, k) = Ucol[3k + i] and V(j, k) = V[3j + k].
    double U[9], Vt[9];
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 3; ++k) {
            U[3 * i + k] = Ucol[3 * k + i];
            Vt[3 * k + i] = V[3 * i + k];
        }
    multiplyOrdered(U, Vt, R, 3, 3, 3);
}

namespace {

// Cofactor matrix of the 3 x 3 row-major X (X^-T = cof / det) and the determinant.
double cofactors(const double X[9], double cof[9]) {
    cof[0] = X[4] * X[8] - X[5] * X[7];
    cof[1] = X[5] * X[6] - X[3] * X[8];
    cof[2] = X[3] * X[7] - X[4] * X[6];
    cof[3] = X[2] * X[7] - X[1] * X[8];
    cof[4] = X[0] * X[8] - X[2] * X[6];
    cof[5] = X[1] * X[6] - X[0] * X[7];
    cof[6] = X[1] * X[5] - X[2] * X[4];
    cof[7] = X[2] * X[3] - X[0] * X[5];
    cof[8] = X[0] * X[4] - X[1] * X[3];
    return X[0] * cof[0] + X[1] * cof[1] + X[2] * cof[2];
}

double squaredNorm(const double X[9]) {
    double s = 0.0;
    for (int k = 0; k < 9; ++k) s += X[k] * X[k];
    return s;
}

}  // namespace

bool polarRotation3(const double F[9], double R[9]) {
    double X[9], cof[9];
    for (int k = 0; k < 9; ++k) X[k] = F[k];
    const double norm2 = squaredNorm(X);
    double det = cofactors(X, cof);
    // Also false for NaN or infinite entries.
    if (!(std::isfinite(norm2) && det > 1e-6 * norm2 * std::sqrt(norm2))) {
        svdRotation3(F, R);
        return false;
    }
    // Scaling by g = (|X^-1| / |X|)^(1/2) equalises the extreme singular values early on; near
    // convergence it is about 1 and is dropped, keeping the iteration quadratic.
    bool scaled = true;
    for (int iter = 0; iter < 32; ++iter) {
        double g = 1.0;
        if (scaled) g = std::sqrt(std::sqrt(squaredNorm(cof) / (det * det * squaredNorm(X))));
        const double a = 0.5 * g, b = 0.5 / (g * det);
        double change = 0.0;
        for (int k = 0; k < 9; ++k) {
            const double next = a * X[k] + b * cof[k];
            change += (next - X[k]) * (next - X[k]);
            X[k] = next;
        }
        // An update of size d leaves an error of about d^2: 1e-9 is below rounding.
        if (change <= 1e-18) {
            for (int k = 0; k < 9; ++k) R[k] = X[k];
            return true;
        }
        if (change < 1e-4) scaled = false;
        det = cofactors(X, cof);
        if (!(det > 0.0)) break;
    }
    svdRotation3(F, R);
    return false;
}

}  // namespace lumo
