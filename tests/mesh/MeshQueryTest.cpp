// Tests of the line-mesh intersection, the plane depth range and linear-blend skinning.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "mesh/mesh.h"
#include "tests/support/Capture.h"
#include "tests/support/MeshTestUtil.h"

using namespace meshtest;

namespace {

// nearT, farT, triangle and weights of a hit (-7 and (9, 9, 9) untouched), then what it printed.
std::string intersect(const Mesh& m, V o, V d, bool nearest = true) {
    double nearT = 0, farT = 0;
    int tri = -7;
    V bary(9, 9, 9);
    const std::string out = testsupport::captureStdout(
        [&] { intersectRayWithMesh(m, o, d, nearT, farT, tri, bary, nearest); });
    char buf[128];
    std::snprintf(buf, sizeof buf, "%g %g %d %s ", nearT, farT, tri, std::string(bary).c_str());
    return buf + out;
}

}  // namespace

// The whole line on the rest pose; the first triangle reaching the extreme is kept. A near miss
// prints its close lines; parallel lines and degenerate triangles print nothing.
TEST(MeshQuery, LineIntersection) {
    Mesh m = mesh({V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(0, 0, 1), V(1, 0, 1), V(0, 1, 1)},
                  {{0, 1, 2}, {3, 4, 5}, {3, 4, 5}});
    m.vert.assign(6, V(50, 50, 50));  // the current pose is not used
    const std::string all = "close: 0\nclose: 1\nclose: 2\n";
    EXPECT_EQ(intersect(m, V(0.25f, 0.25f, -5), V(0, 0, 1)), "5 6 0 [0.5,0.25,0.25] " + all);
    EXPECT_EQ(intersect(m, V(0.25f, 0.25f, -5), V(0, 0, 1), false), "5 6 1 [0.5,0.25,0.25] " + all);
    EXPECT_EQ(intersect(m, V(0.25f, 0.25f, 5), V(0, 0, 1)), "-5 -4 0 [0.5,0.25,0.25] " + all);
    const std::string none = "1e+11 -1e+11 -7 [9,9,9] ";
    EXPECT_EQ(intersect(m, V(-1e-6f, 0.25f, 5), V(0, 0, -1)), none + all);
    EXPECT_EQ(intersect(m, V(0.25f, 0.25f, 5), V(1, 0, 0)), none);
    Mesh flat = mesh({V(0, 0, 0), V(1, 0, 0), V(2, 0, 0)}, {{0, 1, 2}});
    EXPECT_EQ(intersect(flat, V(0.5f, 0, 5), V(0, 0, -1)), none);
}

TEST(MeshQuery, DepthRange) {
    Mesh m = mesh({V(3, 3, 1), V(-2, 0, 4)}, {}), empty;
    const double plane[4] = {0, 0, 1, -2};
    double r[4];
    depthRange(&m, plane, r[0], r[1]);
    depthRange(&empty, plane, r[2], r[3]);
    EXPECT_EQ(std::vector<double>(r, r + 4), (std::vector<double>{-1, 2, 1e11, -1e11}));
}

// Renormalised blend; no weights or a zero sum stay at rest; an unknown bone is reported; a
// short weight list does nothing. Spheres follow their own weights.
TEST(MeshQuery, AnimateBlendsBoneTransforms) {
    Mesh m = mesh(std::vector<V>(4, V(1, 2, 3)), {});
    m.boneWeights = {{{1.0f, 0}}, {{2.0f, 1}, {2.0f, 2}}, {}, {{1.0f, 1}, {-1.0f, 2}}};
    m.spheres.resize(1);
    m.spheres[0].weights = {{1.0f, 2}};
    std::vector<lumo::Mat4x4> bones(3);
    bones[1](0, 3) = 2;
    bones[2](1, 3) = 4;
    const std::vector<V> expected = {V(1, 2, 3), V(2, 4, 3), V(1, 2, 3), V(1, 2, 3)};
    m.animate(bones.data());
    EXPECT_EQ(m.vert, expected);
    EXPECT_EQ(m.spheres[0].center, V(0, 4, 0));
    m.boneWeights[0].push_back({1.0f, 9});
    EXPECT_EQ(testsupport::captureStderr([&] { m.animate(bones); }),
              "animate: weight for bone 9, which was not given; ignored\n");
    EXPECT_EQ(m.vert, expected);
    m.boneWeights.pop_back();
    m.animate(std::vector<lumo::Mat4x4>());
    EXPECT_EQ(m.vert, expected);
}
