// Tests of the line-triangle intersection over the rest pose, the plane depth range and
// linear-blend skinning.
#include <gtest/gtest.h>

#include <cstdio>

#include "mesh/mesh.h"

namespace {

using V = lumo::Vec3<float>;

void addTri(Mesh& m, int a, int b, int c) {
    const int vi[3] = {a, b, c}, zero[3] = {0, 0, 0};
    m.tris.push_back(Mesh::Tri(vi, zero, zero));
}

// The triangle (0,0,0), (1,0,0), (0,1,0) at height z, appended to m's rest pose.
void addFlatTri(Mesh& m, float z) {
    const int base = int(m.restVert.size());
    for (const V& p : {V(0, 0, z), V(1, 0, z), V(0, 1, z)}) {
        m.restVert.push_back(p);
        m.vert.push_back(p);
    }
    addTri(m, base, base + 1, base + 2);
}

struct Hit {
    double nearestT, farthestT;
    int tri;
    V bary;
    std::string out;
};

Hit intersect(const Mesh& m, V o, V d, bool nearest) {
    Hit h{0, 0, -7, V(9, 9, 9), ""};
    testing::internal::CaptureStdout();
    intersectRayWithMesh(m, o, d, h.nearestT, h.farthestT, h.tri, h.bary, nearest);
    std::fflush(stdout);
    h.out = testing::internal::GetCapturedStdout();
    return h;
}

lumo::Mat4x4 translation(double x, double y, double z) {
    lumo::Mat4x4 M;
    M(0, 3) = x;
    M(1, 3) = y;
    M(2, 3) = z;
    return M;
}

}  // namespace

TEST(MeshQuery, LineHitsTriangleOnBothSides) {
    Mesh m;
    addFlatTri(m, 0);
    m.vert[0] = V(50, 50, 50);  // the test uses the rest pose, not the current one
    Hit h = intersect(m, V(0.25f, 0.25f, 5), V(0, 0, -1), true);
    EXPECT_EQ(h.nearestT, 5.0);
    EXPECT_EQ(h.farthestT, 5.0);
    EXPECT_EQ(h.tri, 0);
    EXPECT_EQ(h.bary, V(0.5f, 0.25f, 0.25f));
    EXPECT_EQ(h.out, "close: 0\n");
    // The whole line counts: the hit behind the origin has t = -5.
    Hit back = intersect(m, V(0.25f, 0.25f, 5), V(0, 0, 1), true);
    EXPECT_EQ(back.nearestT, -5.0);
    EXPECT_EQ(back.tri, 0);

    double nearT = 0, farT = 0;
    testing::internal::CaptureStdout();
    intersectRayWithMesh(m, V(0.25f, 0.25f, 5), V(0, 0, -1), nearT, farT);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "close: 0\n");
    EXPECT_EQ(nearT, 5.0);
    EXPECT_EQ(farT, 5.0);
}

TEST(MeshQuery, NearestAndFarthestOfStackedTriangles) {
    Mesh m;
    addFlatTri(m, 0);
    addFlatTri(m, 1);
    addFlatTri(m, 1);  // a duplicate: the first one reaching an extreme is kept
    const V o(0.25f, 0.25f, 5), d(0, 0, -1);
    Hit n = intersect(m, o, d, true), f = intersect(m, o, d, false);
    EXPECT_EQ(n.tri, 1);
    EXPECT_EQ(f.tri, 0);
    for (const Hit& h : {n, f}) {
        EXPECT_EQ(h.nearestT, 4.0);
        EXPECT_EQ(h.farthestT, 5.0);
        EXPECT_EQ(h.out, "close: 0\nclose: 1\nclose: 2\n");
    }
}

TEST(MeshQuery, MissesNearMissesAndParallelLines) {
    Mesh m;
    addFlatTri(m, 0);
    // 1e-6 outside the edge x = 0: reported as close, not hit.
    Hit near = intersect(m, V(-1e-6f, 0.25f, 5), V(0, 0, -1), true);
    EXPECT_EQ(near.out, "close: 0\n");
    EXPECT_EQ(near.tri, -7);
    EXPECT_EQ(near.bary, V(9, 9, 9));
    EXPECT_EQ(near.nearestT, 1e11);
    EXPECT_EQ(near.farthestT, -1e11);
    Hit far = intersect(m, V(2, 2, 5), V(0, 0, -1), true);
    EXPECT_EQ(far.out, "");
    EXPECT_EQ(far.tri, -7);
    // A line in the triangle's plane direction never hits.
    Hit parallel = intersect(m, V(0.25f, 0.25f, 5), V(1, 0, 0), true);
    EXPECT_EQ(parallel.out, "");
    EXPECT_EQ(parallel.nearestT, 1e11);
    // A degenerate triangle is never hit.
    Mesh flat;
    for (const V& p : {V(0, 0, 0), V(1, 0, 0), V(2, 0, 0)}) flat.restVert.push_back(p);
    addTri(flat, 0, 1, 2);
    EXPECT_EQ(intersect(flat, V(0.5f, 0, 5), V(0, 0, -1), true).nearestT, 1e11);
}

