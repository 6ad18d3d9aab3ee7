// Matrix members that delegate to LAPACK: symmetric eigen-decomposition, SVD (two drivers), QR,
// LU inverse and the two dense least-squares solves.
//
// LAPACK works column-major, so every member hands it the transpose() of its operand (whose
// row-major buffer is the column-major form of the operand) and transposes column-major results
// back. The caller's matrices are never overwritten.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <vector>

#include "numerics/matrix.h"
#include "numerics/small_kernels.h"

extern "C" {
// Fortran entry points; every argument by address, character lengths passed last.
void dsyev_(const char* jobz, const char* uplo, const int* n, double* a, const int* lda, double* w,
            double* work, const int* lwork, int* info, size_t jobz_len, size_t uplo_len);
void dgesdd_(const char* jobz, const int* m, const int* n, double* a, const int* lda, double* s,
             double* u, const int* ldu, double* vt, const int* ldvt, double* work, const int* lwork,
             int* iwork, int* info, size_t jobz_len);
void dgglse_(const int* m, const int* n, const int* p, double* a, const int* lda, double* b,
             const int* ldb, double* c, double* d, double* x, double* work, const int* lwork,
             int* info);
void dgeqr2_(const int* m, const int* n, double* a, const int* lda, double* tau, double* work,
             int* info);
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgetri_(const int* n, double* a, const int* lda, int* ipiv, double* work, const int* lwork,
             int* info);
}

