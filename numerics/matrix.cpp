// Dense matrix core: shared storage and its counters, the size_mismatch exception, factories,
// shape operations, arithmetic, and the LAPACK-free inverse, determinant and print.
#include "numerics/matrix.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "numerics/small_kernels.h"

namespace lumo {

std::atomic<int> Matrix::gcount(0);
std::atomic<int> Matrix::acount(0);

// --- size_mismatch ----------------------------------------------------------------------------

Matrix::size_mismatch::size_mismatch(const Matrix& a, const Matrix& b)
    : aRows(a.m), bRows(b.m), aCols(a.n), bCols(b.n), known(true) {}

Matrix::size_mismatch::size_mismatch() : known(false) {}

Matrix::size_mismatch::~size_mismatch() {}

const char* Matrix::size_mismatch::what() const noexcept {
    static char buffer[1024];
    if (!known) return "Dimension mismatch exception.";
    std::snprintf(buffer, sizeof(buffer), "Dimension mismatch exception: %dx%d != %dx%d", aRows,
                  aCols, bRows, bCols);
    return buffer;
}

// --- construction, sharing, release -----------------------------------------------------------

Matrix::Matrix() : refcount(nullptr), m(0), n(0), data(nullptr) {
    ++gcount;
}

Matrix::Matrix(int rows, int cols) : refcount(nullptr), m(rows), n(cols), data(nullptr) {
    data = new double[static_cast<size_t>(rows) * static_cast<size_t>(cols)];
    refcount = new int(1);
    ++gcount;
    ++acount;
}

Matrix::Matrix(const Matrix& M) : refcount(M.refcount), m(M.m), n(M.n), data(M.data) {
    if (refcount) ++*refcount;
    ++gcount;
}

Matrix& Matrix::operator=(const Matrix& M) {
    if (this == &M) return *this;
    destroy();
    refcount = M.refcount;
    m = M.m;
    n = M.n;
    data = M.data;
    if (refcount) ++*refcount;
    ++gcount;
    return *this;
}

Matrix::~Matrix() {
    destroy();
}

void Matrix::destroy() {
    --gcount;
    if (refcount) {
        if (--*refcount == 0) {
            --acount;
            delete[] data;
            delete refcount;
        }
        data = nullptr;
        refcount = nullptr;
    }
}

Matrix Matrix::copy() const {
    Matrix C(m, n);
    const int count = m * n;
    for (int k = 0; k < count; ++k) C.data[k] = data[k];
    return C;
}

// --- factories and filling --------------------------------------------------------------------

Matrix Matrix::zeros(int rows, int cols) {
    Matrix Z(rows, cols);
    Z.setAll(0.0);
    return Z;
}

Matrix Matrix::eye(int size) {
    return eye(size, size);
}

Matrix Matrix::eye(int rows, int cols) {
    Matrix I = zeros(rows, cols);
    const int diag = rows < cols ? rows : cols;
    for (int i = 0; i < diag; ++i) I(i, i) = 1.0;
    return I;
}

void Matrix::setAll(double v) {
    const int count = m * n;
    for (int k = 0; k < count; ++k) data[k] = v;
}

// --- shape operations -------------------------------------------------------------------------

Matrix Matrix::transpose() const {
    Matrix T(n, m);
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < n; ++j) T.data[j * m + i] = data[i * n + j];
    return T;
}

Matrix Matrix::submatrix(int r0, int c0, int rows, int cols) const {
    Matrix S(rows, cols);
    for (int i = 0; i < rows; ++i)
        for (int j = 0; j < cols; ++j) S.data[i * cols + j] = data[(r0 + i) * n + (c0 + j)];
    return S;
}

Matrix Matrix::getColumn(int j) const {
    Matrix C(m, 1);
    for (int i = 0; i < m; ++i) C.data[i] = data[i * n + j];
    return C;
}

// --- arithmetic -------------------------------------------------------------------------------

Matrix Matrix::operator*(const Matrix& B) const {
    if (n != B.m) {
        std::printf("invalid sizes for matrix multiplication\n");
        return Matrix(0, 0);
    }
    Matrix C(m, B.n);
    multiplyOrdered(data, B.data, C.data, m, n, B.n);
    return C;
}

Matrix Matrix::operator*(double s) const {
    Matrix C(m, n);
    const int count = m * n;
    for (int k = 0; k < count; ++k) C.data[k] = data[k] * s;
    return C;
}

Matrix Matrix::operator-(const Matrix& B) const {
    if (m != B.m || n != B.n) throw size_mismatch(*this, B);
    Matrix C(m, n);
    const int count = m * n;
    for (int k = 0; k < count; ++k) C.data[k] = data[k] - B.data[k];
    return C;
}

Matrix& Matrix::operator-=(const Matrix& B) {
    if (m != B.m || n != B.n) throw size_mismatch(*this, B);
    const int count = m * n;
    for (int k = 0; k < count; ++k) data[k] -= B.data[k];
    return *this;
}

Matrix& Matrix::operator+=(const Matrix& B) {
    if (m != B.m || n != B.n) throw size_mismatch(*this, B);
    const int count = m * n;
    for (int k = 0; k < count; ++k) data[k] += B.data[k];
    return *this;
}

Matrix& Matrix::operator*=(double s) {
    const int count = m * n;
    for (int k = 0; k < count; ++k) data[k] *= s;
    return *this;
}

double Matrix::dot(const Matrix& B) const {
    if (m != B.m || n != B.n) throw size_mismatch(*this, B);
    double sum = 0.0;
    const int count = m * n;
    for (int k = 0; k < count; ++k) sum += data[k] * B.data[k];
    return sum;
}

// --- inverse, determinant, print --------------------------------------------------------------

Matrix Matrix::inverse() const {
    if (m != n) {
        std::printf("trying to invert non-square matrix\n");
        return Matrix();
    }
    Matrix A = copy();
    Matrix I = eye(n);
    gaussJordanInverse(A.data, I.data, n);
    return I;
}

double Matrix::det() const {
    if (m != n) {
        std::printf("can you get det of non-square matrix\n");
        return 0.0;
    }
    if (m == 0) return 1.0;  // empty product
    if (m == 1) return data[0];
    double result = 0.0;
    double sign = 1.0;
    Matrix minor(m - 1, m - 1);
    for (int c = 0; c < n; ++c) {
        for (int i = 1; i < m; ++i)
            for (int j = 0, k = 0; j < n; ++j)
                if (j != c) minor(i - 1, k++) = get(i, j);
        result += sign * get(0, c) * minor.det();
        sign = -sign;
    }
    return result;
}

void Matrix::print() const {
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < n; ++j) std::printf("%f ", get(i, j));
        std::printf("\n");
    }
}

}  // namespace lumo
