// Dense row-major matrix of doubles with reference-counted shared storage, plus its LAPACK
// decompositions, least squares, Levenberg-Marquardt fitting and rotation conversions.
#pragma once

#include <atomic>
#include <exception>

namespace lumo {

// A small handle (counter, rows, columns, element pointer) on an m x n block of doubles stored
// row-major: element (i, j) lives at data[i * n + j]. Copies share the block (a write through one
// handle is seen by all); copy() makes an independent matrix. No member checks indices.
// Whole-mesh vectors are 3n x 1 columns with vertex i at rows 3i, 3i+1, 3i+2.
class Matrix {
  public:
    // Thrown by element-wise operations on operands of different shapes, and (without sizes)
    // where a single operand has the wrong shape.
    class size_mismatch : public std::exception {
      public:
        int aRows = 0;  // rows of the first operand
        int bRows = 0;  // rows of the second operand
        int aCols = 0;  // columns of the first operand
        int bCols = 0;  // columns of the second operand
        bool known;     // the four sizes above were given

        size_mismatch(const Matrix& a, const Matrix& b);
        size_mismatch();
        ~size_mismatch() override;
        // "Dimension mismatch exception." without sizes, else
        // "Dimension mismatch exception: <aRows>x<aCols> != <bRows>x<bCols>". The text lives in
        // one static buffer shared by all instances.
        const char* what() const noexcept override;
    };

    int* refcount;  // shared count of handles on this block; null for an empty matrix
    int m;          // rows
    int n;          // columns
    double* data;   // m * n elements, row-major

    // Live handles (+1 per constructor and assignment, -1 per destroy()) and live storage blocks.
    // Inspection aids, atomic so that matrices may be made and dropped on several threads at
    // once (each matrix itself belongs to one thread at a time: its reference count is plain).
    static std::atomic<int> gcount;
    static std::atomic<int> acount;

    // --- construction, sharing, release -------------------------------------------------------
    Matrix();                 // empty 0 x 0, no storage
    Matrix(int m, int n);     // fresh m x n block, elements uninitialised
    Matrix(const Matrix& M);  // shares M's block
    Matrix& operator=(const Matrix& M);
    ~Matrix();
    void destroy();       // releases this handle; frees the block when it was the last one
    Matrix copy() const;  // independent matrix with the same shape and elements

    // --- factories and filling ----------------------------------------------------------------
    static Matrix zeros(int m, int n);
    static Matrix eye(int n);         // n x n identity
    static Matrix eye(int m, int n);  // m x n, ones at (i, i) for i < min(m, n)
    void setAll(double v);

    // --- access (unchecked) -------------------------------------------------------------------
    double get(int k) const { return data[k]; }                 // flat row-major element k
    double get(int i, int j) const { return data[i * n + j]; }  // element (i, j)
    double& operator()(int i, int j) const { return data[i * n + j]; }
    double& operator[](int k) const { return data[k]; }  // flat element k (column vectors)

    // --- shape operations (new storage) -------------------------------------------------------
    Matrix transpose() const;                                    // n x m
    Matrix submatrix(int r0, int c0, int rows, int cols) const;  // rows x cols from (r0, c0)
    Matrix getColumn(int j) const;                               // m x 1 copy of column j

    // --- arithmetic ---------------------------------------------------------------------------
    // Product m x B.n. Inner sizes that differ print "invalid sizes for matrix multiplication"
    // and give a 0 x 0 matrix (which has storage); nothing is thrown.
    Matrix operator*(const Matrix& B) const;
    Matrix operator*(double s) const;
    // Element-wise; operands of different shapes throw size_mismatch(*this, B).
    Matrix operator-(const Matrix& B) const;
    Matrix& operator-=(const Matrix& B);
    Matrix& operator+=(const Matrix& B);
    Matrix& operator*=(double s);
    double dot(const Matrix& B) const;  // sum of this(i, j) * B(i, j), row by row

