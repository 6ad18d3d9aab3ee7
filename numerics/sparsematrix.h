// Compressed-sparse-column matrix of doubles with its direct solve (UMFPACK), sparse least
// squares (CXSparse QR, LSQR, conjugate gradients), Gauss-Seidel and a tridiagonal solve.
#pragma once

#include <utility>
#include <vector>

#include "numerics/lsqr.h"
#include "numerics/matrix.h"
#include "numerics/vec3.h"

namespace lumo {

// A reusable least-squares factorisation of an m x n matrix (m >= n).
class SparseQR {
  public:
    virtual ~SparseQR();
    // Least-squares solution x (n x 1) of A x = b for b with m entries.
    virtual Matrix solve(const Matrix& b) = 0;
};

// An m x n sparse matrix in compressed-sparse-column form, the layout UMFPACK and CXSparse take
// as is: the entries of column j occupy slots p[j] .. p[j+1]-1 of i (row index) and x (value),
// rows ascending within a column. p has n + 1 entries, p[0] = 0 and p[n] = nz. A value type:
// copies own separate arrays. Entries are never removed and the capacity never shrinks.
class SparseMatrix {
  public:
    int m;      // rows
    int n;      // columns
    int nzmax;  // capacity of x and i
    int nz;     // stored entries, = p[n]
    double* x;  // entry values, nzmax slots
    int* i;     // entry row indices, nzmax slots
    int* p;     // column starts, n + 1 entries

    // m x n without entries, room for max(cap, 1).
    SparseMatrix(int m, int n, int cap);
    // Every element of A that is not exactly 0.0 (NaN included) becomes an entry.
    SparseMatrix(const Matrix& A);
    // m x cols.size(): column j holds the (row, value) pairs of cols[j]. Each list is sorted in
    // place (by row, then value). Pairs with the same row are all kept, so callers give each
    // (row, column) at most once; the solvers need distinct rows within a column.
    SparseMatrix(int m, std::vector<std::vector<std::pair<int, double> > >& cols);
    SparseMatrix(const SparseMatrix& o);
    SparseMatrix& operator=(const SparseMatrix& o);
    ~SparseMatrix();

    // Frees the arrays and sets all seven fields to 0.
    void release();
    // Grows the capacity to cap when it is smaller (never shrinks); creates a zeroed p when
    // there is none.
    void ensure(int cap);

    // Whether column col stores an entry with that row.
    bool have(int row, int col) const;
    // The value of entry (row, col), inserted as 0.0 at its sorted place when absent. Any
    // insertion invalidates references and pointers into x.
    double& get(int row, int col);
    // Inserts (row, col, v) after every entry of the column with a row <= row, without looking
    // for an existing one; grows by max(8 slots, 20 percent) when full.
    double& insert_no_check(int row, int col, const double& v);

    // This (m x n) times B (n x k): m x k. Throws the C string "invalid dimensions for matrix
    // multiplication." when n != B.m.
    Matrix operator*(const Matrix& B) const;
    // Writes the matrix densely to standard output as "<name>=[ ... ];" for MATLAB.
    void printMatlab(const char* name) const;

    // Solves A x = b (A square n x n, b n x 1) by UMFPACK's LU, handing it A's own arrays.
    // A failed or singular factorisation is reported on standard error in one line naming the
    // UMFPACK status; x is then what UMFPACK produced (Inf/NaN for a singular matrix), or all
    // NaN when the solve could not run.
    static Matrix umfsolve(SparseMatrix& A, Matrix& b);

    // --- products used by the iterations (x and y are raw arrays) -----------------------------
    // mode 0: y (m) += A x (n); otherwise x (n) += A^T y (m).
    void lsqr_vec_prod_add(long mode, double* x, double* y);
    // trans 0: y (m) = A x (n); otherwise y (n) = A^T x (m).
    void matprod(int trans, double* x, double* y);

    // --- least squares and iterations; every result is n x 1, b is m x 1 ----------------------
    // A new QR factorisation (CXSparse) over this matrix's arrays, which must outlive it; the
    // caller deletes it.
    SparseQR* getSparseQR() const;
    // Least squares by CXSparse's QR solve (minimum norm when m < n). The trailing arguments
    // are unused.
    Matrix linLeastSqQr(Matrix& b, double tol, int maxIter);
    // Least squares by LSQR. The trailing arguments are unused.
    Matrix lsqr(Matrix& b, double tol, int maxIter);
    // Least squares by conjugate gradients on the normal equations with exact line search;
    // stops when a step is shorter than tol or after maxIter iterations.
    Matrix linLeastSq(Matrix& b, double tol, int maxIter);
    // Gauss-Seidel sweeps for a square system until the update norm is below tol or after
    // maxIter sweeps. A row without a diagonal entry divides by 1e-5.
    Matrix gaussSeidel(Matrix& b, double tol, int maxIter);
    // Largest singular value (smallest when `smallest` != 0) in sigma, by ARPACK's Lanczos
    // iteration on A^T A; returns the matching right singular vector (n x 1, unit length).
    // Returns whatever the matrix. sigma is NaN when the iteration fails, and the failure is
    // printed: ARPACK's status on standard output ("info is %d,ido is %d"), or, when nothing
    // finite can be handed to ARPACK (an infinite or NaN entry, A^T A x overflowing, the shift
    // 1.1 sigma_max^2 overflowing), one line on standard error, "SparseMatrix::svd: no singular
    // value of the m x n matrix (reason); sigma is NaN", and the vector is all NaN.
    Matrix svd(double& sigma, int smallest);

  private:
    double& insertAt(int k, int row, int col, double v);
};

// Solves a tridiagonal n x n system, n = abc.size(): row r has the sub-diagonal abc[r].x, the
// diagonal abc[r].y and the super-diagonal abc[r].z (abc[0].x and abc[n-1].z unused); d has n
// entries. Thomas algorithm without pivoting: a zero pivot gives Inf/NaN.
Matrix triDiagSolve(const std::vector<Vec3<double> >& abc, const Matrix& d);

}  // namespace lumo

// The LSQR product callback for a lumo::SparseMatrix passed as prod: mode 0 y += A x,
// otherwise x += A^T y.
void lsqr_vec_prod(long mode, DOUBLE_VECTOR* x, DOUBLE_VECTOR* y, void* prod);
