// Queries and pose updates of Mesh: line-triangle intersection over the rest pose, the range of a
// plane's value over the current positions, and linear-blend skinning.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "mesh/mesh.h"

namespace {

using Vec3f = lumo::Vec3<float>;

// Largest bone number + 1 that a bone container can be indexed with (unknown for an array).
inline long boneLimit(const lumo::Mat4x4*) {
    return LONG_MAX;
}
inline long boneLimit(const std::vector<lumo::Mat4x4>& bones) {
    return long(bones.size());
}

// The first three rows of M applied to (p, 1), with M's entries taken as floats.
inline Vec3f transform(const lumo::Mat4x4& M, const Vec3f& p) {
    float r[3];
    for (int i = 0; i < 3; ++i)
        r[i] = float(M.data[4 * i]) * p.x + float(M.data[4 * i + 1]) * p.y +
               float(M.data[4 * i + 2]) * p.z + float(M.data[4 * i + 3]);
    return Vec3f(r[0], r[1], r[2]);
}

// Weighted blend of the bone transforms of p, divided by the weight sum when that is not 1
// (within 1e-6); all in single precision. A list that is empty or sums to zero gives no blend,
// and the point stays at p. Weights naming a bone outside the container are left out (reported
// once through *reported).
template <class T>
Vec3f skin(const Vec3f& p, const std::vector<Mesh::bone_weight_t>& weights, const T& bones,
           bool* reported) {
    Vec3f acc(0.0f, 0.0f, 0.0f);
    float wsum = 0.0f;
    for (const Mesh::bone_weight_t& w : weights) {
        if (w.bone < 0 || long(w.bone) >= boneLimit(bones)) {
            if (!*reported)
                std::fprintf(stderr, "animate: weight for bone %d, which was not given; ignored\n",
                             int(w.bone));
            *reported = true;
            continue;
        }
        const Vec3f q = transform(bones[w.bone], p);
        acc.x += w.weight * q.x;
        acc.y += w.weight * q.y;
        acc.z += w.weight * q.z;
        wsum += w.weight;
    }
    if (wsum == 0.0f) return p;
    if (std::fabs(wsum - 1.0f) > 1e-6f) {
        const float inv = 1.0f / wsum;
        acc = Vec3f(acc.x * inv, acc.y * inv, acc.z * inv);
    }
    return acc;
}

}  // namespace

void intersectRayWithMesh(const Mesh& mesh, const lumo::Vec3<float>& o, const lumo::Vec3<float>& d,
                          double& nearestT, double& farthestT, int& hitTri,
                          lumo::Vec3<float>& hitBary, bool nearest) {
    nearestT = 1e11;
    farthestT = -1e11;
    const std::vector<Vec3f>& rv = mesh.restVert;
    for (size_t i = 0; i < mesh.tris.size(); ++i) {
        const Mesh::Tri& tri = mesh.tris[i];
        const Vec3f& p0 = rv[tri.vi[0]];
        const Vec3f e1 = rv[tri.vi[1]] - p0, e2 = rv[tri.vi[2]] - p0;
        Vec3f n = e1 ^ e2;
        n.normalize();
        const double t = (n.dot(p0) - n.dot(o)) / n.dot(d);
        const Vec3f r = (o + d * t) - p0;
        const double A = e1.dot(e1), B = e1.dot(e2), C = e2.dot(e2), D = A * C - B * B;
        const double r1 = e1.dot(r), r2 = e2.dot(r);
        const double s = (C * r1 - B * r2) / D, u = (A * r2 - B * r1) / D;
        if (s >= 0 && u >= 0 && s + u <= 1) {
            if ((nearest && t < nearestT) || (!nearest && t > farthestT)) {
                hitTri = int(i);
                hitBary = Vec3f(float(1 - s - u), float(s), float(u));
            }
            nearestT = std::min(nearestT, t);
            farthestT = std::max(farthestT, t);
        }
        if (s >= -1e-5 && u >= -1e-5 && s + u <= 1.00002) std::printf("close: %d\n", int(i));
    }
}

void intersectRayWithMesh(const Mesh& mesh, const lumo::Vec3<float>& o, const lumo::Vec3<float>& d,
                          double& nearestT, double& farthestT) {
    int hitTri = -1;
    Vec3f hitBary;
    intersectRayWithMesh(mesh, o, d, nearestT, farthestT, hitTri, hitBary, true);
}

void depthRange(Mesh* mesh, const double* plane, double& minDepth, double& maxDepth) {
    minDepth = 1e11;
    maxDepth = -1e11;
    for (const Vec3f& p : mesh->vert) {
        const double v = plane[0] * p.x + plane[1] * p.y + plane[2] * p.z + plane[3];
        minDepth = std::min(minDepth, v);
        maxDepth = std::max(maxDepth, v);
    }
}

template <class T>
void Mesh::animate(T bones) {
    if (boneWeights.size() < restVert.size()) return;
    bool reported = false;
    vert.resize(restVert.size());
    for (size_t i = 0; i < restVert.size(); ++i)
        vert[i] = skin(restVert[i], boneWeights[i], bones, &reported);
    initNormals();
    for (bounding_sphere_t& s : spheres) s.center = skin(s.restCenter, s.weights, bones, &reported);
}

template void Mesh::animate<lumo::Mat4x4*>(lumo::Mat4x4* bones);
template void Mesh::animate<std::vector<lumo::Mat4x4>>(std::vector<lumo::Mat4x4> bones);