    // --- decompositions (LAPACK); the operand is never overwritten ----------------------------
    // Symmetric n x n: lambda n x 1 ascending eigenvalues, V n x n with the unit eigenvector of
    // lambda[k] in column k. The int is unused. Non-square throws size_mismatch().
    void eigSym(Matrix& V, Matrix& lambda, int unused = 0) const;
    // Full SVD of m x n: U m x m, S min(m, n) x 1 descending, V n x n; this = U diag(S) V^T.
    // An infinite or NaN entry gives all-NaN U, S and V and "error in Lsvd (returned -5)".
    void svd(Matrix& U, Matrix& S, Matrix& V) const;
    // Same contract as svd, by divide and conquer ("error in LsvdLarge (returned -4)").
    void svdLarge(Matrix& U, Matrix& S, Matrix& V) const;
    // Q m x m orthogonal, R m x n upper triangular, this = Q R. Returns 1, or 0 when LAPACK
    // reports a bad argument.
    int qr(Matrix& Q, Matrix& R) const;
    // Gauss-Jordan with partial pivoting. Non-square prints "trying to invert non-square
    // matrix" and returns Matrix(); a singular matrix gives infinite or NaN elements.
    Matrix inverse() const;
    // Inverse by LU factorisation (LAPACK). Non-square prints "trying to invert non-square
    // matrix" and returns Matrix(); an exactly singular matrix gives all NaN elements.
    Matrix Linverse() const;
    // Determinant by cofactor expansion along row 0 (factorial cost: small matrices only).
    // Non-square prints "can you get det of non-square matrix" and returns 0.
    double det() const;
    // Each row as "%f " per element then a newline, on standard output.
    void print() const;

    // Minimum-norm least-squares x (A.n x 1) of A x = b, b the first A.m rows of the first
    // column of B; wide systems (A.m < A.n) get the minimum-norm exact solution. B with fewer
    // rows than A, or without columns, throws size_mismatch(A, B). An infinite or NaN entry in
    // A or in b gives an all-NaN x; the other columns of B are never read.
    static Matrix linLeastSq(const Matrix& A, const Matrix& B);
    // Minimises |A x - c| subject to B x = d (c: A.m x 1, d: B.m x 1, or longer: the first
    // entries in column order are used); returns x (A.n x 1). A problem without a unique
    // solution (rank(B) < B.m, or rank([A; B]) < A.n) prints "error in LlinLeastSq (returned
    // <info>)" on standard error, info being LAPACK's 1 or 2, and gives an all-NaN x.
    static Matrix linLeastSq(const Matrix& A, const Matrix& c, const Matrix& B, const Matrix& d);

    // --- Levenberg-Marquardt (cminpack) -------------------------------------------------------
    // x holds the n = x.m * x.n unknowns (improved in place), fvec receives the m = fvec.m *
    // fvec.n residuals. diag may be null (automatic scaling, mode 1) or n scale factors (mode
    // 2). The Jacobian fjac passed to the callbacks is m x n column-major with leading dimension
    // ldfjac = m. Each returns cminpack's info code.
    typedef int (*lm_fcnder_t)(void* p, int m, int n, const double* x, double* fvec, double* fjac,
                               int ldfjac, int iflag);
    typedef void (*lm_fcnder_ref_t)(const int& m, const int& n, double* x, double* fvec,
                                    double* fjac, const int& ldfjac, int& iflag);
    typedef int (*lm_fcn_t)(void* p, int m, int n, const double* x, double* fvec, int iflag);
    typedef void (*lm_fcn_ref_t)(const int& m, const int& n, double* x, double* fvec, int& iflag);

    static int lsqnonlin(lm_fcnder_t fcn, void* p, Matrix& x, Matrix& fvec, double ftol,
                         double xtol, double gtol, int maxfev, double* diag, double factor,
                         int nprint);
    static int lsqnonlin(lm_fcnder_ref_t fcn, Matrix& x, Matrix& fvec, double ftol, double xtol,
                         double gtol, int maxfev, double* diag, double factor, int nprint);
    static int lsqnonlin(lm_fcn_t fcn, void* p, Matrix& x, Matrix& fvec, double ftol, double xtol,
                         double gtol, int maxfev, double epsfcn, double* diag, double factor,
                         int nprint);
    static int lsqnonlin(lm_fcn_ref_t fcn, Matrix& x, Matrix& fvec, double ftol, double xtol,
                         double gtol, int maxfev, double epsfcn, double* diag, double factor,
                         int nprint);

    // --- rotation conversions (orthogonality is not checked) ----------------------------------
    // 3 x 3 rotation -> 3 x 1 rotation vector (unit axis times angle in radians, angle in
    // [0, pi]). Not 3 x 3 prints "error in matrix2rod" and returns 0 x 0.
    Matrix matrix2rod() const;
    // 3 x 1 rotation vector (elements 0, 1, 2) -> 3 x 3 rotation (Rodrigues).
    Matrix rod2matrix() const;
    // 3 x 3 R = Rz(z) Rx(x) Ry(y) -> 3 x 1 (z, x, y) in radians; a larger matrix (a 4 x 4
    // transform) gives the angles of its top-left 3 x 3 block, a smaller one 0 x 0.
    Matrix rot2zxy() const;
    // 3 x 3 R = Rx(a) Ry(b) Rz(c) -> 3 x 1 (a, b, c) in radians; not 3 x 3 gives 0 x 0.
    Matrix rot2xyz() const;
};

}  // namespace lumo
