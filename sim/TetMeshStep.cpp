// The implicit co-rotational step of TetMesh: per-element rotations from the deformation
// gradient, sparse assembly of the backward-Euler velocity system, direct solve, integration,
// fracture, floor response and normals.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "numerics/sparsematrix.h"
#include "sim/TetMesh.h"

using lumo::Matrix;
using lumo::SparseMatrix;
using lumo::Vec3;

extern "C" void dgesvd_(const char* jobu, const char* jobvt, const int* m, const int* n, double* a,
                        const int* lda, double* s, double* u, const int* ldu, double* vt,
                        const int* ldvt, double* work, const int* lwork, int* info, size_t jobu_len,
                        size_t jobvt_len);

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// 12 x 12 block-diagonal matrix with the 3 x 3 matrix R (row-major) in each diagonal block.
Matrix blockRotation(const double R[9]) {
    Matrix Q = Matrix::zeros(12, 12);
    for (int k = 0; k < 4; ++k)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) Q(3 * k + r, 3 * k + c) = R[3 * r + c];
    return Q;
}

// Rotation R (3 x 3, row-major) of element t: with X = the 4 x 4 matrix whose column k is
// (x, y, z, 1) of slot k, T = X_cur X_rest^-1, F its upper-left 3 x 3 block and F = U S V^T,
// R = U V^T. The arithmetic is that of lumo::Matrix (Gauss-Jordan inverse with partial
// pivoting, products summed from 0.0 in increasing k, LAPACK's dgesvd on the column-major F
// with the same workspace) done on the stack, so the result is the same to the last bit.
void elementRotation(const Tetrahedron& t, const std::vector<Vec3<float>>& rest,
                     const std::vector<Vec3<float>>& cur, double R[9]) {
    double A[16], I[16], Xc[16];
    for (int k = 0; k < 4; ++k) {
        const Vec3<float>& r = rest[t.verts[k]];
        const Vec3<float>& c = cur[t.verts[k]];
        for (int i = 0; i < 3; ++i) {
            A[4 * i + k] = r[i];
            Xc[4 * i + k] = c[i];
        }
        A[12 + k] = 1.0;
        Xc[12 + k] = 1.0;
    }
    for (int k = 0; k < 16; ++k) I[k] = (k % 5 == 0) ? 1.0 : 0.0;
    for (int c = 0; c < 4; ++c) {
        int pivot = c;
        double best = std::fabs(A[4 * c + c]);
        for (int r = c + 1; r < 4; ++r)
            if (std::fabs(A[4 * r + c]) > best) {
                best = std::fabs(A[4 * r + c]);
                pivot = r;
            }
        if (pivot != c)
            for (int j = 0; j < 4; ++j) {
                std::swap(A[4 * c + j], A[4 * pivot + j]);
                std::swap(I[4 * c + j], I[4 * pivot + j]);
            }
        const double scale = 1.0 / A[4 * c + c];
        for (int j = 0; j < 4; ++j) {
            A[4 * c + j] *= scale;
            I[4 * c + j] *= scale;
        }
        for (int r = 0; r < 4; ++r) {
            if (r == c) continue;
            const double f = A[4 * r + c];
            for (int j = 0; j < 4; ++j) {
                A[4 * r + j] -= f * A[4 * c + j];
                I[4 * r + j] -= f * I[4 * c + j];
            }
        }
    }
    // F^T row-major is F column-major, the layout dgesvd takes.
    double Ft[9];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0.0;
            for (int k = 0; k < 4; ++k) s += Xc[4 * i + k] * I[4 * k + j];
            Ft[3 * j + i] = s;
        }
    // LAPACK's SVD may never return on infinite or NaN entries (a degenerate rest shape): a NaN
    // rotation instead, which makes the step's solve fail and the step be skipped.
    for (int k = 0; k < 9; ++k) {
        if (!std::isfinite(Ft[k])) {
            std::fill(R, R + 9, std::numeric_limits<double>::quiet_NaN());
            return;
        }
    }
    const int three = 3, lwork = 30;
    double S[3], Ucol[9], Vrow[9], work[lwork];
    int info = 0;
    dgesvd_("A", "A", &three, &three, Ft, &three, S, Ucol, &three, Vrow, &three, work, &lwork,
            &info, 1, 1);
    if (info != 0) fprintf(stderr, "error in Lsvd (returned %d)\n", info);
    // U(i, k) = Ucol[3k + i]; V(j, k) = Vrow[3j + k].
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double s = 0.0;
            for (int k = 0; k < 3; ++k) s += Ucol[3 * k + i] * Vrow[3 * j + k];
            R[3 * i + j] = s;
        }
}

