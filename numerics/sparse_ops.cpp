// SparseMatrix products (with dense matrices and raw vectors), MATLAB output, the tridiagonal
// solve and the conjugate-gradient least-squares iteration.
#include "numerics/sparsematrix.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>

namespace lumo {

Matrix SparseMatrix::operator*(const Matrix& B) const {
    if (n != B.m) throw "invalid dimensions for matrix multiplication.";
    Matrix C = Matrix::zeros(m, B.n);
    // Every C(i[k], b) accumulates x[k] * B(j, b) in increasing j and k; walking b innermost
    // keeps that order per element while reading rows of B and C contiguously.
    for (int j = 0; j < n; ++j) {
        const double* brow = B.data + (size_t)j * B.n;
        for (int k = p[j]; k < p[j + 1]; ++k) {
            double* crow = C.data + (size_t)i[k] * B.n;
            const double v = x[k];
            for (int b = 0; b < B.n; ++b) crow[b] += v * brow[b];
        }
    }
    return C;
}

void SparseMatrix::printMatlab(const char* name) const {
    std::printf("%s=[\n", name);
    for (int r = 0; r < m; ++r) {
        for (int c = 0; c < n; ++c) {
            double v = 0.0;
            for (int k = p[c]; k < p[c + 1]; ++k)
                if (i[k] == r) {
                    v = x[k];
                    break;
                }
            std::printf("%f ", v);
        }
        std::printf("\n");
    }
    std::printf("];\n");
}

void SparseMatrix::lsqr_vec_prod_add(long mode, double* xv, double* yv) {
    if (mode == 0) {
        for (int j = 0; j < n; ++j) {
            const double xj = xv[j];
            for (int k = p[j]; k < p[j + 1]; ++k) yv[i[k]] += x[k] * xj;
        }
    } else {
        for (int j = 0; j < n; ++j) {
            double s = 0.0;
            for (int k = p[j]; k < p[j + 1]; ++k) s += x[k] * yv[i[k]];
            xv[j] += s;
        }
    }
}

void SparseMatrix::matprod(int trans, double* xv, double* yv) {
    // The same sums as the accumulating product, into a cleared output.
    if (trans == 0) {
        std::fill(yv, yv + m, 0.0);
        lsqr_vec_prod_add(0, xv, yv);
    } else {
        std::fill(yv, yv + n, 0.0);
        lsqr_vec_prod_add(1, yv, xv);
    }
}

Matrix triDiagSolve(const std::vector<Vec3<double> >& abc, const Matrix& d) {
    const int n = (int)abc.size();
    assert(d.m * d.n >= n);
    Matrix sol(n, 1);
    if (n == 0) return sol;
    // Forward elimination: beta = pivots, y = transformed right-hand side.
    std::vector<double> beta(n), y(n);
    beta[0] = abc[0].y;
    y[0] = d[0];
    for (int r = 1; r < n; ++r) {
        const double l = abc[r].x / beta[r - 1];
        beta[r] = abc[r].y - l * abc[r - 1].z;
        y[r] = d[r] - l * y[r - 1];
    }
    sol[n - 1] = y[n - 1] / beta[n - 1];
    for (int r = n - 2; r >= 0; --r) sol[r] = (y[r] - abc[r].z * sol[r + 1]) / beta[r];
    return sol;
}

namespace {

double dotv(const std::vector<double>& a, const std::vector<double>& b) {
    double s = 0.0;
    for (size_t k = 0; k < a.size(); ++k) s += a[k] * b[k];
    return s;
}

}  // namespace

Matrix SparseMatrix::linLeastSq(Matrix& b, double tol, int maxIter) {
    assert(b.m == m);
    std::printf("this doesnt work as well as I had initially thought\n");
    std::vector<double> sol(n, 0.0), atb(n), g(n), dir(n, 0.0), ax(m), r(m), q(m), atax(n);
    matprod(1, b.data, atb.data());
    double rhoPrev = 1.0;
    for (int it = 0; it < maxIter; ++it) {
        // Gradient of |A x - b|^2: 2 (A^T A x - A^T b).
        matprod(0, sol.data(), ax.data());
        matprod(1, ax.data(), atax.data());
        for (int c = 0; c < n; ++c) g[c] = 2.0 * (atax[c] - atb[c]);
        const double rho = dotv(g, g);
        if (it == 0 || rhoPrev < 1e-8) {
            for (int c = 0; c < n; ++c) dir[c] = -g[c];
        } else {
            const double beta = rho / rhoPrev;
            for (int c = 0; c < n; ++c) dir[c] = beta * dir[c] - g[c];
        }
        rhoPrev = rho;
        // Exact line search along dir: alpha = (A dir . r) / |A dir|^2 with r = b - A x.
        for (int k = 0; k < m; ++k) r[k] = b[k] - ax[k];
        matprod(0, dir.data(), q.data());
        const double alpha = dotv(q, r) / std::max(dotv(q, q), 1e-14);
        for (int c = 0; c < n; ++c) sol[c] += alpha * dir[c];
        if (alpha * std::sqrt(dotv(dir, dir)) < tol) break;
    }
    Matrix result(n, 1);
    std::copy(sol.begin(), sol.end(), result.data);
    return result;
}

}  // namespace lumo

void lsqr_vec_prod(long mode, DOUBLE_VECTOR* x, DOUBLE_VECTOR* y, void* prod) {
    static_cast<lumo::SparseMatrix*>(prod)->lsqr_vec_prod_add(mode, x->elements, y->elements);
}
