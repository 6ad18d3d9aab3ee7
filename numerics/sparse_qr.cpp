// Sparse least squares by CXSparse's QR: the reusable factorisation CSSparseQR, getSparseQR
// and the one-shot linLeastSqQr.
#include <suitesparse/cs.h>

#include "numerics/sparse_csqr.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <limits>

namespace lumo {

namespace {

// CXSparse's compressed-column record over the matrix's own arrays (nz = -1 marks that form).
cs_di_sparse csRecord(const SparseMatrix& M) {
    cs_di_sparse r;
    r.nzmax = M.nzmax;
    r.m = M.m;
    r.n = M.n;
    r.p = M.p;
    r.i = M.i;
    r.x = M.x;
    r.nz = -1;
    return r;
}

Matrix nanColumn(int rows) {
    Matrix v(rows, 1);
    std::fill(v.data, v.data + rows, std::numeric_limits<double>::quiet_NaN());
    return v;
}

}  // namespace

SparseQR::~SparseQR() {}

CSSparseQR::CSSparseQR(const cs_di_sparse& rec) : A(rec), N(nullptr), S(nullptr), work(nullptr) {
    // Ordering 3 (AMD of A^T A) suits QR; CXSparse's QR needs at least as many rows as columns.
    if (A.m >= A.n) {
        S = cs_di_sqr(3, &A, 1);
        N = cs_di_qr(&A, S);
    }
    work = (double*)cs_di_calloc(S ? S->m2 : 1, sizeof(double));
    if (!S || !N)
        std::fprintf(stderr, "CSSparseQR: cannot factorise the %d x %d matrix\n", A.m, A.n);
}

CSSparseQR::~CSSparseQR() {
    if (work) cs_di_free(work);
    if (N) cs_di_nfree(N);
    if (S) cs_di_sfree(S);
}

Matrix CSSparseQR::solve(const Matrix& b) {
    assert(b.m * b.n >= A.m);
    if (!S || !N || !work) return nanColumn(A.n);
    // The rows CXSparse added for structurally empty ones take part in the Householder
    // products: clear them so that one solve does not leak into the next.
    std::fill(work, work + S->m2, 0.0);
    cs_di_ipvec(S->pinv, b.data, work, A.m);                             // work = P b
    for (int k = 0; k < A.n; ++k) cs_di_happly(N->L, k, N->B[k], work);  // work = Q^T P b
    cs_di_usolve(N->U, work);                                            // work = R \ work
    Matrix sol(A.n, 1);
    cs_di_ipvec(S->q, work, sol.data, A.n);  // undo the column ordering
    return sol;
}

SparseQR* SparseMatrix::getSparseQR() const {
    return new CSSparseQR(csRecord(*this));
}

Matrix SparseMatrix::linLeastSqQr(Matrix& b, double, int) {
    assert(b.m * b.n >= m);
    // cs_di_qrsol writes the n-entry solution over the right-hand side; when m < n it returns
    // the minimum-norm solution, so the buffer needs max(m, n) entries.
    Matrix X = Matrix::zeros(std::max(m, n), 1);
    std::copy(b.data, b.data + m, X.data);
    cs_di_sparse rec = csRecord(*this);
    if (!cs_di_qrsol(3, &rec, X.data)) {
        std::fprintf(stderr, "linLeastSqQr: sparse QR solve failed for the %d x %d matrix\n", m, n);
        return nanColumn(n);
    }
    return X.submatrix(0, 0, n, 1);
}

}  // namespace lumo
