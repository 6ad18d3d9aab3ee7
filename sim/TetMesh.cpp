// TetMesh construction from an OBJ file of tetrahedron faces (element search, vertex merging),
// the read-only queries and the drawing.
#include "sim/TetMesh.h"

#include <GL/glew.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <unordered_map>

using lumo::Matrix;
using lumo::Vec3;
using lumo::Vec4;

TetMesh::TetMesh(const Tetrahedron::Material& m)
    : fractureThreshold(1000.0), material(m), stepTiming(nullptr), reuseSolverAnalysis(true) {}

int TetMesh::loadobj(const char* path) {
    printf("loading obj: %s\n", path);
    int r = Mesh::loadobj(path, nullptr);
    buildTetrahedron();
    for (Tetrahedron& t : tets) {
        t.material = material;
        t.updateVolume(restVert);
    }
    tris.clear();
    return r;
}

namespace {

typedef std::array<int, 3> Face;

// Sorted, duplicate-free table of oriented faces, each stored in all three rotations, so a
// lookup of any rotation of an oriented face finds it. Exact for any vertex count.
class FaceTable {
  public:
    void add(int a, int b, int c) {
        keys_.push_back(Face{a, b, c});
        keys_.push_back(Face{b, c, a});
        keys_.push_back(Face{c, a, b});
    }
    void seal() {
        std::sort(keys_.begin(), keys_.end());
        keys_.erase(std::unique(keys_.begin(), keys_.end()), keys_.end());
    }
    bool has(int a, int b, int c) const {
        return std::binary_search(keys_.begin(), keys_.end(), Face{a, b, c});
    }

  private:
    std::vector<Face> keys_;
};

// Whether d lies strictly behind the face (a, b, c), i.e. on the side its counter-clockwise
// winding turns away from: ((b - a) x (c - a)) . (d - a) < 0, in double precision.
bool behindFace(const std::vector<Vec3<float>>& pos, int a, int b, int c, int d) {
    Vec3<double> pa(pos[a].x, pos[a].y, pos[a].z);
    Vec3<double> ab = Vec3<double>(pos[b].x, pos[b].y, pos[b].z) - pa;
    Vec3<double> ac = Vec3<double>(pos[c].x, pos[c].y, pos[c].z) - pa;
    Vec3<double> ad = Vec3<double>(pos[d].x, pos[d].y, pos[d].z) - pa;
    return (ab ^ ac).dot(ad) < 0.0;
}

}  // namespace

void TetMesh::buildTetrahedron() {
    tets.clear();
    const int N = int(vert.size());

    // Faces whose indices are not vertices of the file cannot close an element; they are
    // reported once and left out of the search.
    std::vector<char> usable(tris.size(), 1);
    int bad = 0;
    for (size_t t = 0; t < tris.size(); ++t) {
        for (int k = 0; k < 3; ++k)
            if (tris[t].vi[k] < 0 || tris[t].vi[k] >= N) usable[t] = 0;
        bad += !usable[t];
    }
    if (bad)
        fprintf(stderr, "tetrahedron faces: %d face(s) name a vertex outside 1..%d, ignored\n", bad,
                N);

    FaceTable faces;
    std::vector<std::vector<int>> adjacency(N);
    for (size_t t = 0; t < tris.size(); ++t) {
        if (!usable[t]) continue;
        const int* v = tris[t].vi;
        faces.add(v[0], v[1], v[2]);
        for (int k = 0; k < 3; ++k) {
            int p = v[k], q = v[(k + 1) % 3];
            adjacency[p].push_back(q);
            adjacency[q].push_back(p);
        }
    }
    faces.seal();
    for (std::vector<int>& a : adjacency) {
        std::sort(a.begin(), a.end());
        a.erase(std::unique(a.begin(), a.end()), a.end());
    }

    // An element is identified by its vertex multiset, whatever the order its faces give.
    auto sortedKey = [](int a, int b, int c, int d) {
        std::array<int, 4> k{a, b, c, d};
        std::sort(k.begin(), k.end());
        return k;
    };
    std::set<std::array<int, 4>> seen;
    for (size_t t = 0; t < tris.size(); ++t) {
        if (!usable[t]) continue;
        int a = tris[t].vi[0], b = tris[t].vi[1], c = tris[t].vi[2];
        for (int d : adjacency[a]) {
            if (d == a || d == b || d == c) continue;
            if (!faces.has(b, a, d) || !faces.has(c, b, d) || !faces.has(a, c, d)) continue;
            // With vertex lines shared between elements, the apex of the neighbour across
            // (a, b, c) can pass the face test too; only a d behind the face closes an element.
            if (!behindFace(vert, a, b, c, d)) continue;
            std::array<int, 4> key = sortedKey(a, b, c, d);
            if (!seen.insert(key).second) continue;
            tets.push_back(Tetrahedron(a, b, c, d));
            tets.back().updateNormals(vert);
        }
    }
    printf("There are %d tets\n", int(tets.size()));
    removeDuplicateVert();
    velocities.assign(vert.size(), Vec3<float>(0, 0, 0));
    copiedFrom.clear();
}