// Rotations of every element of mesh, 9 row-major entries per element in tets order.
std::vector<double> elementRotations(const TetMesh& mesh) {
    std::vector<double> rot3(9 * mesh.tets.size());
    for (size_t e = 0; e < mesh.tets.size(); ++e)
        elementRotation(mesh.tets[e], mesh.restVert, mesh.vert, &rot3[9 * e]);
    return rot3;
}

// The 12 x 12 block-diagonal form of each 3 x 3 rotation of rot3.
std::vector<Matrix> blockRotations(const std::vector<double>& rot3) {
    std::vector<Matrix> rotations;
    rotations.reserve(rot3.size() / 9);
    for (size_t k = 0; k + 9 <= rot3.size(); k += 9) rotations.push_back(blockRotation(&rot3[k]));
    return rotations;
}

// Slot of the stored entry (row, col) of a matrix whose columns hold sorted rows, or -1.
int findEntry(const SparseMatrix& A, int row, int col) {
    const int* begin = A.i + A.p[col];
    const int* end = A.i + A.p[col + 1];
    const int* it = std::lower_bound(begin, end, row);
    return (it != end && *it == row) ? int(it - A.i) : -1;
}

// Reference to entry (row, col), inserting an explicit zero where the pattern lacks it.
double& entry(SparseMatrix& A, int row, int col) {
    int k = findEntry(A, row, col);
    return k >= 0 ? A.x[k] : A.get(row, col);
}

// N x N pattern of the global stiffness with every stored value 0.0: for vertices i and j
// sharing an element, the 3 x 3 block of rows 3j.. and columns 3i.. . Columns of a vertex in no
// element are empty. Rows ascend within each column.
SparseMatrix stiffnessPattern(const TetMesh& mesh) {
    const int n = int(mesh.vert.size());
    // Vertex adjacency as sorted lists (the same sets getVertexAdjacency gives).
    std::vector<std::vector<int>> adj(n);
    for (const Tetrahedron& t : mesh.tets)
        for (int a = 0; a < 4; ++a)
            for (int b = 0; b < 4; ++b) adj[t.verts[a]].push_back(t.verts[b]);
    size_t total = 0;
    for (std::vector<int>& a : adj) {
        std::sort(a.begin(), a.end());
        a.erase(std::unique(a.begin(), a.end()), a.end());
        total += 9 * a.size();
    }
    const int N = 3 * n;
    SparseMatrix K(N, N, int(std::max<size_t>(total, 1)));
    int nz = 0;
    for (int v = 0; v < n; ++v)
        for (int c = 0; c < 3; ++c) {
            K.p[3 * v + c] = nz;
            for (int j : adj[v])
                for (int r = 0; r < 3; ++r) {
                    K.i[nz] = 3 * j + r;
                    K.x[nz] = 0.0;
                    ++nz;
                }
        }
    K.p[N] = nz;
    K.nz = nz;
    return K;
}

// out = Q M for the 12 x Cols row-major matrix M, Q the 12 x 12 block-diagonal form of the 3 x 3
// row-major R: row i of out mixes rows 3 (i / 3) .. 3 (i / 3) + 2 of M with row i % 3 of R.
template <int Cols>
void rotateRows(const double R[9], const double* M, double* out) {
    for (int i = 0; i < 12; ++i) {
        const int b = 3 * (i / 3), r = i % 3;
        for (int j = 0; j < Cols; ++j) {
            double s = 0.0;
            for (int c = 0; c < 3; ++c) s += R[3 * r + c] * M[Cols * (b + c) + j];
            out[Cols * i + j] = s;
        }
    }
}

// out = A x for the 12 x Cols row-major matrix A.
template <int Cols>
void multiply(const double* A, const double* x, double out[12]) {
    for (int i = 0; i < 12; ++i) {
        double s = 0.0;
        for (int j = 0; j < Cols; ++j) s += A[Cols * i + j] * x[j];
        out[i] = s;
    }
}

