// SparseMatrix storage and entry access, the two members that hand the matrix to an iterative
// solver (LSQR, Gauss-Seidel), and umfsolve, a one-off direct solve with UMFPACK's default
// settings through SparseLU (sparse_lu.cpp).
#include "numerics/sparsematrix.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "numerics/sparse_lu.h"

namespace lumo {

// --- construction and storage -----------------------------------------------------------------

SparseMatrix::SparseMatrix(int rows, int cols, int cap)
    : m(rows), n(cols), nzmax(0), nz(0), x(nullptr), i(nullptr), p(nullptr) {
    assert(rows >= 0 && cols >= 0);
    ensure(std::max(cap, 1));
}

SparseMatrix::SparseMatrix(const Matrix& A)
    : m(A.m), n(A.n), nzmax(0), nz(0), x(nullptr), i(nullptr), p(nullptr) {
    int count = 0;
    for (int k = 0; k < A.m * A.n; ++k)
        if (A.data[k] != 0.0) ++count;  // NaN != 0.0 holds, so NaN is stored
    ensure(std::max(count, 1));
    for (int c = 0; c < n; ++c) {
        p[c] = nz;
        for (int r = 0; r < m; ++r) {
            const double v = A.data[r * A.n + c];
            if (v != 0.0) {
                i[nz] = r;
                x[nz] = v;
                ++nz;
            }
        }
    }
    p[n] = nz;
}

SparseMatrix::SparseMatrix(int rows, std::vector<std::vector<std::pair<int, double> > >& cols)
    : m(rows), n((int)cols.size()), nzmax(0), nz(0), x(nullptr), i(nullptr), p(nullptr) {
    size_t total = 0;
    for (const auto& c : cols) total += c.size();
    assert(total <= (size_t)std::numeric_limits<int>::max());
    ensure(std::max((int)total, 1));
    for (int c = 0; c < n; ++c) {
        std::sort(cols[c].begin(), cols[c].end());
        p[c] = nz;
        for (const auto& e : cols[c]) {
            assert(e.first >= 0 && e.first < m);
            i[nz] = e.first;
            x[nz] = e.second;
            ++nz;
        }
    }
    p[n] = nz;
}

SparseMatrix::SparseMatrix(const SparseMatrix& o)
    : m(0), n(0), nzmax(0), nz(0), x(nullptr), i(nullptr), p(nullptr) {
    *this = o;
}

SparseMatrix& SparseMatrix::operator=(const SparseMatrix& o) {
    if (&o == this) return *this;
    release();
    m = o.m;
    n = o.n;
    ensure(o.nzmax);
    nz = o.nz;
    if (o.p) {  // a source without storage gives a copy without storage
        std::memcpy(x, o.x, sizeof(double) * (size_t)o.nzmax);
        std::memcpy(i, o.i, sizeof(int) * (size_t)o.nzmax);
        std::memcpy(p, o.p, sizeof(int) * (size_t)(n + 1));
    }
    return *this;
}

SparseMatrix::~SparseMatrix() {
    release();
}

void SparseMatrix::release() {
    delete[] i;
    delete[] x;
    delete[] p;
    m = n = nzmax = nz = 0;
    x = nullptr;
    i = nullptr;
    p = nullptr;
}

void SparseMatrix::ensure(int cap) {
    if (nzmax >= cap) return;
    double* nx = new double[cap];
    int* ni = new int[cap];
    if (!p) {
        p = new int[n + 1];
        std::fill(p, p + n + 1, 0);
    }
    if (!x || !i) {
        std::fill(nx, nx + cap, 0.0);
        std::fill(ni, ni + cap, 0);
    } else {
        std::memcpy(nx, x, sizeof(double) * (size_t)nzmax);
        std::memcpy(ni, i, sizeof(int) * (size_t)nzmax);
    }
    nzmax = cap;
    delete[] x;
    delete[] i;
    x = nx;
    i = ni;
}

// --- entry access -----------------------------------------------------------------------------

bool SparseMatrix::have(int row, int col) const {
    assert(col >= 0 && col < n);
    for (int k = p[col]; k < p[col + 1]; ++k)
        if (i[k] == row) return true;
    return false;
}

double& SparseMatrix::get(int row, int col) {
    assert(row >= 0 && row < m && col >= 0 && col < n);
    // First slot of the sorted column whose row is >= row.
    const int* it = std::lower_bound(i + p[col], i + p[col + 1], row);
    const int k = (int)(it - i);
    if (k < p[col + 1] && i[k] == row) return x[k];
    return insertAt(k, row, col, 0.0);
}

double& SparseMatrix::insert_no_check(int row, int col, const double& v) {
    assert(row >= 0 && row < m && col >= 0 && col < n);
    int k = p[col];
    while (k < p[col + 1] && i[k] <= row) ++k;
    return insertAt(k, row, col, v);  // v is taken by value: it may point into x
}

double& SparseMatrix::insertAt(int k, int row, int col, double v) {
    if (nz >= nzmax) ensure(std::max(nz + 8, (int)(nz * 1.2)));
    std::memmove(i + k + 1, i + k, sizeof(int) * (size_t)(nz - k));
    std::memmove(x + k + 1, x + k, sizeof(double) * (size_t)(nz - k));
    i[k] = row;
    x[k] = v;
    for (int c = col + 1; c <= n; ++c) ++p[c];
    ++nz;
    return x[k];
}

// --- iterative solvers ------------------------------------------------------------------------

Matrix SparseMatrix::lsqr(Matrix& b, double, int) {
    // Written unspaced: a failed assertion prints this exact text.
    // clang-format off
    assert(m==b.m);
    // clang-format on
    lsqr_input* in;
    lsqr_output* out;
    lsqr_work* work;
    lsqr_func* func;
    alloc_lsqr_mem(&in, &out, &work, &func, m, n);
    func->mat_vec_prod = lsqr_vec_prod;
    in->num_rows = m;
    in->num_cols = n;
    in->damp_val = 0.0;
    in->rel_mat_err = 1e-9;
    in->rel_rhs_err = 1e-9;
    in->cond_lim = 100000.0;
    in->max_iter = 4 * (long)(m + n) + 200;
    in->lsqr_fp_out = nullptr;
    for (int r = 0; r < m; ++r) in->rhs_vec->elements[r] = b[r];
    for (int c = 0; c < n; ++c) in->sol_vec->elements[c] = 0.0;

    ::lsqr(in, out, work, func, this);

    Matrix result(n, 1);
    for (int c = 0; c < n; ++c) result[c] = out->sol_vec->elements[c];
    free_lsqr_mem(in, out, work, func);
    return result;
}

Matrix SparseMatrix::gaussSeidel(Matrix& b, double tol, int maxIter) {
    // Written unspaced: a failed assertion prints this exact text.
    // clang-format off
    assert(m==n);
    // clang-format on
    assert(b.m == m);
    Matrix sol = Matrix::zeros(n, 1);

    // Row-wise index of the entries: row r owns rowCol/rowSlot[rowStart[r] .. rowStart[r+1]-1],
    // in column order.
    std::vector<int> rowStart(m + 1, 0);
    for (int k = 0; k < nz; ++k) ++rowStart[i[k] + 1];
    for (int r = 0; r < m; ++r) rowStart[r + 1] += rowStart[r];
    std::vector<int> rowCol(nz), rowSlot(nz), fill(rowStart.begin(), rowStart.end() - 1);
    for (int c = 0; c < n; ++c)
        for (int k = p[c]; k < p[c + 1]; ++k) {
            const int slot = fill[i[k]]++;
            rowCol[slot] = c;
            rowSlot[slot] = k;
        }
    std::printf("tot is %d/%d\n", p[n], nz);  // entries indexed, entries stored

    for (int sweep = 0; sweep < maxIter; ++sweep) {
        double change = 0.0;
        for (int r = 0; r < m; ++r) {
            double s = b[r];
            double d = 1e-5;  // stands in for a missing diagonal entry
            for (int e = rowStart[r]; e < rowStart[r + 1]; ++e) {
                if (rowCol[e] == r)
                    d = x[rowSlot[e]];
                else
                    s -= x[rowSlot[e]] * sol[rowCol[e]];
            }
            s /= d;
            change += (s - sol[r]) * (s - sol[r]);
            sol[r] = s;
        }
        if (std::sqrt(change) < tol) break;
    }
    return sol;
}

Matrix SparseMatrix::umfsolve(SparseMatrix& A, Matrix& b) {
    // Written unspaced: a failed assertion prints this exact text.
    // clang-format off
    assert(A.m==A.n);
    // clang-format on
    assert(b.m == A.m && b.n == 1);
    Matrix x(A.m, 1);
    SparseLU lu((SparseLU::Options()));
    lu.solve(A.n, A.p, A.i, A.x, b.data, x.data);
    return x;
}

}  // namespace lumo
