// Extreme singular value of a sparse matrix by ARPACK's implicitly restarted Lanczos iteration
// on A^T A (reverse communication: ARPACK asks, this code applies the operator).
#include "numerics/sparsematrix.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <vector>

// ARPACK's Fortran entry points: every argument by address, logicals as int, and the lengths
// of the character arguments appended by the compiler's convention.
extern "C" {
void dsaupd_(int* ido, const char* bmat, int* n, const char* which, int* nev, double* tol,
             double* resid, int* ncv, double* v, int* ldv, int* iparam, int* ipntr, double* workd,
             double* workl, int* lworkl, int* info, size_t bmat_len, size_t which_len);
void dseupd_(int* rvec, const char* howmny, int* select, double* d, double* z, int* ldz,
             double* sigma, const char* bmat, int* n, const char* which, int* nev, double* tol,
             double* resid, int* ncv, double* v, int* ldv, int* iparam, int* ipntr, double* workd,
             double* workl, int* lworkl, int* info, size_t howmny_len, size_t bmat_len,
             size_t which_len);
}

namespace lumo {

namespace {

// Why no singular value was found, on standard error; the caller then gets sigma = NaN.
void reportFailure(const SparseMatrix& A, const char* why) {
    std::fprintf(stderr,
                 "SparseMatrix::svd: no singular value of the %d x %d matrix (%s); sigma is NaN\n",
                 A.m, A.n, why);
}

// n x 1, every entry NaN: the vector of a failed call.
Matrix nanColumn(int n) {
    Matrix v(n, 1);
    v.setAll(std::numeric_limits<double>::quiet_NaN());
    return v;
}

// y = A^T A x (n entries each), or c x - A^T A x when shifted; ax is m scratch entries. False
// when an entry of y is infinite or NaN (A^T A overflowed): ARPACK must not be handed such a
// vector, since LAPACK's parameter checks inside it stop the whole program.
bool applyNormal(SparseMatrix& A, const double* x, double* y, double* ax, bool shifted, double c) {
    A.matprod(0, const_cast<double*>(x), ax);
    A.matprod(1, ax, y);
    bool finite = true;
    for (int k = 0; k < A.n; ++k) {
        if (shifted) y[k] = c * x[k] - y[k];
        if (std::isnan(y[k])) std::printf("its nan\n");
        finite = finite && std::isfinite(y[k]);
    }
    return finite;
}

// The cases ARPACK cannot take, answered directly: A^T A = 0 (Lanczos cannot start from a zero
// image; every singular value is 0) and a single column (ARPACK needs n >= 2; A^T A is the
// 1 x 1 matrix |column|^2). Returns false for every other matrix.
bool directCase(const SparseMatrix& A, double& sigma, Matrix& vec) {
    bool zero = true;
    for (int k = 0; k < A.nz; ++k) zero = zero && A.x[k] == 0.0;
    if (A.n < 1 || (A.n > 1 && !zero)) return false;
    double lambda = 0.0;
    for (int k = 0; k < A.nz; ++k) lambda += A.x[k] * A.x[k];
    sigma = std::sqrt(lambda);
    vec = Matrix::zeros(A.n, 1);
    vec[0] = 1.0;
    std::printf("deleted select\n");
    return true;
}

// ARPACK's symmetric driver for the largest eigenvalue of A^T A (of c I - A^T A when shifted):
// returns it, or NaN when the iteration fails; vec receives the first Lanczos basis vector,
// which on success is the unit eigenvector.
double largestEigenvalue(SparseMatrix& A, bool shifted, double c, Matrix& vec) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    int ido = 0, n = A.n, nev = 1, ncv = std::min(4, n), ldv = std::max(n, 1), info = 0;
    double tol = 1e-12;
    int lworkl = ncv * (ncv + 8);
    std::vector<double> resid(ldv), v((size_t)ldv * std::max(ncv, 1)), workd(3 * ldv);
    std::vector<double> workl(std::max(lworkl, 1)), ax(std::max(A.m, 1));
    int iparam[11] = {0}, ipntr[11] = {0};
    iparam[0] = 1;     // exact shifts
    iparam[2] = 2000;  // iteration limit
    iparam[6] = 1;     // mode 1: standard problem, OP = the operator itself

    for (;;) {
        dsaupd_(&ido, "I", &n, "LA", &nev, &tol, resid.data(), &ncv, v.data(), &ldv, iparam, ipntr,
                workd.data(), workl.data(), &lworkl, &info, 1, 2);
        if (ido != -1 && ido != 1) {
            if (ido != 99) std::printf("unhandled ido %d\n", ido);
            break;
        }
        if (!applyNormal(A, &workd[ipntr[0] - 1], &workd[ipntr[1] - 1], ax.data(), shifted, c)) {
            // Abandoned mid-iteration; the next call starts ARPACK afresh (ido = 0).
            reportFailure(A, "A^T A x overflows");
            std::printf("deleted select\n");
            vec = nanColumn(n);
            return nan;
        }
    }
    if (info != 0) std::printf("info is %d,ido is %d\n", info, ido);

    double lambda = nan;
    if (info >= 0 && ido == 99) {
        int rvec = 1, ierr = 0;
        std::vector<int> select(ncv, 0);
        double d[1] = {nan}, shift = 0.0;
        dseupd_(&rvec, "A", select.data(), d, v.data(), &ldv, &shift, "I", &n, "LA", &nev, &tol,
                resid.data(), &ncv, v.data(), &ldv, iparam, ipntr, workd.data(), workl.data(),
                &lworkl, &ierr, 1, 1, 2);
        if (ierr != 0)
            std::printf("ierr is %d\n", ierr);
        else if (iparam[4] >= 1)  // at least one converged Ritz value
            lambda = d[0];
    }
    std::printf("deleted select\n");
    vec = Matrix(n, 1);
    std::copy(v.begin(), v.begin() + n, vec.data);
    return lambda;
}

}  // namespace

Matrix SparseMatrix::svd(double& sigma, int smallest) {
    // Nothing infinite or NaN may reach ARPACK: LAPACK's parameter checks inside it would stop
    // the whole program (with status 0) instead of returning.
    for (int k = 0; k < nz; ++k) {
        if (!std::isfinite(x[k])) {
            reportFailure(*this, "an entry is infinite or NaN");
            sigma = std::numeric_limits<double>::quiet_NaN();
            return nanColumn(n);
        }
    }
    double c = 0.0;
    if (smallest) {
        double smax = 0.0;
        svd(smax, 0);
        std::printf("biggest is %f\n", smax);
        c = 1.1 * smax * smax;  // c - A^T A is positive definite, largest where A^T A is least
        if (!std::isfinite(c)) {
            // No shift to work with; a failed largest value has been reported already.
            if (std::isfinite(smax)) reportFailure(*this, "1.1 sigma_max^2 overflows");
            sigma = std::numeric_limits<double>::quiet_NaN();
            return nanColumn(n);
        }
    }
    Matrix vec;
    if (directCase(*this, sigma, vec)) return vec;
    const double lambda = largestEigenvalue(*this, smallest != 0, c, vec);
    // For the smallest value, c - lambda may round below 0 when A is rank deficient.
    sigma = smallest ? std::sqrt(std::max(c - lambda, 0.0)) : std::sqrt(lambda);
    return vec;
}

}  // namespace lumo
