// Fracture of the tetrahedral mesh: principal-stress test per element, vertex splitting across
// the fracture plane, and the replay of a recorded split.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "numerics/small_kernels.h"
#include "sim/TetMeshStepWork.h"

namespace {

// u = R^T x - x0 for tetrahedron t (12 x 1), x and x0 its current and rest element vectors and
// R its 3 x 3 rotation (row-major), which the 12 x 12 form repeats on the diagonal.
void restFrameDisplacement(const Tetrahedron& t, const std::vector<lumo::Vec3<float>>& vert,
                           const std::vector<lumo::Vec3<float>>& restVert, const double R[9],
                           double u[12]) {
    double x[12], x0[12];
    t.getVertexVector(vert, x);
    t.getVertexVector(restVert, x0);
    for (int i = 0; i < 12; ++i) {
        const double* xk = x + 3 * (i / 3);
        const int c = i % 3;
        double sum = 0.0;
        for (int k = 0; k < 3; ++k) sum += R[3 * k + c] * xk[k];
        u[i] = sum - x0[i];
    }
}

// max over rows r of sum_j (|E| |B|)(r, j): every component of the stress (E B) u, exact or as
// computed below, is at most this times max_j |u_j| (up to rounding of about 1e-15 relative),
// since |(E B)(r, j)| <= sum_k |E(r, k)| |B(k, j)|.
double stressGain(const Tetrahedron& t) {
    double gain = 0.0;
    for (int r = 0; r < 6; ++r) {
        double row = 0.0;
        for (int j = 0; j < 12; ++j)
            for (int k = 0; k < 6; ++k)
                row += std::fabs(t.E.data[6 * r + k] * t.B.data[12 * k + j]);
        gain = std::max(gain, row);
    }
    return gain;
}

// The kept entry of tetrahedron i, renewed when the element's B or E is not the block it was
// computed from (the kept handles stop a replaced block from coming back at the same address):
// the stress gain is computed at once, the stress matrix E B only when it is next asked for.
TetMesh::StepWork::StressGain& keptStressEntry(TetMesh::StepWork& w, const Tetrahedron& t,
                                               size_t i) {
    TetMesh::StepWork::StressGain& g = w.stressGain[i];
    if (!g.valid || g.B.data != t.B.data || g.E.data != t.E.data) {
        g.B = t.B;
        g.E = t.E;
        g.gain = stressGain(t);
        g.EB.clear();
        g.valid = true;
    }
    return g;
}

// Rest-frame stress of a tetrahedron with kept entry g and rest-frame displacement u (6 x 1:
// xx, yy, zz, zx, xy, yz): s = (E B) u, both products summed as lumo::Matrix sums them, so the
// stress has the bits of the matrix expression.
void restFrameStress(TetMesh::StepWork::StressGain& g, const double u[12], double s[6]) {
    if (g.EB.empty()) {
        g.EB.resize(72);
        lumo::multiplyOrdered(g.E.data, g.B.data, g.EB.data(), 6, 6, 12);
    }
    lumo::multiplyOrdered(g.EB.data(), u, s, 6, 12, 1);
}

// True when the stress gain alone proves what surelyBelow would find: with m = max_j |u_j|,
// each stress component is at most gain m, so surelyBelow's bound plus its margin is at most
// 3.0000006 gain m. The factor 3.000001 keeps this test inside surelyBelow's, so it skips no
// tetrahedron that surelyBelow would keep, and saves reading the stress matrix for the others.
// A displacement that is not finite never passes.
bool surelyBelowByGain(double gain, const double u[12], double threshold) {
    double m = 0.0;
    for (int j = 0; j < 12; ++j) {
        const double a = std::fabs(u[j]);
        if (!(a <= std::numeric_limits<double>::max())) return false;
        m = std::max(m, a);
    }
    return 3.000001 * gain * m < threshold;
}

// Asks the cache for the element 16 tetrahedra ahead of tetrahedron i in the fracture test:
// its vertices and its B and E handles.
void prefetchForStressTest(const std::vector<Tetrahedron>& tets, size_t i) {
    if (i + 16 < tets.size()) {
        __builtin_prefetch(tets[i + 16].verts);
        __builtin_prefetch(&tets[i + 16].E);
    }
}

// True when the largest principal stress of s is certainly below threshold, by the Gershgorin
// bound max_i (S_ii + sum_j!=i |S_ij|) >= lambda_max. The margin, a billion times the rounding
// of a 3 x 3 eigen-solver, keeps every tetrahedron that the solver could put at or above the
// threshold. Saves the eigen-decomposition for the (usual) tetrahedra far from breaking; a NaN
// stress is never skipped here and fails the threshold test later.
bool surelyBelow(const double s[6], double threshold) {
    const double xy = std::fabs(s[4]), zx = std::fabs(s[3]), yz = std::fabs(s[5]);
    const double bound = std::max(s[0] + xy + zx, std::max(s[1] + xy + yz, s[2] + zx + yz));
    double scale = xy + zx + yz;
    for (int k = 0; k < 3; ++k) scale += std::fabs(s[k]);
    return bound + 1e-7 * scale < threshold;
}

// Largest principal stress of the stress vector s and its unit direction.
double largestPrincipalStress(const double s[6], lumo::Vec3<float>& direction) {
    lumo::Matrix S = lumo::Matrix::zeros(3, 3);
    S(0, 0) = s[0];
    S(1, 1) = s[1];
    S(2, 2) = s[2];
    S(0, 1) = S(1, 0) = s[4];  // xy
    S(0, 2) = S(2, 0) = s[3];  // zx
    S(1, 2) = S(2, 1) = s[5];  // yz
    lumo::Matrix V, lambda;
    S.eigSym(V, lambda);
    direction = lumo::Vec3<float>(static_cast<float>(V(0, 2)), static_cast<float>(V(1, 2)),
                                  static_cast<float>(V(2, 2)));
    return lambda[2];
}

// n . p with single-precision components, accumulated in double.
double planeDot(const lumo::Vec3<float>& n, const lumo::Vec3<float>& p) {
    return double(n.x) * double(p.x) + double(n.y) * double(p.y) + double(n.z) * double(p.z);
}

// Side of the plane n . p + off = 0 of each tetrahedron of star, by rest centroid: below[k]
// is 1 when star[k] lies on or below it (NaN counts as above); nAbove counts the others.
std::vector<char> sidesOfPlane(const TetMesh& tm, const std::vector<int>& star,
                               const lumo::Vec3<float>& n, double off, size_t& nAbove) {
    const lumo::Vec4<float> centre(0.25f, 0.25f, 0.25f, 0.25f);
    std::vector<char> below(star.size(), 0);
    nAbove = 0;
    for (size_t k = 0; k < star.size(); ++k) {
        const lumo::Vec3<float> c = tm.tets[star[k]].getWorldCoordinates(tm.restVert, centre);
        below[k] = planeDot(n, c) + off <= 0.0;
        if (!below[k]) ++nAbove;
    }
    return below;
}

// Splits vertex v of the star that tetrahedron i's crack runs through: the tetrahedra below
// the plane get a new copy w of v (coloured blue), the others keep v (green); all are marked
// in split. Returns the record of the split (whose constructor prints the groups).
TetMeshFractureInfo splitStar(TetMesh& tm, int i, int v, const lumo::Vec3<float>& n, double off,
                              const std::vector<int>& star, const std::vector<char>& below,
                              std::vector<char>& split) {
    printf("fracture: %d\n", i);
    const int w = tm.appendVertexCopy(v);
    std::vector<int> aboveList, belowList;
    for (size_t k = 0; k < star.size(); ++k) {
        Tetrahedron& t = tm.tets[star[k]];
        if (below[k]) {
            t.replaceVert(v, w);
            t.color = lumo::Vec3<float>(0.0f, 0.0f, 1.0f);
            belowList.push_back(star[k]);
        } else {
            t.color = lumo::Vec3<float>(0.0f, 1.0f, 0.0f);
            aboveList.push_back(star[k]);
        }
        split[star[k]] = 1;
    }
    return TetMeshFractureInfo(tm.tets, i, n, off, v, w, aboveList, belowList);
}

}  // namespace

