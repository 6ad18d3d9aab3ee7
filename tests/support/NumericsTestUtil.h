// Numerics test helpers: matrices from lists, seeded random matrices, comparison, axis rotations.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <random>

#include "numerics/matrix.h"
#include "tests/support/Capture.h"

namespace testutil {

using lumo::Matrix;

// m x n from row-major values.
inline Matrix fromList(int m, int n, std::initializer_list<double> values) {
    Matrix M(m, n);
    int k = 0;
    for (double v : values) M[k++] = v;
    return M;
}

inline Matrix column(std::initializer_list<double> values) {
    return fromList((int)values.size(), 1, values);
}

// Uniform entries in [-1, 1] from a seeded generator.
inline Matrix randomMatrix(int m, int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    Matrix M(m, n);
    for (int k = 0; k < m * n; ++k) M[k] = u(rng);
    return M;
}

// Largest element-wise difference; a shape difference fails the test and gives infinity, and
// so does a NaN on either side (equal NaNs included).
inline double maxAbsDiff(const Matrix& A, const Matrix& B) {
    EXPECT_EQ(A.m, B.m);
    EXPECT_EQ(A.n, B.n);
    if (A.m != B.m || A.n != B.n) return INFINITY;
    double d = 0.0;
    for (int k = 0; k < A.m * A.n; ++k) {
        const double e = std::fabs(A[k] - B[k]);
        if (std::isnan(e)) return INFINITY;  // std::max would drop it, passing a NaN result
        d = std::max(d, e);
    }
    return d;
}

// diag(S) padded to rows x cols.
inline Matrix padDiag(const Matrix& S, int rows, int cols) {
    Matrix D = Matrix::zeros(rows, cols);
    for (int k = 0; k < S.m; ++k) D(k, k) = S[k];
    return D;
}

// Rotation by a radians about axis 0 (x), 1 (y) or 2 (z).
inline Matrix rotAxis(int axis, double a) {
    Matrix R = Matrix::eye(3);
    const int i = (axis + 1) % 3, j = (axis + 2) % 3;
    R(i, i) = R(j, j) = std::cos(a);
    R(i, j) = -std::sin(a);
    R(j, i) = std::sin(a);
    return R;
}
inline Matrix rotX(double a) {
    return rotAxis(0, a);
}
inline Matrix rotY(double a) {
    return rotAxis(1, a);
}
inline Matrix rotZ(double a) {
    return rotAxis(2, a);
}

using testsupport::captureStderr;
using testsupport::captureStdout;

}  // namespace testutil
