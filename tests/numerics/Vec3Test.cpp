// Tests for the small value types: Vec3 arithmetic and normalisation, Vec4 and Vec3
// filled from matrices, the Mat4x4 layout and the quaternion rotation vector and product.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "numerics/vec3.h"

using lumo::Matrix;
using lumo::Quaternion;
using lumo::Vec3;
using lumo::Vec4;
typedef Vec3<double> V;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Quaternion components to 1e-15: a few ulps of values of order one.
void expectQuat(const Quaternion& q, double a, double x, double y, double z) {
    EXPECT_NEAR(q.a, a, 1e-15);
    EXPECT_NEAR(q.v.x, x, 1e-15);
    EXPECT_NEAR(q.v.y, y, 1e-15);
    EXPECT_NEAR(q.v.z, z, 1e-15);
}
}  // namespace

TEST(Vec3, NormalizeEdgeCases) {
    // {input x, input y, returned length, resulting x, resulting y}
    const double cases[][5] = {{0, 0, 0, 0, 0},
                               {1e-15, 0, 1e-15, 0, 0},
                               {1 + 1e-15, 0, 1 + 1e-15, 1 + 1e-15, 0},  // left unchanged
                               {3, 4, 5, 0.6, 0.8}};
    for (auto& c : cases) {
        V v(c[0], c[1], 0);
        EXPECT_EQ(v.normalize(), c[2]);
        EXPECT_NEAR(v.x, c[3], 1e-16);
        EXPECT_NEAR(v.y, c[4], 1e-16);
    }
    Vec3<float> f(3.f, 4.f, 0.f);
    EXPECT_EQ(f.normalize(), 5.0);
    EXPECT_FLOAT_EQ(f.y, 0.8f);
    V bad(kNaN, 1, 0);  // a NaN length gives the zero vector and is returned
    EXPECT_TRUE(std::isnan(bad.normalize()));
    EXPECT_TRUE(bad == V(0, 0, 0));
}

TEST(Vec3, ArithmeticMinMaxAndEquality) {
    V a(1, 2, 3), b(4, 5, 6);
    EXPECT_TRUE(a * b == V(4, 10, 18));  // component-wise, not the dot product
    EXPECT_TRUE((a ^ b) == V(-3, 6, -3));
    EXPECT_TRUE(a.cross(b) == (a ^ b));
    EXPECT_EQ(a.dot(b), 32.0);
    EXPECT_EQ(V(2, 3, 6).len(), 7.0);
    EXPECT_TRUE(a + b - V(1, 1, 1) == V(4, 6, 8));
    V c = a * 2.0;
    c += b;
    c -= a;
    c *= 0.5;
    c /= 0.25;
    EXPECT_TRUE(c == V(10, 14, 18));
    Vec3<int> i(7, 8, -9);  // scaled in double, truncated on storing
    i /= 2.0;
    EXPECT_TRUE(i == Vec3<int>(3, 4, -4));

    EXPECT_TRUE(V(1, 5, 2).max(V(1, 3, 7)) == V(1, 5, 7));
    EXPECT_TRUE(V(1, 5, 2).min(V(1, 3, 7)) == V(1, 3, 2));
    EXPECT_FALSE(std::signbit(V(0, 0, 0.0).max(V(0, 0, -0.0)).z));  // ties keep the receiver
    EXPECT_TRUE(V(1, 1, 1).max(V(kNaN, 0, 2)) == V(1, 1, 2));       // so does NaN
    EXPECT_FALSE(V(kNaN, 0, 0) == V(kNaN, 0, 0));

    EXPECT_EQ(sizeof(Vec3<float>), 3 * sizeof(float));  // contiguous triples for OpenGL
    a[2] = 9;
    EXPECT_EQ(a.getData()[2], 9.0);
}

TEST(Vec3, FilledFromMatricesByElementCount) {
    Matrix col(3, 1), row(1, 3), sq(2, 2);
    for (int k = 0; k < 4; ++k) {
        if (k < 3) col[k] = row[k] = k + 1.5;
        sq[k] = k;
    }
    EXPECT_TRUE(Vec3<float>(col) == Vec3<float>(1.5f, 2.5f, 3.5f));
    EXPECT_TRUE(V(row) == V(1.5, 2.5, 3.5));
    Vec4<float> v4(sq);
    EXPECT_EQ(v4[3], 3.f);
    for (auto fill :
         {+[] { V v(Matrix::zeros(2, 2)); }, +[] { Vec4<float> v(Matrix::zeros(3, 1)); }}) {
        try {
            fill();
            ADD_FAILURE() << "wrong element count accepted";
        } catch (const Matrix::size_mismatch& e) {
            EXPECT_STREQ(e.what(), "Dimension mismatch exception.");
        }
    }
}

TEST(Mat4x4, RowMajorIdentity) {
    lumo::Mat4x4 M;
    for (int k = 0; k < 16; ++k) EXPECT_EQ(M[k], k % 5 == 0 ? 1.0 : 0.0);
    M(1, 3) = 5.0;  // translation y
    EXPECT_EQ(M.data[7], 5.0);
}

TEST(Quaternion, RodAndProduct) {
    expectQuat(Quaternion::rod(V(0, 0, 0)), 1, 0, 0, 0);
    expectQuat(Quaternion::rod(V(0, 0, M_PI)), 0, 0, 0, 1);
    EXPECT_GT(Quaternion::rod(V(1e-12, 0, 0)).v.x, 0.0);  // exactly 1e-12 is a rotation
    EXPECT_EQ(Quaternion::rod(V(0.99e-12, 0, 0)).v.x, 0.0);
    const double t = 1.3, s = std::sin(t / 2) / t;
    expectQuat(Quaternion::rod(V(0.3, -0.4, 1.2)), std::cos(t / 2), 0.3 * s, -0.4 * s, 1.2 * s);

    Quaternion q = Quaternion::rod(V(0.2, 0.7, -0.1));
    Quaternion r = Quaternion(1, V(0, 0, 0)) * q;
    EXPECT_TRUE(r.a == q.a && r.v == q.v);  // identity: unchanged
    expectQuat(Quaternion(2, V(0, 0, 0)) * Quaternion(), 1, 0, 0, 0);
    EXPECT_EQ((Quaternion(1.0 + 5e-14, V(0, 0, 0)) * Quaternion()).a, 1.0 + 5e-14);  // within 1e-13
    Quaternion quarter = Quaternion::rod(V(0, 0, M_PI / 2));
    expectQuat(quarter * quarter, 0, 0, 0, 1);
    expectQuat(Quaternion(0, V(1, 0, 0)) * Quaternion(0, V(0, 1, 0)), 0, 0, 0, 1);  // i j = k
}