// Co-rotated element quantities for one tetrahedron with rotation R (3 x 3, row-major):
// Kt = Q K Q^T (12 x 12), f0 = Q (K x0), QP = Q P (12 x 6), Q the block-diagonal form of R.
// Q has one non-zero 3 x 3 block per block row, so each sum runs over those three terms only,
// in the order the full dense products take them.
struct ElementWork {
    double R[9];
    double QK[144], Kt[144], Kx0[12], f0[12], QP[72], fp[12];

    void corotate(const Tetrahedron& t, const std::vector<Vec3<float>>& rest) {
        const double* K = t.K.data;
        rotateRows<12>(R, K, QK);
        // Kt = (Q K) Q^T: column j of Q^T holds row j % 3 of R in block rows 3 (j / 3)...
        for (int i = 0; i < 12; ++i)
            for (int j = 0; j < 12; ++j) {
                const int b = 3 * (j / 3), r = j % 3;
                double s = 0.0;
                for (int c = 0; c < 3; ++c) s += QK[12 * i + b + c] * R[3 * r + c];
                Kt[12 * i + j] = s;
            }
        double x0[12];
        t.getVertexVector(rest, x0);
        multiply<12>(K, x0, Kx0);
        rotateRows<1>(R, Kx0, f0);
    }

    // fp = (Q P) plasticStrain, after the plastic strain has been updated.
    void plasticForce(const Tetrahedron& t) {
        rotateRows<6>(R, t.P.data, QP);
        multiply<6>(QP, t.plasticStrain.data, fp);
    }
};

// Adds Kt into K at rows and columns 3 verts[k] + c, and -f0 and fp into F0 and Fp, in the
// order element row i, then column j. The three columns of a vertex share one row pattern, and
// the three rows of a neighbour sit together in it, so one search per pair of slots finds all
// nine entries of a block.
void scatter(SparseMatrix& K, const Tetrahedron& t, const ElementWork& w, Matrix& F0, Matrix& Fp) {
    int rows[12], offset[4][4];
    for (int i = 0; i < 12; ++i) rows[i] = 3 * t.verts[i / 3] + i % 3;
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) {
            int col = 3 * t.verts[b];
            int k = findEntry(K, 3 * t.verts[a], col);
            offset[a][b] = k < 0 ? -1 : k - K.p[col];
        }
    for (int i = 0; i < 12; ++i) {
        for (int j = 0; j < 12; ++j) {
            int o = offset[i / 3][j / 3];
            double v = w.Kt[12 * i + j];
            if (o >= 0) {
                K.x[K.p[rows[j]] + o + i % 3] += v;
            } else {
                entry(K, rows[i], rows[j]) += v;
            }
        }
        F0[rows[i]] -= w.f0[i];
        Fp[rows[i]] += w.fp[i];
    }
}

// Element loop: co-rotated stiffness and rest forces of every element, its plastic strain
// updated from the current pose, then its plastic forces, all scattered into K, F0 and Fp.
// rot3 holds one 3 x 3 row-major rotation per element.
void assembleElements(TetMesh& mesh, const std::vector<double>& rot3, double dt, SparseMatrix& K,
                      Matrix& F0, Matrix& Fp) {
    ElementWork w;
    Matrix Rt = Matrix::zeros(12, 12);  // scratch Q^T handed to updatePlasticity
    for (size_t e = 0; e < mesh.tets.size(); ++e) {
        Tetrahedron& t = mesh.tets[e];
        for (int k = 0; k < 9; ++k) w.R[k] = rot3[9 * e + k];
        w.corotate(t, mesh.restVert);
        for (int k = 0; k < 4; ++k)
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) Rt(3 * k + r, 3 * k + c) = w.R[3 * c + r];
        t.updatePlasticity(mesh.restVert, mesh.vert, Rt, dt);
        w.plasticForce(t);
        scatter(K, t, w, F0, Fp);
    }
}

// A = dt^2 K + dt C + M (M and C per row); the stiffness values are scaled by dt twice, as two
// passes, and each diagonal entry becomes (dt C + M) + A(i, i).
SparseMatrix systemMatrix(const SparseMatrix& K, const Matrix& M, const Matrix& C, double dt) {
    SparseMatrix A = K;
    for (int k = 0; k < A.nz; ++k) A.x[k] *= dt;
    for (int k = 0; k < A.nz; ++k) A.x[k] *= dt;
    for (int i = 0; i < A.n; ++i) {
        double& a = entry(A, i, i);
        a = (dt * C[i] + M[i]) + a;
    }
    return A;
}

