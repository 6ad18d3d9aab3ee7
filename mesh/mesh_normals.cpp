// Normals of Mesh: area-weighted per-vertex normals and crease-preserving per-corner normals,
// both from the current positions vert.
#include <cmath>

#include "mesh/mesh.h"

namespace {

using Vec3f = lumo::Vec3<float>;

// (p1 - p0) x (p2 - p1) in single precision: twice the area of the triangle p0 p1 p2 along its
// normal, so sums of these are area-weighted.
inline Vec3f faceNormal(const Vec3f& p0, const Vec3f& p1, const Vec3f& p2) {
    return (p1 - p0) ^ (p2 - p1);
}

}  // namespace

void Mesh::initNormals() {
    norm.assign(vert.size(), Vec3f(0.0f, 0.0f, 0.0f));
    for (Face& f : faces) {
        const Vec3f n = faceNormal(vert[f.vi[0]], vert[f.vi[1]], vert[f.vi[2]]);
        for (int k = 0; k < 4; ++k) {
            f.ni[k] = f.vi[k];
            norm[f.vi[k]] += n;
        }
    }
    for (Tri& t : tris) {
        const Vec3f n = faceNormal(vert[t.vi[0]], vert[t.vi[1]], vert[t.vi[2]]);
        for (int k = 0; k < 3; ++k) {
            t.ni[k] = t.vi[k];
            norm[t.vi[k]] += n;
        }
    }
    for (Vec3f& n : norm) n.normalize();
}

void Mesh::initNormalsAutoSmooth(double angle) {
    const size_t nt = tris.size();
    norm.assign(3 * nt, Vec3f(0.0f, 0.0f, 0.0f));
    norm.reserve(3 * nt + 4 * faces.size());

    std::vector<Vec3f> unitNormal(nt);
    for (size_t i = 0; i < nt; ++i) {
        const Tri& t = tris[i];
        unitNormal[i] = faceNormal(vert[t.vi[0]], vert[t.vi[1]], vert[t.vi[2]]);
        unitNormal[i].normalize();
    }

    // Triangles round each vertex, in triangle order, as one flat array: the triangles of
    // vertex v are around[first[v]] .. around[first[v + 1] - 1]. A triangle naming a vertex
    // twice is listed twice.
    const size_t nv = vert.size();
    std::vector<int> first(nv + 1, 0);
    for (const Tri& t : tris)
        for (int k = 0; k < 3; ++k) ++first[t.vi[k] + 1];
    for (size_t v = 0; v < nv; ++v) first[v + 1] += first[v];
    std::vector<int> around(first[nv]);
    std::vector<int> fill(first.begin(), first.end() - 1);
    for (size_t i = 0; i < nt; ++i)
        for (int k = 0; k < 3; ++k) around[fill[tris[i].vi[k]]++] = int(i);

    const double c = std::cos(angle * 3.141592653589793 / 180.0);
    for (size_t i = 0; i < nt; ++i) {
        Tri& t = tris[i];
        for (int k = 0; k < 3; ++k) {
            const int v = t.vi[k];
            Vec3f sum(0.0f, 0.0f, 0.0f);
            for (int a = first[v]; a < first[v + 1]; ++a) {
                const Vec3f& nj = unitNormal[around[a]];
                if (nj.dot(unitNormal[i]) >= c) sum += nj;
            }
            sum.normalize();
            norm[3 * i + k] = sum;
            t.ni[k] = int(3 * i + k);
        }
    }

    // Quads get their own flat unit face normal at their four corners, stored after the
    // triangle corners (entry 3 * tris.size() + 4q + k), so that every ni names an entry.
    for (size_t q = 0; q < faces.size(); ++q) {
        Face& f = faces[q];
        Vec3f n = faceNormal(vert[f.vi[0]], vert[f.vi[1]], vert[f.vi[2]]);
        n.normalize();
        for (int k = 0; k < 4; ++k) {
            f.ni[k] = int(norm.size());
            norm.push_back(n);
        }
    }
}