void TetMesh::handleFractures(const std::vector<lumo::Matrix>& rotations) {
    assert(rotations.size() >= tets.size());
    std::vector<double> rot3(9 * tets.size());
    for (size_t e = 0; e < tets.size(); ++e)
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) rot3[9 * e + 3 * r + c] = rotations[e](r, c);
    handleFractures(rot3);
}

void TetMesh::handleFractures(const std::vector<double>& rot3) {
    assert(rot3.size() >= 9 * tets.size());
    recentFractures.clear();
    std::vector<char> split(tets.size(), 0);  // tetrahedra already involved in a split

    StepWork& work = stepWork.get();
    work.stressGain.resize(tets.size());
    for (int i = 0; i < static_cast<int>(tets.size()); ++i) {
        if (split[i]) continue;
        prefetchForStressTest(tets, size_t(i));
        double u[12], s[6];
        restFrameDisplacement(tets[i], vert, restVert, &rot3[9 * i], u);
        TetMesh::StepWork::StressGain& kept = keptStressEntry(work, tets[i], size_t(i));
        if (surelyBelowByGain(kept.gain, u, fractureThreshold)) continue;
        restFrameStress(kept, u, s);
        if (surelyBelow(s, fractureThreshold)) continue;
        lumo::Vec3<float> n;
        const double largest = largestPrincipalStress(s, n);
        if (!(largest >= fractureThreshold)) continue;  // NaN never fractures

        const int v = tets[i].verts[rand() % 4];
        const double off = -planeDot(n, restVert[v]);
        const std::vector<int> star = getTetrahedronContaining(v);
        size_t nAbove = 0;
        const std::vector<char> below = sidesOfPlane(*this, star, n, off, nAbove);
        if (nAbove > 0 && nAbove < star.size())
            recentFractures.push_back(splitStar(*this, i, v, n, off, star, below, split));
        tets[i].color += lumo::Vec3<float>(0.2f, 0.2f, 0.2f);
    }
}