// Floor plane y = -10: a vertex below it and moving down has its y velocity reversed and its
// whole velocity damped by 0.9; its position is left where it is.
void floorResponse(const std::vector<Vec3<float>>& vert, std::vector<Vec3<float>>& velocities) {
    for (size_t i = 0; i < vert.size(); ++i) {
        if (vert[i].y < -10.0 && velocities[i].y < 0) {
            velocities[i].y = -velocities[i].y;
            velocities[i] *= 0.9;
        }
    }
}

bool allFinite(const Matrix& v) {
    for (int k = 0; k < v.m * v.n; ++k)
        if (!std::isfinite(v[k])) return false;
    return true;
}

// Whether the velocities vNew (3n x 1) and the positions they move vert to in dt are finite once
// stored in single precision; a finite solution beyond its range would store infinities, which
// no later step recovers from.
bool fitsSinglePrecision(const Matrix& vNew, const std::vector<Vec3<float>>& vert, double dt) {
    const double fmax = std::numeric_limits<float>::max();
    for (size_t i = 0; i < vert.size(); ++i) {
        for (int c = 0; c < 3; ++c)
            if (!(std::fabs(vNew[3 * i + c]) <= fmax)) return false;
        const Vec3<float> vel =
            Vec3<float>(float(vNew[3 * i]), float(vNew[3 * i + 1]), float(vNew[3 * i + 2]));
        const Vec3<float> p = vert[i] + vel * dt;
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return false;
    }
    return true;
}

}  // namespace

std::vector<Matrix> TetMesh::getTetRotations() {
    return blockRotations(elementRotations(*this));
}

void TetMesh::simulate(double dt, Matrix fext) {
    const int n = int(vert.size());
    const int N = 3 * n;
    double t0 = now();
    if (fext.m != N) {
        fext = Matrix::zeros(N, 1);
    } else if (fext.n != 1) {
        throw Matrix::size_mismatch(Matrix::zeros(N, 1), fext);
    }
    if (int(velocities.size()) != n) velocities.resize(n, Vec3<float>(0, 0, 0));

    // Rotations, kept both as 3 x 3 blocks for the element loop and as the 12 x 12 list that
    // fracture detection takes.
    const std::vector<double> rot3 = elementRotations(*this);
    const std::vector<Matrix> Rot = blockRotations(rot3);
    double t1 = now();

    Matrix M = getMassMatrix();
    Matrix C = getDampingMatrix();
    Matrix F0 = Matrix::zeros(N, 1), Fp = Matrix::zeros(N, 1);
    Matrix x = getCombinedVertVector();
    Matrix v = getCombinedVelocityVector();
    SparseMatrix K = stiffnessPattern(*this);

    assembleElements(*this, rot3, dt, K, F0, Fp);
    SparseMatrix A = systemMatrix(K, M, C, dt);

    // b = M v - dt (((K x + F0) - Fp) - fext), row by row in exactly that order.
    Matrix Kx = K * x;
    Matrix b(N, 1);
    for (int r = 0; r < N; ++r) b[r] = M[r] * v[r] - dt * (((Kx[r] + F0[r]) - Fp[r]) - fext[r]);
    double t2 = now();

    Matrix vNew = SparseMatrix::umfsolve(A, b);
    double t3 = now();

    bool solved = vNew.m == N && vNew.n == 1 && allFinite(vNew);
    const bool fits = solved && fitsSinglePrecision(vNew, vert, dt);
    if (fits) {
        for (int i = 0; i < n; ++i) {
            velocities[i] =
                Vec3<float>(float(vNew[3 * i]), float(vNew[3 * i + 1]), float(vNew[3 * i + 2]));
            vert[i] += velocities[i] * dt;
        }
        handleFractures(Rot);
        floorResponse(vert, velocities);
    } else {
        // One bad solve must not turn the body into NaN: keep this step's start state.
        if (solved)
            fprintf(stderr,
                    "simulate: the solution exceeds single precision (%d unknowns); step "
                    "skipped\n",
                    N);
        else
            fprintf(stderr, "simulate: the sparse solve failed (%d unknowns); step skipped\n", N);
        recentFractures.clear();
    }
    updateNormals();

    if (stepTiming) {
        double t4 = now();
        stepTiming->rotations += t1 - t0;
        stepTiming->assembly += t2 - t1;
        stepTiming->solve += t3 - t2;
        stepTiming->rest += t4 - t3;
        stepTiming->steps += 1;
    }
}