TEST(MeshQuery, DepthRange) {
    Mesh m;
    m.vert = {V(3, 3, 1), V(-2, 0, 4)};
    const double plane[4] = {0, 0, 1, -2};
    double lo = 0, hi = 0;
    depthRange(&m, plane, lo, hi);
    EXPECT_EQ(lo, -1.0);
    EXPECT_EQ(hi, 2.0);
    Mesh empty;
    depthRange(&empty, plane, lo, hi);
    EXPECT_EQ(lo, 1e11);
    EXPECT_EQ(hi, -1e11);
}

TEST(MeshQuery, AnimateBlendsBoneTransforms) {
    Mesh m;
    m.restVert = {V(1, 2, 3), V(1, 2, 3), V(1, 2, 3), V(4, 5, 6), V(4, 5, 6)};
    m.vert = {V(0, 0, 0), V(0, 0, 0), V(0, 0, 0), V(7, 7, 7), V(7, 7, 7)};
    m.boneWeights = {{{1.0f, 0}},               // identity
                     {{0.5f, 1}, {0.5f, 2}},    // average of two translations
                     {{2.0f, 1}, {2.0f, 1}},    // renormalised to one translation
                     {},                        // no weights: stays at rest
                     {{1.0f, 1}, {-1.0f, 2}}};  // zero sum: stays at rest
    Mesh::bounding_sphere_t s;
    s.restCenter = V(0, 0, 0);
    s.center = V(5, 5, 5);
    s.radius = 2;
    s.weights = {{1.0f, 2}};
    m.spheres.push_back(s);
    const std::vector<lumo::Mat4x4> bones = {lumo::Mat4x4(), translation(2, 0, 0),
                                             translation(0, 4, 0)};
    const std::vector<V> expected = {V(1, 2, 3), V(2, 4, 3), V(3, 2, 3), V(4, 5, 6), V(4, 5, 6)};
    m.animate(bones);
    EXPECT_EQ(m.vert, expected);
    EXPECT_EQ(m.spheres[0].center, V(0, 4, 0));
    EXPECT_EQ(m.spheres[0].radius, 2.0);
    EXPECT_EQ(m.norm.size(), 5u);

    // The array form behaves the same.
    m.vert.assign(5, V(0, 0, 0));
    std::vector<lumo::Mat4x4> copy = bones;
    m.animate(copy.data());
    EXPECT_EQ(m.vert, expected);

    // A rotation about z by 90 degrees.
    m.boneWeights.assign(5, {{1.0f, 0}});
    lumo::Mat4x4 rot;
    rot(0, 0) = 0;
    rot(0, 1) = -1;
    rot(1, 0) = 1;
    rot(1, 1) = 0;
    m.animate(std::vector<lumo::Mat4x4>{rot});
    EXPECT_EQ(m.vert[0], V(-2, 1, 3));
}

TEST(MeshQuery, AnimateWithoutWeightsOrWithUnknownBones) {
    Mesh m;
    m.restVert = {V(1, 2, 3)};
    m.vert = {V(9, 9, 9)};
    m.animate(std::vector<lumo::Mat4x4>{translation(1, 1, 1)});
    EXPECT_EQ(m.vert[0], V(9, 9, 9));  // no weight lists: untouched
    EXPECT_TRUE(m.norm.empty());

    m.boneWeights = {{{0.5f, 0}, {0.5f, 5}}};
    testing::internal::CaptureStderr();
    m.animate(std::vector<lumo::Mat4x4>{translation(1, 1, 1)});
    EXPECT_NE(testing::internal::GetCapturedStderr().find("bone 5"), std::string::npos);
    EXPECT_EQ(m.vert[0], V(2, 3, 4));  // the weight of the unknown bone is left out
}