namespace {

// Uniform grid over the kept vertices for the merge search. Cells are larger than the merge
// distance, so every vertex closer than it lies in the same or a neighbouring cell.
class MergeGrid {
  public:
    static constexpr double kCell = 4e-5;

    // Grid cell of p; false for non-finite positions, which never merge (their distances are
    // NaN) and so need no cell.
    static bool cellOf(const Vec3<float>& p, int64_t c[3]) {
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(p[k])) return false;
            double f = std::floor(p[k] / kCell);
            // Values this large are spaced far apart, so clamping merely shares cells.
            f = std::max(-4e18, std::min(4e18, f));
            c[k] = int64_t(f);
        }
        return true;
    }
    void insert(const int64_t c[3], int kept) { cells_[hash(c[0], c[1], c[2])].push_back(kept); }
    // Kept vertices whose cell hashes like one of the 27 cells around c (a superset of the
    // candidates; the caller tests the distance).
    template <class F>
    void forNeighbours(const int64_t c[3], F f) const {
        for (int64_t dx = -1; dx <= 1; ++dx)
            for (int64_t dy = -1; dy <= 1; ++dy)
                for (int64_t dz = -1; dz <= 1; ++dz) {
                    auto it = cells_.find(hash(c[0] + dx, c[1] + dy, c[2] + dz));
                    if (it == cells_.end()) continue;
                    for (int k : it->second) f(k);
                }
    }

  private:
    static uint64_t hash(int64_t x, int64_t y, int64_t z) {
        uint64_t h = uint64_t(x) * 0x9E3779B97F4A7C15ull;
        h ^= uint64_t(y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        h ^= uint64_t(z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
        return h;
    }
    std::unordered_map<uint64_t, std::vector<int>> cells_;
};

}  // namespace

void TetMesh::removeDuplicateVert() {
    const int n = int(vert.size());
    std::vector<Vec3<float>> keptVert, keptRest;
    std::vector<int> remap(n);
    MergeGrid grid;
    for (int i = 0; i < n; ++i) {
        // The first kept vertex (lowest kept index) strictly closer than 1e-5 absorbs vertex i.
        int found = -1;
        int64_t cell[3];
        bool finite = MergeGrid::cellOf(vert[i], cell);
        if (finite) {
            grid.forNeighbours(cell, [&](int k) {
                if ((found < 0 || k < found) && (keptVert[k] - vert[i]).len() < 1e-5) found = k;
            });
        }
        if (found >= 0) {
            remap[i] = found;
        } else {
            remap[i] = int(keptVert.size());
            if (finite) grid.insert(cell, remap[i]);
            keptVert.push_back(vert[i]);
            keptRest.push_back(restVert[i]);
        }
    }
    for (Mesh::Tri& t : tris)
        for (int k = 0; k < 3; ++k)
            if (t.vi[k] >= 0 && t.vi[k] < n) t.vi[k] = remap[t.vi[k]];
    for (Tetrahedron& t : tets)
        for (int k = 0; k < 4; ++k) t.verts[k] = remap[t.verts[k]];
    printf("removed %d/%d\n", int(keptVert.size()), n);
    vert.swap(keptVert);
    restVert.swap(keptRest);
}

