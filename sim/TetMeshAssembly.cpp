// Assembly of the step's backward-Euler system: the stiffness pattern from a vertex -> element
// incidence, the co-rotated element matrices scattered through precomputed slots, the system
// matrix and the right-hand side.
#include <algorithm>
#include <cassert>

#include "sim/TetMeshStepWork.h"

using lumo::Matrix;
using lumo::Vec3;

namespace {

// Vertex -> (element, slot) incidence as lists: entries incStart[v] .. incStart[v+1]-1 of
// incElem hold 4 e + k for each slot k of element e that holds v.
void buildIncidence(const std::vector<Tetrahedron>& tets, int n, TetMesh::StepWork& w) {
    w.incStart.assign(n + 1, 0);
    for (const Tetrahedron& t : tets)
        for (int k = 0; k < 4; ++k) {
            assert(t.verts[k] >= 0 && t.verts[k] < n);
            ++w.incStart[t.verts[k] + 1];
        }
    for (int v = 0; v < n; ++v) w.incStart[v + 1] += w.incStart[v];
    w.incElem.resize(w.incStart[n]);
    std::vector<int>& fill = w.position;  // reused as the fill cursor
    fill.assign(w.incStart.begin(), w.incStart.end() - 1);
    for (size_t e = 0; e < tets.size(); ++e)
        for (int k = 0; k < 4; ++k) w.incElem[fill[tets[e].verts[k]]++] = int(4 * e + k);
}

// True when w's pattern was built for n vertices and these elements' vertex lists, on which
// alone it depends; otherwise records them for the build that follows.
bool patternIsCurrent(const std::vector<Tetrahedron>& tets, int n, TetMesh::StepWork& w) {
    bool same = n == w.nVerts && w.elementVerts.size() == 4 * tets.size();
    for (size_t e = 0; same && e < tets.size(); ++e)
        for (int k = 0; k < 4; ++k) same = same && w.elementVerts[4 * e + k] == tets[e].verts[k];
    if (same) return true;
    w.elementVerts.resize(4 * tets.size());
    for (size_t e = 0; e < tets.size(); ++e)
        for (int k = 0; k < 4; ++k) w.elementVerts[4 * e + k] = tets[e].verts[k];
    return false;
}

// Neighbours of each vertex through its elements (itself included), each once thanks to the
// marks, ascending: entries nbStart[v] .. nbStart[v+1]-1 of neighbours.
void buildNeighbours(const std::vector<Tetrahedron>& tets, int n, TetMesh::StepWork& w) {
    w.mark.assign(n, -1);
    w.nbStart.resize(n + 1);
    w.nbStart[0] = 0;
    w.neighbours.clear();
    for (int v = 0; v < n; ++v) {
        const size_t first = w.neighbours.size();
        w.neighbours.push_back(v);
        w.mark[v] = v;
        for (int k = w.incStart[v]; k < w.incStart[v + 1]; ++k) {
            const Tetrahedron& t = tets[w.incElem[k] / 4];
            for (int a = 0; a < 4; ++a)
                if (w.mark[t.verts[a]] != v) {
                    w.mark[t.verts[a]] = v;
                    w.neighbours.push_back(t.verts[a]);
                }
        }
        std::sort(w.neighbours.begin() + first, w.neighbours.end());
        w.nbStart[v + 1] = int(w.neighbours.size());
    }
}

}  // namespace

void buildStepPattern(const TetMesh& mesh, TetMesh::StepWork& w) {
    const int n = int(mesh.vert.size());
    const std::vector<Tetrahedron>& tets = mesh.tets;
    if (patternIsCurrent(tets, n, w)) return;
    buildIncidence(tets, n, w);
    buildNeighbours(tets, n, w);
    // Columns 3v .. 3v+2 each list rows 3u .. 3u+2 of every neighbour u; the slots of each
    // element's blocks follow from the neighbours' positions in the list of v.
    w.nVerts = n;
    w.p.resize(3 * size_t(n) + 1);
    w.i.resize(9 * w.neighbours.size());
    w.selfBlock.resize(n);
    w.blockSlot.resize(16 * tets.size());
    w.position.resize(n);
    int* rows = w.i.data();
    for (int v = 0; v < n; ++v) {
        const int* nb = &w.neighbours[w.nbStart[v]];
        const int deg = w.nbStart[v + 1] - w.nbStart[v], base = 9 * w.nbStart[v];
        for (int k = 0; k < deg; ++k) {
            w.position[nb[k]] = k;
            for (int r = 0; r < 3; ++r) rows[base + 3 * k + r] = 3 * nb[k] + r;
        }
        for (int c = 0; c < 3; ++c) w.p[3 * v + c] = base + 3 * deg * c;
        std::copy(rows + base, rows + base + 3 * deg, rows + base + 3 * deg);
        std::copy(rows + base, rows + base + 3 * deg, rows + base + 6 * deg);
        w.selfBlock[v] = w.nbStart[v] + w.position[v];
        // Block (a, b) of each element whose slot b holds v lies in v's columns.
        for (int k = w.incStart[v]; k < w.incStart[v + 1]; ++k) {
            const int e = w.incElem[k] / 4, b = w.incElem[k] % 4;
            for (int a = 0; a < 4; ++a)
                w.blockSlot[16 * e + 4 * a + b] = 9 * (w.nbStart[v] + w.position[tets[e].verts[a]]);
        }
    }
    w.p[3 * n] = int(w.i.size());
}

