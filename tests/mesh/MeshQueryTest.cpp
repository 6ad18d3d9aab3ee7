// Tests of the line-triangle intersection over the rest pose, the plane depth range and
// linear-blend skinning.
#include <gtest/gtest.h>

#include <cstdio>
#include <utility>

#include "mesh/mesh.h"
#include "tests/support/Capture.h"
#include "tests/support/MeshTestUtil.h"

using namespace meshtest;

namespace {

// The triangles (0,0,z), (1,0,z), (0,1,z) for each z.
Mesh stack(std::vector<float> zs) {
    std::vector<V> verts;
    std::vector<std::array<int, 3>> tris;
    for (float z : zs) {
        const int b = int(verts.size());
        verts.insert(verts.end(), {V(0, 0, z), V(1, 0, z), V(0, 1, z)});
        tris.push_back({b, b + 1, b + 2});
    }
    return mesh(verts, tris);
}

struct Hit {
    double nearestT = 0, farthestT = 0;
    int tri = -7;         // untouched without a hit
    V bary = V(9, 9, 9);  // likewise
    std::string out;
};

Hit intersect(const Mesh& m, V o, V d, bool nearest = true) {
    Hit h;
    h.out = testsupport::captureStdout(
        [&] { intersectRayWithMesh(m, o, d, h.nearestT, h.farthestT, h.tri, h.bary, nearest); });
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

// The whole line counts (negative t too), on the rest pose; the short form matches.
TEST(MeshQuery, LineHitsTriangle) {
    Mesh m = stack({0});
    m.vert[0] = V(50, 50, 50);  // the current pose is not used
    Hit h = intersect(m, V(0.25f, 0.25f, 5), V(0, 0, -1));
    EXPECT_EQ(h.nearestT, 5.0);
    EXPECT_EQ(h.farthestT, 5.0);
    EXPECT_EQ(h.tri, 0);
    EXPECT_EQ(h.bary, V(0.5f, 0.25f, 0.25f));
    EXPECT_EQ(h.out, "close: 0\n");
    Hit back = intersect(m, V(0.25f, 0.25f, 5), V(0, 0, 1));
    EXPECT_EQ(back.nearestT, -5.0);
    EXPECT_EQ(back.tri, 0);

    double nearT = 0, farT = 0;
    EXPECT_EQ(testsupport::captureStdout(
                  [&] { intersectRayWithMesh(m, V(0.25f, 0.25f, 5), V(0, 0, -1), nearT, farT); }),
              "close: 0\n");
    EXPECT_EQ(std::make_pair(nearT, farT), std::make_pair(5.0, 5.0));
}

// Stacked triangles: both calls give the same extremes; the recorded triangle is the first
// that reached the requested one (triangle 2 duplicates triangle 1).
TEST(MeshQuery, NearestAndFarthestOfStackedTriangles) {
    Mesh m = stack({0, 1, 1});
    for (bool nearest : {true, false}) {
        Hit h = intersect(m, V(0.25f, 0.25f, 5), V(0, 0, -1), nearest);
        EXPECT_EQ(h.tri, nearest ? 1 : 0);
        EXPECT_EQ(h.nearestT, 4.0);
        EXPECT_EQ(h.farthestT, 5.0);
        EXPECT_EQ(h.out, "close: 0\nclose: 1\nclose: 2\n");
    }
}

// A near miss prints its close line without a hit; far misses, lines parallel to the plane
// and degenerate triangles print nothing and hit nothing.
TEST(MeshQuery, MissesNearMissesParallelAndDegenerate) {
    Mesh m = stack({0}), flat = mesh({V(0, 0, 0), V(1, 0, 0), V(2, 0, 0)}, {{0, 1, 2}});
    const struct {
        const Mesh* mesh;
        V o, d;
        const char* out;
    } cases[] = {{&m, V(-1e-6f, 0.25f, 5), V(0, 0, -1), "close: 0\n"},
                 {&m, V(2, 2, 5), V(0, 0, -1), ""},
                 {&m, V(0.25f, 0.25f, 5), V(1, 0, 0), ""},
                 {&flat, V(0.5f, 0, 5), V(0, 0, -1), ""}};
    for (const auto& c : cases) {
        Hit h = intersect(*c.mesh, c.o, c.d);
        EXPECT_EQ(h.out, c.out);
        EXPECT_EQ(h.tri, -7);
        EXPECT_EQ(h.bary, V(9, 9, 9));
        EXPECT_EQ(h.nearestT, 1e11);
        EXPECT_EQ(h.farthestT, -1e11);
    }
}

TEST(MeshQuery, DepthRange) {
    Mesh m = mesh({V(3, 3, 1), V(-2, 0, 4)}, {}), empty;
    const double plane[4] = {0, 0, 1, -2};
    double lo = 0, hi = 0, elo = 0, ehi = 0;
    depthRange(&m, plane, lo, hi);
    depthRange(&empty, plane, elo, ehi);
    EXPECT_EQ(std::make_pair(lo, hi), std::make_pair(-1.0, 2.0));
    EXPECT_EQ(std::make_pair(elo, ehi), std::make_pair(1e11, -1e11));
}

TEST(MeshQuery, AnimateBlendsBoneTransforms) {
    Mesh m;
    m.restVert = {V(1, 2, 3), V(1, 2, 3), V(1, 2, 3), V(4, 5, 6), V(4, 5, 6), V(1, 2, 3)};
    m.boneWeights = {{{1.0f, 0}},              // identity
                     {{0.5f, 1}, {0.5f, 2}},   // average of two translations
                     {{2.0f, 1}, {2.0f, 1}},   // renormalised to one translation
                     {},                       // no weights: stays at rest
                     {{1.0f, 1}, {-1.0f, 2}},  // zero sum: stays at rest
                     {{0.5f, 1}, {0.5f, 9}}};  // unknown bone: left out, reported
    Mesh::bounding_sphere_t s;
    s.center = V(5, 5, 5);
    s.radius = 2;
    s.weights = {{1.0f, 2}};
    m.spheres.push_back(s);
    const std::vector<lumo::Mat4x4> bones = {lumo::Mat4x4(), translation(2, 0, 0),
                                             translation(0, 4, 0)};
    const std::vector<V> expected = {V(1, 2, 3), V(2, 4, 3), V(3, 2, 3),
                                     V(4, 5, 6), V(4, 5, 6), V(3, 2, 3)};
    std::vector<lumo::Mat4x4> array = bones;
    for (int form = 0; form < 2; ++form) {  // the vector and the array instance
        // An array cannot be checked: there the last vertex names a known bone.
        if (form == 1) m.boneWeights[5] = {{1.0f, 1}};
        m.vert.assign(6, V(0, 0, 0));
        const std::string err = testsupport::captureStderr(
            [&] { form == 0 ? m.animate(bones) : m.animate(array.data()); });
        EXPECT_EQ(err.find("bone 9") != std::string::npos, form == 0) << err;
        EXPECT_EQ(m.vert, expected);
        EXPECT_EQ(m.spheres[0].center, V(0, 4, 0));
        EXPECT_EQ(m.spheres[0].radius, 2.0);
        EXPECT_EQ(m.norm.size(), 6u);
    }

    // Without one weight list per vertex nothing happens.
    m.boneWeights.clear();
    m.norm.clear();
    m.animate(bones);
    EXPECT_EQ(m.vert, expected);
    EXPECT_TRUE(m.norm.empty());
}