int TetMesh::appendVertexCopy(int v) {
    // Copies first: push_back may move the arrays the references point into.
    const Vec3<float> pos = vert[v], rest = restVert[v], vel = velocities[v];
    vert.push_back(pos);
    restVert.push_back(rest);
    velocities.push_back(vel);
    copiedFrom.resize(vert.size() - 1, -1);
    copiedFrom.push_back(v);
    return int(vert.size()) - 1;
}

std::vector<std::set<int>> TetMesh::getVertexAdjacency() const {
    std::vector<std::set<int>> adj(vert.size());
    for (const Tetrahedron& t : tets)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) adj[t.verts[i]].insert(t.verts[j]);
    return adj;
}

Matrix TetMesh::getMassMatrix() const {
    Matrix M(3 * int(vert.size()), 1);
    M.setAll(10.0);
    return M;
}

Matrix TetMesh::getDampingMatrix() const {
    Matrix C = getMassMatrix();
    C *= 0.5;
    return C;
}

Matrix TetMesh::getCombinedVertVector() const {
    Matrix x(3 * int(vert.size()), 1);
    for (size_t i = 0; i < vert.size(); ++i)
        for (int c = 0; c < 3; ++c) x[3 * i + c] = vert[i][c];
    return x;
}

Matrix TetMesh::getCombinedVelocityVector() const {
    Matrix v(3 * int(vert.size()), 1);
    for (size_t i = 0; i < vert.size(); ++i)
        for (int c = 0; c < 3; ++c) v[3 * i + c] = i < velocities.size() ? velocities[i][c] : 0.0;
    return v;
}

Vec3<float> TetMesh::getWorldCoordinates(int tet, const Vec4<float>& bary) const {
    return tets[tet].getWorldCoordinates(vert, bary);
}

namespace {
Vec4<float> baryOf(const Tetrahedron& t, const std::vector<Vec3<float>>& pos,
                   const Vec3<float>& p) {
    Matrix h(4, 1);
    h[0] = p.x;
    h[1] = p.y;
    h[2] = p.z;
    h[3] = 1.0;
    return Vec4<float>(Matrix::linLeastSq(t.getBaryMatrix(pos), h));
}
}  // namespace

Vec4<float> TetMesh::getBaryCoordinates(int tet, const Vec3<float>& p) const {
    return baryOf(tets[tet], vert, p);
}

Vec4<float> TetMesh::getRestBaryCoordinates(int tet, const Vec3<float>& p) const {
    return baryOf(tets[tet], restVert, p);
}

std::vector<int> TetMesh::getTetrahedronContaining(int v) const {
    std::vector<int> out;
    for (size_t i = 0; i < tets.size(); ++i)
        if (tets[i].containsVertex(v)) out.push_back(int(i));
    return out;
}

const std::vector<TetMeshFractureInfo>& TetMesh::getRecentFractures() const {
    return recentFractures;
}

void TetMesh::updateNormals() {
    for (Tetrahedron& t : tets) t.updateNormals(vert);
}

void TetMesh::drawSelect() {
    for (size_t i = 0; i < tets.size(); ++i) {
        glLoadName(GLuint(i));
        tets[i].drawSelect(vert);
    }
}

void TetMesh::draw() {
    for (const Tetrahedron& t : tets) t.drawFaces(vert);
    if (!tets.empty()) Tetrahedron::drawVertexNumbers(vert);
}