namespace {

// Why a record cannot be replayed on a mesh with tets and nVerts vertices (empty when it can):
// every index must be in range and each tetrahedron of either group must hold the split
// vertex, as it did when the record was made.
std::string replayMismatch(const TetMeshFractureInfo& info, const std::vector<Tetrahedron>& tets,
                           int nVerts) {
    char text[160];
    if (info.vertex < 0 || info.vertex >= nVerts) {
        snprintf(text, sizeof text, "vertex %d out of range", info.vertex);
        return text;
    }
    // The copy is appended at index nVerts.
    if (info.newVertex < 0 || info.newVertex > nVerts) {
        snprintf(text, sizeof text, "newVertex %d out of range", info.newVertex);
        return text;
    }
    const int nTets = static_cast<int>(tets.size());
    std::set<int> belowSeen;
    for (int t : info.belowTets) {
        if (t < 0 || t >= nTets) {
            snprintf(text, sizeof text, "below tetrahedron %d out of range", t);
            return text;
        }
        // A tetrahedron listed twice would lack the vertex at its second replacement.
        if (!belowSeen.insert(t).second || !tets[t].containsVertex(info.vertex)) {
            snprintf(text, sizeof text, "below tetrahedron %d lacks vertex %d", t, info.vertex);
            return text;
        }
    }
    for (int t : info.aboveTets) {
        if (t < 0 || t >= nTets) {
            snprintf(text, sizeof text, "above tetrahedron %d out of range", t);
            return text;
        }
        if (belowSeen.count(t) || !tets[t].containsVertex(info.vertex)) {
            snprintf(text, sizeof text, "above tetrahedron %d lacks vertex %d", t, info.vertex);
            return text;
        }
    }
    return std::string();
}

}  // namespace

void TetMesh::debugFracture(TetMeshFractureInfo& info) {
    const int n = static_cast<int>(vert.size());
    std::string why;
    if (restVert.size() != vert.size() || velocities.size() != vert.size()) {
        why = "vertex arrays of different lengths";
    } else {
        why = replayMismatch(info, tets, n);
    }
    if (!why.empty()) {
        fprintf(stderr,
                "debugFracture: record of tetrahedron %d does not fit the mesh (%s); "
                "not applied\n",
                info.tet, why.c_str());
        return;
    }

    recentFractures.assign(1, info);
    appendVertexCopy(info.vertex);
    for (int t : info.belowTets) tets[t].replaceVert(info.vertex, info.newVertex);
    info.initSeparatingTriangles(tets);
}
