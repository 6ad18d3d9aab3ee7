// CSSparseQR: the least-squares QR factorisation of a sparse matrix on CXSparse.
// Include <suitesparse/cs.h> before this header, and only from .cpp files: cs.h defines macros
// with short names (cs, CS_INT, ...).
#pragma once

#ifndef CS_VER
#error "include <suitesparse/cs.h> before numerics/sparse_csqr.h"
#endif

#include "numerics/sparsematrix.h"

namespace lumo {

// Factorises A (m x n, m >= n) once, so that solve can be repeated for many right-hand sides.
// A is a shallow copy of the caller's compressed-column record: the arrays stay the caller's
// and must outlive this object. A matrix that CXSparse cannot factorise (m < n, not in
// compressed-column form, out of memory) is reported on standard error; solve then returns NaN.
class CSSparseQR : public SparseQR {
  public:
    cs_di_sparse A;  // the caller's record (arrays not owned)
    cs_din* N;       // numeric factors: Householder vectors, betas, R
    cs_dis* S;       // symbolic analysis: row and column permutations
    double* work;    // S->m2 doubles (1 when S is null)

    explicit CSSparseQR(const cs_di_sparse& A);
    ~CSSparseQR() override;
    // Least-squares solution (A.n x 1) for b with A.m entries.
    Matrix solve(const Matrix& b) override;

  private:
    CSSparseQR(const CSSparseQR&) = delete;
    CSSparseQR& operator=(const CSSparseQR&) = delete;
};

}  // namespace lumo
