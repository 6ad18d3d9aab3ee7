// Triangle geometry: dual basis, normal, plane offset, clamped distance and index replacement.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/Triangle.h"

using lumo::Vec3;
typedef Vec3<float> V3;

namespace {

// Positions are small integers; float results carry at most a few ulps of rounding.
const double kTol = 1e-6;

void expectVec(const V3& v, double x, double y, double z) {
    EXPECT_NEAR(v.x, x, kTol);
    EXPECT_NEAR(v.y, y, kTol);
    EXPECT_NEAR(v.z, z, kTol);
}

std::vector<V3> unitTriangle() {
    return {V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0)};
}

}  // namespace

TEST(TriangleTest, UnitTriangleFields) {
    Triangle T(unitTriangle(), TriangleIndices(0, 1, 2));
    expectVec(T.p[0], 0, 0, 0);
    expectVec(T.p[2], 0, 1, 0);
    expectVec(T.e1, 1, 0, 0);
    expectVec(T.e2, 0, 1, 0);
    expectVec(T.n, 0, 0, 1);
    EXPECT_EQ(T.d, 0.0);
    expectVec(T.b1, 1, 0, 0);
    expectVec(T.b2, 0, 1, 0);
}

TEST(TriangleTest, DualBasisReproducesInPlanePoints) {
    std::vector<V3> pos = {V3(1, 2, 3), V3(4, 2, 1), V3(2, 5, 2)};
    Triangle T(pos, TriangleIndices(0, 1, 2));
    EXPECT_NEAR(T.n.len(), 1.0, 1e-6);
    EXPECT_NEAR(T.n.dot(T.e1), 0.0, 1e-5);
    EXPECT_NEAR(T.n.dot(T.e2), 0.0, 1e-5);
    // b1 and b2 are dual to e1 and e2.
    EXPECT_NEAR(T.b1.dot(T.e1), 1.0, 1e-5);
    EXPECT_NEAR(T.b1.dot(T.e2), 0.0, 1e-5);
    EXPECT_NEAR(T.b2.dot(T.e1), 0.0, 1e-5);
    EXPECT_NEAR(T.b2.dot(T.e2), 1.0, 1e-5);
    V3 q = T.p[0] + T.e1 * 0.3 + T.e2 * 0.25;
    EXPECT_NEAR(T.b1.dot(q - T.p[0]), 0.3, 1e-5);
    EXPECT_NEAR(T.b2.dot(q - T.p[0]), 0.25, 1e-5);
    // Every corner lies on the plane n . x + d = 0.
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(T.n.dot(pos[k]) + T.d, 0.0, 1e-5);
}

TEST(TriangleTest, ClampedDistance) {
    Triangle T(unitTriangle(), TriangleIndices(0, 1, 2));
    EXPECT_NEAR(T.distance(V3(0.25f, 0.25f, 2)), 2.0, kTol);
    EXPECT_NEAR(T.distance(V3(-1, -1, 0)), std::sqrt(2.0), kTol);  // clamped to p[0]
    EXPECT_NEAR(T.distance(V3(2, 0, 0)), 1.0, kTol);               // u = 2 scaled back to 1
    EXPECT_NEAR(T.distance(V3(2, 2, 0)), std::sqrt(4.5), kTol);    // u = v = 0.5 after scaling
    EXPECT_NEAR(T.distance(V3(0.2f, 0.3f, 0)), 0.0, kTol);
}

TEST(TriangleTest, ReversedWindingFlipsSide) {
    std::vector<V3> pos = {V3(1, 2, 3), V3(4, 2, 1), V3(2, 5, 2)};
    Triangle a(pos, TriangleIndices(0, 1, 2));
    Triangle b(pos, TriangleIndices(0, 2, 1));
    expectVec(b.n, -a.n.x, -a.n.y, -a.n.z);
    EXPECT_NEAR(b.d, -a.d, 1e-6);
    V3 x(7, -3, 5);
    EXPECT_NEAR(a.n.dot(x) + a.d, -(b.n.dot(x) + b.d), 1e-5);
    EXPECT_GT(std::fabs(a.n.dot(x) + a.d), 0.1);
}

TEST(TriangleTest, CollinearCornersGiveZeroPlane) {
    std::vector<V3> pos = {V3(0, 0, 0), V3(2, 0, 0), V3(4, 0, 0)};
    Triangle T(pos, TriangleIndices(0, 1, 2));
    expectVec(T.n, 0, 0, 0);
    EXPECT_EQ(T.d, 0.0);
}

TEST(TriangleTest, IndicesReplaceFirstMatchOnly) {
    TriangleIndices t(7, 8, 7);
    EXPECT_TRUE(t.replaceVert(7, 9));
    EXPECT_EQ(t[0], 9);
    EXPECT_EQ(t[1], 8);
    EXPECT_EQ(t[2], 7);
    TriangleIndices u(1, 2, 3);
    EXPECT_FALSE(u.replaceVert(7, 9));
    EXPECT_EQ(u[0], 1);
    EXPECT_EQ(u[1], 2);
    EXPECT_EQ(u[2], 3);
}