namespace lumo {

namespace {

// Leading dimensions must be at least 1 even for empty matrices, or LAPACK rejects the call
// (and the reference library then stops the process).
int lead(int rows) {
    return std::max(1, rows);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

void Matrix::eigSym(Matrix& V, Matrix& lambda, int) const {
    // Local sizes: an output argument may be this very matrix.
    const int rows = m, cols = n;
    if (rows != cols) throw size_mismatch();
    Matrix A = transpose();
    lambda = Matrix(cols, 1);
    Matrix work(1, 1);
    int lwork = -1;
    int info = 0;
    const int lda = lead(cols);
    dsyev_("V", "U", &cols, A.data, &lda, lambda.data, work.data, &lwork, &info, 1, 1);
    lwork = static_cast<int>(work[0]);
    work = Matrix(lwork, 1);
    dsyev_("V", "U", &cols, A.data, &lda, lambda.data, work.data, &lwork, &info, 1, 1);
    V = A.transpose();
}

namespace {

// The frame shared by the two SVD drivers: output shapes, the empty case and U transposed back.
// driver(rows, cols, A, S, Ut, V) runs LAPACK on A, the column-major copy of M, and returns its
// info. LAPACK writes U column-major into Ut (transposed afterwards) and V^T column-major into
// V, which read row-major is V itself. A non-zero info prints "error in <name> (returned
// <info>)" on standard error. A matrix with an infinite or NaN entry is not handed to LAPACK:
// U, S and V come back in their usual shapes filled with NaN, and the failure is reported as
// LAPACK reports an invalid argument, info = -argA (the driver's argument position of A).
template <class Driver>
void svdFrame(const Matrix& M, Matrix& U, Matrix& S, Matrix& V, const char* name, int argA,
              Driver driver) {
    // Local sizes: an output argument may be M itself.
    const int rows = M.m, cols = M.n;
    const int mn = std::min(rows, cols);
    Matrix A = M.transpose();
    S = Matrix(mn, 1);
    Matrix Ut(rows, rows);
    V = Matrix(cols, cols);
    if (mn == 0) {
        // Nothing to factor: any orthogonal pair works, take the identities.
        U = Matrix::eye(rows);
        V = Matrix::eye(cols);
        return;
    }
    int info = -argA;
    if (anyNonFinite(A.data, size_t(rows) * size_t(cols))) {
        S.setAll(kNaN);
        Ut.setAll(kNaN);
        V.setAll(kNaN);
    } else {
        info = driver(rows, cols, A, S, Ut, V);
    }
    if (info != 0) std::fprintf(stderr, "error in %s (returned %d)\n", name, info);
    U = Ut.transpose();
}

}  // namespace

void Matrix::svd(Matrix& U, Matrix& S, Matrix& V) const {
    // dgesvd(jobu, jobvt, m, n, a, ...): A is argument 5.
    svdFrame(*this, U, S, V, "Lsvd", 5,
             [](int rows, int cols, Matrix& A, Matrix& S, Matrix& Ut, Matrix& V) {
                 const int lwork = svdWorkSize(rows, cols);
                 Matrix work(lwork, 1);
                 return svdColumnMajor(rows, cols, A.data, S.data, Ut.data, V.data, work.data,
                                       lwork);
             });
}

void Matrix::svdLarge(Matrix& U, Matrix& S, Matrix& V) const {
    // dgesdd(jobz, m, n, a, ...): A is argument 4.
    svdFrame(*this, U, S, V, "LsvdLarge", 4,
             [](int rows, int cols, Matrix& A, Matrix& S, Matrix& Ut, Matrix& V) {
                 const int mn = std::min(rows, cols), mx = std::max(rows, cols);
                 int lwork = 2 * (std::max(mx, 4 * mx * mx + 4 * mx) + mn * mn);
                 Matrix work(lwork, 1);
                 std::vector<int> iwork(8 * static_cast<size_t>(mn));
                 int info = 0;
                 dgesdd_("A", &rows, &cols, A.data, &rows, S.data, Ut.data, &rows, V.data, &cols,
                         work.data, &lwork, iwork.data(), &info, 1);
                 return info;
             });
}

int Matrix::qr(Matrix& Q, Matrix& R) const {
    // Local sizes: an output argument may be this very matrix.
    const int rows = m, cols = n;
    const int mn = std::min(rows, cols);
    Matrix A = transpose();
    Matrix tau(mn, 1);
    Matrix work(cols, 1);
    int info = 0;
    const int lda = lead(rows);
    dgeqr2_(&rows, &cols, A.data, &lda, tau.data, work.data, &info);
    if (info < 0) {
        std::printf("argument %d to dgeqr2 was bad\n", -info);
        return 0;
    }
    A = A.transpose();
    Q = eye(rows, rows);
    R = zeros(rows, cols);
    for (int i = 0; i < mn; ++i)
        for (int j = i; j < cols; ++j) R(i, j) = A(i, j);
    // Q = H(0) H(1) ... H(mn-1), H(k) = I - tau[k] v v^T with v = (0.., 1, A(k+1.., k)).
    for (int k = 0; k < mn; ++k) {
        Matrix v = zeros(rows, 1);
        v[k] = 1.0;
        for (int i = k + 1; i < rows; ++i) v[i] = A(i, k);
        Matrix H = eye(rows, rows);
        H -= (v * v.transpose()) * tau[k];
        Q = Q * H;
    }
    return 1;
}

Matrix Matrix::Linverse() const {
    if (m != n) {
        std::printf("trying to invert non-square matrix\n");
        return Matrix();
    }
    // The row-major buffer is the column-major transpose, and inv(A^T) = inv(A)^T, so the
    // buffer is factored and inverted as it is.
    Matrix R = copy();
    std::vector<int> ipiv(std::max(1, n));
    int info = 0;
    const int lda = lead(n);
    dgetrf_(&m, &n, R.data, &lda, ipiv.data(), &info);
    if (info > 0) {
        // Exactly singular: dgetri would leave the LU factors in place of an inverse.
        R.setAll(std::numeric_limits<double>::quiet_NaN());
        return R;
    }
    double w = 0.0;
    int lwork = -1;
    dgetri_(&n, R.data, &lda, ipiv.data(), &w, &lwork, &info);
    lwork = std::max(1, static_cast<int>(w));
    std::vector<double> work(lwork);
    dgetri_(&n, R.data, &lda, ipiv.data(), work.data(), &lwork, &info);
    return R;
}

Matrix Matrix::linLeastSq(const Matrix& A, const Matrix& B) {
    // Only b, the first column of B, is solved for, and only its first A.m rows are read.
    if (B.m < A.m || B.n < 1) throw size_mismatch(A, B);
    Matrix b(A.m, 1), x(A.n, 1);
    for (int i = 0; i < A.m; ++i) b[i] = B(i, 0);
    Matrix scratch(int(leastSquaresScratch(A.m, A.n)), 1);
    leastSquares(A.m, A.n, A.data, b.data, x.data, scratch.data);
    return x;
}

Matrix Matrix::linLeastSq(const Matrix& A, const Matrix& c, const Matrix& B, const Matrix& d) {
    // dgglse reads the first A.m entries of c and the first B.m of d (in column order: those of
    // the transposes' buffers), and needs equal column counts and B.m <= A.n <= A.m + B.m
    // (otherwise the problem has no unique solution).
    if (B.n != A.n || c.m * c.n < A.m || d.m * d.n < B.m || B.m > A.n || A.n > A.m + B.m)
        throw size_mismatch(A, B);
    Matrix At = A.transpose(), Bt = B.transpose(), ct = c.transpose(), dt = d.transpose();
    Matrix x(A.n, 1);
    Matrix work(1, 1);
    int lwork = -1;
    int info = 0;
    const int lda = lead(A.m), ldb = lead(B.m);
    dgglse_(&A.m, &A.n, &B.m, At.data, &lda, Bt.data, &ldb, ct.data, dt.data, x.data, work.data,
            &lwork, &info);
    lwork = static_cast<int>(work[0]);
    work = Matrix(lwork, 1);
    dgglse_(&A.m, &A.n, &B.m, At.data, &lda, Bt.data, &ldb, ct.data, dt.data, x.data, work.data,
            &lwork, &info);
    if (info != 0) {
        // 1: rank(B) < B.m, 2: rank([A; B]) < A.n. Either way the problem has no unique
        // solution and dgglse leaves x unwritten.
        std::fprintf(stderr, "error in LlinLeastSq (returned %d)\n", info);
        x.setAll(kNaN);
    }
    return x;
}

}  // namespace lumo
