// Triangle geometry: dual basis, normal, plane offset, clamped distance and index replacement.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/Triangle.h"

typedef lumo::Vec3<float> V3;

TEST(TriangleTest, ClampedDistanceToTheUnitTriangle) {
    // Small integer positions: float results carry at most a few ulps.
    Triangle T({V3(0, 0, 0), V3(1, 0, 0), V3(0, 1, 0)}, TriangleIndices(0, 1, 2));
    EXPECT_NEAR(T.distance(V3(0.25f, 0.25f, 2)), 2.0, 1e-6);
    EXPECT_NEAR(T.distance(V3(-1, -1, 0)), std::sqrt(2.0), 1e-6);  // clamped to p[0]
    EXPECT_NEAR(T.distance(V3(2, 0, 0)), 1.0, 1e-6);               // u = 2 scaled back to 1
    EXPECT_NEAR(T.distance(V3(2, 2, 0)), std::sqrt(4.5), 1e-6);    // u = v = 0.5 after scaling
}

TEST(TriangleTest, DualBasisAndPlaneOfAGeneralTriangle) {
    std::vector<V3> pos = {V3(1, 2, 3), V3(4, 2, 1), V3(2, 5, 2)};
    Triangle T(pos, TriangleIndices(0, 1, 2));
    // Corner coordinates are up to 5: the dual products carry a few float ulps of that.
    EXPECT_NEAR(T.n.len(), 1.0, 1e-6);
    EXPECT_NEAR(T.b1.dot(T.e1) + T.b2.dot(T.e2), 2.0, 1e-5);
    EXPECT_NEAR(std::fabs(T.b1.dot(T.e2)) + std::fabs(T.b2.dot(T.e1)), 0.0, 1e-5);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(T.n.dot(pos[k]) + T.d, 0.0, 1e-5);
    // The opposite winding flips n and d, so every side value changes sign.
    Triangle R(pos, TriangleIndices(0, 2, 1));
    V3 x(7, -3, 5);
    EXPECT_GT(std::fabs(T.n.dot(x) + T.d), 0.1);
    EXPECT_NEAR(T.n.dot(x) + T.d, -(R.n.dot(x) + R.d), 1e-5);
}

TEST(TriangleTest, CollinearCornersAndIndexReplacement) {
    Triangle T({V3(0, 0, 0), V3(2, 0, 0), V3(4, 0, 0)}, TriangleIndices(0, 1, 2));
    EXPECT_NEAR(T.n.len(), 0.0, 1e-6);
    EXPECT_EQ(T.d + Triangle().d, 0.0);  // also before any corners are given
    TriangleIndices t(7, 8, 7);
    EXPECT_TRUE(t.replaceVert(7, 9));  // the first match only
    EXPECT_EQ(t[0] * 100 + t[1] * 10 + t[2], 987);
    EXPECT_FALSE(t.replaceVert(5, 9));
}
