// Allocation-free dense kernels on raw row-major arrays, shared by lumo::Matrix and the
// simulation's per-element work so that both compute the same bits.
#pragma once

#include <cstddef>

namespace lumo {

// Gauss-Jordan inversion with partial pivoting of the n x n row-major A: I must hold the n x n
// identity on entry and holds A^-1 on return; A is reduced to (about) the identity. The pivot
// of column c is the largest |A(r, c)| for r >= c, the first one on ties. A singular A gives
// infinite or NaN elements.
void gaussJordanInverse(double* A, double* I, int n);

// C (m x p) = A (m x k) B (k x p), all row-major; every element is summed from 0.0 in
// increasing k. C must not alias A or B.
void multiplyOrdered(const double* A, const double* B, double* C, int m, int k, int p);

// True when one of the first `count` entries of data is infinite or NaN. LAPACK's SVD (dbdsqr,
// under dgesvd, dgesdd and dgelss) may iterate forever on such a matrix, so every SVD and
// least-squares call checks its operands with this first.
bool anyNonFinite(const double* data, size_t count);

// Workspace size (doubles) that lumo hands LAPACK's dgesvd for a rows x cols matrix.
int svdWorkSize(int rows, int cols);

// Full SVD by LAPACK's dgesvd ("A", "A") of the column-major rows x cols matrix a (overwritten):
// S gets the min(rows, cols) singular values, descending; Ucol the column-major rows x rows U;
// VTcol the column-major cols x cols V^T (read row-major, that is V). work holds lwork doubles.
// Returns LAPACK's info.
int svdColumnMajor(int rows, int cols, double* a, double* S, double* Ucol, double* VTcol,
                   double* work, int lwork);

// Doubles of scratch that leastSquares needs for a rows x cols system.
size_t leastSquaresScratch(int rows, int cols);

// Minimum-norm least-squares solution of A x = b by LAPACK's dgelss, the rank decided by machine
// precision (rcond -1): A row-major rows x cols, b rows entries, x (out) cols entries; wide
// systems get the minimum-norm exact solution. scratch holds leastSquaresScratch(rows, cols)
// doubles. An A or b with an infinite or NaN entry (on which LAPACK's SVD may iterate forever)
// gives an all-NaN x without calling LAPACK. Allocates nothing and touches no shared state, so
// it may run on several threads at once.
void leastSquares(int rows, int cols, const double* A, const double* b, double* x, double* scratch);

// The same for systems of at most 4 x 4, with the scratch on the stack.
void leastSquaresSmall(int rows, int cols, const double* A, const double* b, double* x);

// Rotation part R = U V^T of the 3 x 3 row-major F from its SVD F = U diag(S) V^T, with the
// arithmetic of lumo::Matrix::svd followed by U * V.transpose(). A non-zero LAPACK status
// prints "error in Lsvd (returned <info>)" on standard error, as Matrix::svd does. When F has
// a negative determinant R is a reflection. An F with an infinite or NaN entry gives an all-NaN R
// without calling LAPACK.
void svdRotation3(const double F[9], double R[9]);

// The orthogonal polar factor R of the 3 x 3 row-major F (F = R H with H symmetric positive
// definite), which equals U V^T for every SVD of F. Computed by the scaled Newton iteration
// X <- (g X + X^-T / g) / 2 from X = F; nearly singular or inverted F (det F <= 1e-6 |F|^3,
// Frobenius norm), non-finite F, or no convergence within 32 iterations fall back to
// svdRotation3. Returns true when the iteration was used, false on the fallback.
bool polarRotation3(const double F[9], double R[9]);

}  // namespace lumo
