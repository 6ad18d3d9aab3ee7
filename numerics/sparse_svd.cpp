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

// y = A^T A x (n entries each), or c x - A^T A x when shifted; ax is m scratch entries.
void applyNormal(SparseMatrix& A, const double* x, double* y, double* ax, bool shifted, double c) {
    A.matprod(0, const_cast<double*>(x), ax);
    A.matprod(1, ax, y);
    for (int k = 0; k < A.n; ++k) {
        if (shifted) y[k] = c * x[k] - y[k];
        if (std::isnan(y[k])) std::printf("its nan\n");
    }
}

}  // namespace

Matrix SparseMatrix::svd(double& sigma, int smallest) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double c = 0.0;
    if (smallest) {
        double smax = 0.0;
        svd(smax, 0);
        std::printf("biggest is %f\n", smax);
        c = 1.1 * smax * smax;  // c - A^T A is positive definite, largest where A^T A is least
    }
    if (smallest && !std::isfinite(c)) {  // the largest value failed: no shift to work with
        sigma = nan;
        Matrix v = Matrix::zeros(n, 1);
        return v;
    }
    bool zero = true;
    for (int k = 0; k < nz; ++k) zero = zero && x[k] == 0.0;
    if (zero && n > 0) {
        // A^T A = 0: every singular value is 0, and Lanczos cannot start from a zero image.
        sigma = 0.0;
        std::printf("deleted select\n");
        Matrix v = Matrix::zeros(n, 1);
        v[0] = 1.0;
        return v;
    }
    if (n == 1) {
        // A single column: A^T A is the 1 x 1 matrix |column|^2 (ARPACK needs n >= 2).
        double lambda = 0.0;
        for (int k = p[0]; k < p[1]; ++k) lambda += x[k] * x[k];
        sigma = std::sqrt(lambda);
        std::printf("deleted select\n");
        Matrix v(1, 1);
        v[0] = 1.0;
        return v;
    }

    int ido = 0, nn = n, nev = 1, ncv = std::min(4, n), ldv = std::max(n, 1), info = 0;
    double tol = 1e-12;
    int lworkl = ncv * (ncv + 8);
    std::vector<double> resid(std::max(n, 1)), v((size_t)ldv * std::max(ncv, 1));
    std::vector<double> workd(3 * std::max(n, 1)), workl(std::max(lworkl, 1)), ax(std::max(m, 1));
    int iparam[11] = {0}, ipntr[11] = {0};
    iparam[0] = 1;     // exact shifts
    iparam[2] = 2000;  // iteration limit
    iparam[6] = 1;     // mode 1: standard problem, OP = the operator itself

    for (;;) {
        dsaupd_(&ido, "I", &nn, "LA", &nev, &tol, resid.data(), &ncv, v.data(), &ldv, iparam, ipntr,
                workd.data(), workl.data(), &lworkl, &info, 1, 2);
        if (ido == -1 || ido == 1) {
            applyNormal(*this, &workd[ipntr[0] - 1], &workd[ipntr[1] - 1], ax.data(), smallest, c);
        } else {
            if (ido != 99) std::printf("unhandled ido %d\n", ido);
            break;
        }
    }
    if (info != 0) std::printf("info is %d,ido is %d\n", info, ido);

    sigma = nan;
    if (info >= 0 && ido == 99) {
        int rvec = 1, ierr = 0;
        std::vector<int> select(ncv, 0);
        double d[1] = {nan}, shift = 0.0;
        dseupd_(&rvec, "A", select.data(), d, v.data(), &ldv, &shift, "I", &nn, "LA", &nev, &tol,
                resid.data(), &ncv, v.data(), &ldv, iparam, ipntr, workd.data(), workl.data(),
                &lworkl, &ierr, 1, 1, 2);
        if (ierr != 0)
            std::printf("ierr is %d\n", ierr);
        else if (iparam[4] >= 1)  // at least one converged Ritz value
            sigma = smallest ? std::sqrt(c - d[0]) : std::sqrt(d[0]);
    }
    std::printf("deleted select\n");

    Matrix result(n, 1);
    std::copy(v.begin(), v.begin() + n, result.data);
    return result;
}

}  // namespace lumo
