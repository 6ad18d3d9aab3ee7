// Times the sparse pipeline of one simulation step on the stiffness-like pattern of a 3D grid
// (3 unknowns per node, 27-point neighbourhood): column-list build, one pass of get additions
// over every pattern entry (with a linear-scan lookup for comparison), and the UMFPACK solve.
// Usage: sparse_bench [nodes...] (default 1000 10000 50000, rounded to cubes).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "numerics/sparsematrix.h"

using lumo::Matrix;
using lumo::SparseMatrix;

namespace {

typedef std::vector<std::vector<std::pair<int, double> > > Cols;

double seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Coupling of unknown r of one node with unknown c of another: a symmetric positive definite
// 3 x 3 block, so that (grid Laplacian) x (block) + mass is positive definite.
double block(int r, int c) {
    return r == c ? 1.0 : 0.1;
}

struct Grid {
    int k;  // nodes per side; node (a, b, c) has index (a * k + b) * k + c
    explicit Grid(int side) : k(side) {}
    int nodes() const { return k * k * k; }

    // Calls f(node, neighbour) for every node and each of its up to 27 neighbours (itself
    // included), neighbours in increasing index order.
    template <class F>
    void forEachPair(F f) const {
        for (int a = 0; a < k; ++a)
            for (int b = 0; b < k; ++b)
                for (int c = 0; c < k; ++c) {
                    const int node = (a * k + b) * k + c;
                    for (int da = -1; da <= 1; ++da)
                        for (int db = -1; db <= 1; ++db)
                            for (int dc = -1; dc <= 1; ++dc) {
                                const int na = a + da, nb = b + db, nc = c + dc;
                                if (na < 0 || nb < 0 || nc < 0 || na >= k || nb >= k || nc >= k)
                                    continue;
                                f(node, (na * k + nb) * k + nc);
                            }
                }
    }
    // Value of the (node, neighbour) block entry (r, c) of the system matrix.
    static double value(int node, int nbr, int r, int c, int degree) {
        if (node == nbr) return degree * block(r, c) + (r == c ? 0.5 : 0.0);
        return -block(r, c);
    }
};

// Linear scan of the column, as a reference for the binary search inside get.
double& linearGet(SparseMatrix& A, int row, int col) {
    int k = A.p[col];
    while (k < A.p[col + 1] && A.i[k] < row) ++k;
    if (k < A.p[col + 1] && A.i[k] == row) return A.x[k];
    return A.insert_no_check(row, col, 0.0);
}

void run(int side) {
    const Grid g(side);
    const int nodes = g.nodes(), dofs = 3 * nodes;
    std::vector<int> degree(nodes, 0);
    g.forEachPair([&](int node, int nbr) {
        if (node != nbr) ++degree[node];
    });

    // Column-list build with zero values, as a step builds its pattern.
    auto t0 = std::chrono::steady_clock::now();
    Cols cols(dofs);
    g.forEachPair([&](int node, int nbr) {
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) cols[3 * node + c].push_back({3 * nbr + r, 0.0});
    });
    SparseMatrix A(dofs, cols);
    const double tBuild = seconds(t0);

    // One pass of get additions over every pattern entry, as the assembly does.
    t0 = std::chrono::steady_clock::now();
    g.forEachPair([&](int node, int nbr) {
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r)
                A.get(3 * nbr + r, 3 * node + c) += Grid::value(node, nbr, r, c, degree[node]);
    });
    const double tGet = seconds(t0);
    const int nz = A.nz;

    SparseMatrix B(A);
    t0 = std::chrono::steady_clock::now();
    g.forEachPair([&](int node, int nbr) {
        for (int c = 0; c < 3; ++c)
            for (int r = 0; r < 3; ++r) linearGet(B, 3 * nbr + r, 3 * node + c) += 1.0;
    });
    const double tLinear = seconds(t0);

    Matrix b(dofs, 1);
    for (int k = 0; k < dofs; ++k) b[k] = std::sin(0.1 * k);
    t0 = std::chrono::steady_clock::now();
    Matrix x = SparseMatrix::umfsolve(A, b);
    const double tSolve = seconds(t0);

    Matrix r = A * x;
    double num = 0, den = 0;
    for (int k = 0; k < dofs; ++k) {
        num += (r[k] - b[k]) * (r[k] - b[k]);
        den += b[k] * b[k];
    }
    std::printf("%7d %8d %10d %10.4f %10.4f %12.4f %10.3f %10.1e%s\n", nodes, dofs, nz, tBuild,
                tGet, tLinear, tSolve, std::sqrt(num / den),
                A.nz == nz && B.nz == nz ? "" : "  (pattern grew!)");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> sides;
    for (int a = 1; a < argc; ++a) sides.push_back((int)std::lround(std::cbrt(std::atof(argv[a]))));
    if (sides.empty()) sides = {10, 22, 37};  // 1000, 10648 and 50653 nodes
    std::printf("%7s %8s %10s %10s %10s %12s %10s %10s\n", "nodes", "unknowns", "entries",
                "build(s)", "get(s)", "linear(s)", "solve(s)", "residual");
    for (int side : sides) run(side);
    return 0;
}
