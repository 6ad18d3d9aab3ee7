// Levenberg-Marquardt fitting on cminpack: the C-callback routines lmder and lmdif and their
// Fortran-style forms lmder_ and lmdif_ (every scalar by address).
#include <cminpack-1/minpack.h>

#include <vector>

#include "numerics/matrix.h"

namespace lumo {

namespace {

// Work arrays shared by the four forms. fjac is m x n column-major (ldfjac = m); ipvt holds
// the n column permutation indices (one spare so that n = 0 still has storage); without a
// caller scaling, diag is allocated here and mode 1 lets the routine choose it.
struct LmWorkspace {
    int m, n, ldfjac;
    Matrix fjac, qtf, wa1, wa2, wa3, wa4;
    std::vector<int> ipvt;
    std::vector<double> ownDiag;
    double* diag;
    int mode;
    int nfev = 0, njev = 0, info = 0;

    LmWorkspace(const Matrix& x, const Matrix& fvec, double* callerDiag)
        : m(fvec.m * fvec.n),
          n(x.m * x.n),
          ldfjac(m),
          fjac(m, n),
          qtf(n, 1),
          wa1(n, 1),
          wa2(n, 1),
          wa3(n, 1),
          wa4(m, 1),
          ipvt(static_cast<size_t>(n) + 1) {
        if (callerDiag) {
            diag = callerDiag;
            mode = 2;
        } else {
            ownDiag.assign(static_cast<size_t>(n) + 1, 0.0);
            diag = ownDiag.data();
            mode = 1;
        }
    }
};

// The Fortran-style routines give their callback no user pointer, so the caller's by-reference
// callback is reached through these (saved and restored around each call, which keeps nested
// fits working; single thread).
Matrix::lm_fcnder_ref_t s_fcnderRef = nullptr;
Matrix::lm_fcn_ref_t s_fcnRef = nullptr;

void fcnderTrampoline(const int* m, const int* n, const double* x, double* fvec, double* fjac,
                      const int* ldfjac, int* iflag) {
    s_fcnderRef(*m, *n, const_cast<double*>(x), fvec, fjac, *ldfjac, *iflag);
}

void fcnTrampoline(const int* m, const int* n, const double* x, double* fvec, int* iflag) {
    s_fcnRef(*m, *n, const_cast<double*>(x), fvec, *iflag);
}

}  // namespace

int Matrix::lsqnonlin(lm_fcnder_t fcn, void* p, Matrix& x, Matrix& fvec, double ftol, double xtol,
                      double gtol, int maxfev, double* diag, double factor, int nprint) {
    LmWorkspace w(x, fvec, diag);
    return lmder(fcn, p, w.m, w.n, x.data, fvec.data, w.fjac.data, w.ldfjac, ftol, xtol, gtol,
                 maxfev, w.diag, w.mode, factor, nprint, &w.nfev, &w.njev, w.ipvt.data(),
                 w.qtf.data, w.wa1.data, w.wa2.data, w.wa3.data, w.wa4.data);
}

int Matrix::lsqnonlin(lm_fcnder_ref_t fcn, Matrix& x, Matrix& fvec, double ftol, double xtol,
                      double gtol, int maxfev, double* diag, double factor, int nprint) {
    LmWorkspace w(x, fvec, diag);
    lm_fcnder_ref_t saved = s_fcnderRef;
    s_fcnderRef = fcn;
    lmder_(fcnderTrampoline, &w.m, &w.n, x.data, fvec.data, w.fjac.data, &w.ldfjac, &ftol, &xtol,
           &gtol, &maxfev, w.diag, &w.mode, &factor, &nprint, &w.info, &w.nfev, &w.njev,
           w.ipvt.data(), w.qtf.data, w.wa1.data, w.wa2.data, w.wa3.data, w.wa4.data);
    s_fcnderRef = saved;
    return w.info;
}

int Matrix::lsqnonlin(lm_fcn_t fcn, void* p, Matrix& x, Matrix& fvec, double ftol, double xtol,
                      double gtol, int maxfev, double epsfcn, double* diag, double factor,
                      int nprint) {
    LmWorkspace w(x, fvec, diag);
    return lmdif(fcn, p, w.m, w.n, x.data, fvec.data, ftol, xtol, gtol, maxfev, epsfcn, w.diag,
                 w.mode, factor, nprint, &w.nfev, w.fjac.data, w.ldfjac, w.ipvt.data(), w.qtf.data,
                 w.wa1.data, w.wa2.data, w.wa3.data, w.wa4.data);
}

int Matrix::lsqnonlin(lm_fcn_ref_t fcn, Matrix& x, Matrix& fvec, double ftol, double xtol,
                      double gtol, int maxfev, double epsfcn, double* diag, double factor,
                      int nprint) {
    LmWorkspace w(x, fvec, diag);
    lm_fcn_ref_t saved = s_fcnRef;
    s_fcnRef = fcn;
    lmdif_(fcnTrampoline, &w.m, &w.n, x.data, fvec.data, &ftol, &xtol, &gtol, &maxfev, &epsfcn,
           w.diag, &w.mode, &factor, &nprint, &w.info, &w.nfev, w.fjac.data, &w.ldfjac,
           w.ipvt.data(), w.qtf.data, w.wa1.data, w.wa2.data, w.wa3.data, w.wa4.data);
    s_fcnRef = saved;
    return w.info;
}

}  // namespace lumo