namespace {

// out = Q M for the 12 x Cols row-major matrix M, Q the 12 x 12 block-diagonal form of the 3 x 3
// row-major R: row 3a + r of out is sum_c R(r, c) row 3a + c of M, summed in increasing c.
template <int Cols>
void rotateRows(const double* __restrict R, const double* __restrict M, double* __restrict out) {
    for (int a = 0; a < 4; ++a) {
        const double* m0 = M + Cols * 3 * a;
        const double* m1 = m0 + Cols;
        const double* m2 = m1 + Cols;
        for (int r = 0; r < 3; ++r) {
            const double r0 = R[3 * r], r1 = R[3 * r + 1], r2 = R[3 * r + 2];
            double* o = out + Cols * (3 * a + r);
            for (int j = 0; j < Cols; ++j) o[j] = r0 * m0[j] + r1 * m1[j] + r2 * m2[j];
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

// Co-rotated element quantities of one tetrahedron with rotation R (3 x 3, row-major), Q its
// 12 x 12 block-diagonal form: Kt = Q K Q^T, f0 = Q (K x0), fp = Q (P plasticStrain). Q has
// one non-zero 3 x 3 block per block row, so each sum runs over those three terms only.
struct ElementWork {
    double R[9], Rt[9];
    // KtT is Kt transposed: KtT(j, i) = Kt(i, j).
    double QK[144], QKT[144], KtT[144], Kx0[12], f0[12], Pe[12], fp[12];

    void corotate(const Tetrahedron& t, const std::vector<Vec3<float>>& rest) {
        const double* K = t.K.data;
        rotateRows<12>(R, K, QK);
        // Kt = (Q K) Q^T has entry (i, 3b + r) = sum_c R(r, c) QK(i, 3b + c), which is entry
        // (3b + r, i) of Q (Q K)^T: the same products in the same order, on contiguous rows.
        for (int i = 0; i < 12; ++i)
            for (int j = 0; j < 12; ++j) QKT[12 * j + i] = QK[12 * i + j];
        rotateRows<12>(R, QKT, KtT);
        double x0[12];
        t.getVertexVector(rest, x0);
        multiply<12>(K, x0, Kx0);
        rotateRows<1>(R, Kx0, f0);
    }

    // Without plastic strain fp is zero (P e sums only zero products), and P, a twelfth of
    // the element's data, stays unread.
    void plasticForce(const Tetrahedron& t) {
        if (!hasPlasticStrain(t)) {
            std::fill(fp, fp + 12, 0.0);
            return;
        }
        multiply<6>(t.P.data, t.plasticStrain.data, Pe);
        rotateRows<1>(R, Pe, fp);
    }

    static bool hasPlasticStrain(const Tetrahedron& t) {
        for (int r = 0; r < 6; ++r)
            if (t.plasticStrain[r] != 0.0) return true;
        return false;
    }
};

// Adds Kt into the stiffness blocks through the element's block slots, and -f0 and fp into
// F0 and Fp. Each entry receives one term per element, so the order within the element does
// not matter.
void scatter(TetMesh::StepWork& w, int e, const Tetrahedron& t, const ElementWork& ew) {
    const int* slot = &w.blockSlot[16 * e];
    for (int a = 0; a < 4; ++a)
        for (int b = 0; b < 4; ++b) {
            double* block = &w.Kb[slot[4 * a + b]];
            for (int c = 0; c < 3; ++c) {
                const double* kt = ew.KtT + 12 * (3 * b + c) + 3 * a;  // Kt(3a + r, 3b + c)
                for (int r = 0; r < 3; ++r) block[3 * c + r] += kt[r];
            }
        }
    for (int i = 0; i < 12; ++i) {
        const int row = 3 * t.verts[i / 3] + i % 3;
        w.F0[row] -= ew.f0[i];
        w.Fp[row] += ew.fp[i];
    }
}

// Asks the caches for what the element loop reads ahead of element e, each in time for the
// next: the element itself (the pointers to its matrices) 8 ahead; its K and B matrices (into
// the second-level cache, which can track more misses at once) and its plastic strain 4 ahead;
// its P matrix when it is plastic, and the 16 stiffness blocks it adds into, 2 ahead. The
// matrices are separate heap blocks, which the hardware cannot guess. At tens of thousands of
// elements the loop is bound by these memory accesses, not by its arithmetic.
void prefetchForAssembly(const TetMesh::StepWork& w, const std::vector<Tetrahedron>& tets,
                         size_t e) {
    const int kIntoL2 = 1;  // locality hint of __builtin_prefetch
    if (e + 8 < tets.size()) {
        const char* t = reinterpret_cast<const char*>(&tets[e + 8]);
        for (size_t k = 0; k < sizeof(Tetrahedron); k += 64) __builtin_prefetch(t + k);
    }
    if (e + 4 < tets.size()) {
        const Tetrahedron& t = tets[e + 4];
        for (int k = 0; k < 144; k += 8) __builtin_prefetch(t.K.data + k, 0, kIntoL2);
        for (int k = 0; k < 72; k += 8) __builtin_prefetch(t.B.data + k, 0, kIntoL2);
        __builtin_prefetch(t.plasticStrain.data);
    }
    if (e + 2 < tets.size()) {
        const Tetrahedron& t = tets[e + 2];
        if (ElementWork::hasPlasticStrain(t))
            for (int k = 0; k < 72; k += 8) __builtin_prefetch(t.P.data + k);
        const int* slot = &w.blockSlot[16 * (e + 2)];
        for (int k = 0; k < 16; ++k) {
            __builtin_prefetch(&w.Kb[slot[k]], 1);
            __builtin_prefetch(&w.Kb[slot[k] + 8], 1);
        }
    }
}

}  // namespace

// On x86-64 the element loop is compiled twice, for AVX2 and for any x86-64, and the loader
// picks one by the CPU; flatten inlines the element kernels so they get the wider vectors too.
// AVX2 without FMA rounds every product and sum as SSE2 does, so both give the same bits.
// GCC only: clang 14 refuses flatten beside target_clones and does not emit the dispatcher
// for callers in other files, so a clang build has the one x86-64 loop (the same bits). Not
// under GCC's ThreadSanitizer either: it instruments the resolver that picks the clone, and the
// loader runs that resolver before the sanitizer's runtime is set up, so the program would
// crash before main.
#if defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define TETLAB_AVX2_CLONES __attribute__((target_clones("avx2", "default"), flatten))
#else
#define TETLAB_AVX2_CLONES
#endif

TETLAB_AVX2_CLONES void assembleStep(TetMesh& mesh, TetMesh::StepWork& w, double dt) {
    const size_t N = 3 * mesh.vert.size();
    w.Kb.assign(w.neighbours.size() * 9, 0.0);
    w.F0.assign(N, 0.0);
    w.Fp.assign(N, 0.0);
    ElementWork ew;
    for (size_t e = 0; e < mesh.tets.size(); ++e) {
        Tetrahedron& t = mesh.tets[e];
        prefetchForAssembly(w, mesh.tets, e);
        const double* R = &w.rot3[9 * e];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) {
                ew.R[3 * r + c] = R[3 * r + c];
                ew.Rt[3 * c + r] = R[3 * r + c];
            }
        ew.corotate(t, mesh.restVert);
        t.updatePlasticity(mesh.restVert, mesh.vert, ew.Rt, dt);
        ew.plasticForce(t);
        scatter(w, int(e), t, ew);
    }
}

void systemAndRightHandSide(const TetMesh& mesh, TetMesh::StepWork& w, double dt,
                            const Matrix& fext) {
    const int n = int(mesh.vert.size()), N = 3 * n;
    const Matrix M = mesh.getMassMatrix();
    const Matrix C = mesh.getDampingMatrix();
    // Column 3v + c of K lists, for each neighbour block k of v, its column c (three rows).
    // A = dt^2 K there, scaled by dt twice in that order; K x is summed column by column, as
    // the sparse-times-dense product sums it.
    w.A.resize(w.i.size());
    std::vector<double>& Kx = w.v;  // scratch until the solve writes the velocities
    Kx.assign(N, 0.0);
    for (int v = 0; v < n; ++v) {
        const int first = w.nbStart[v], deg = w.nbStart[v + 1] - first;
        // A vertex in no element has only its own block, of explicit zeros that K does not
        // hold: it adds nothing to K x (not even when its position is not finite).
        const bool lone = w.incStart[v] == w.incStart[v + 1];
        for (int c = 0; c < 3; ++c) {
            const double xc = lone ? 0.0 : double(mesh.vert[v][c]);
            double* a = &w.A[w.p[3 * v + c]];
            for (int k = 0; k < deg; ++k) {
                const double* col = &w.Kb[9 * (first + k) + 3 * c];
                double* kx = &Kx[3 * w.neighbours[first + k]];
                for (int r = 0; r < 3; ++r) {
                    a[3 * k + r] = (col[r] * dt) * dt;
                    kx[r] += col[r] * xc;
                }
            }
        }
        // Diagonal: (dt C + M) + A(i, i).
        for (int c = 0; c < 3; ++c) {
            const int row = 3 * v + c;
            double& d = w.A[w.p[row] + 3 * (w.selfBlock[v] - first) + c];
            d = (dt * C[row] + M[row]) + d;
        }
    }
    w.b.resize(N);
    for (int r = 0; r < N; ++r) {
        const double vr = mesh.velocities[r / 3][r % 3];
        w.b[r] = M[r] * vr - dt * (((Kx[r] + w.F0[r]) - w.Fp[r]) - fext[r]);
    }
}
