// Tests for the small value types: Vec3 arithmetic, normalisation and printing, Vec4 and Vec3
// filled from matrices, the Mat4x4 layout and the quaternion rotation vector and product.
#include <gtest/gtest.h>

#include <cmath>
#include <iomanip>
#include <limits>
#include <sstream>
#include <string>

#include "numerics/matrix.h"
#include "numerics/vec3.h"

using lumo::Matrix;
using lumo::Quaternion;
using lumo::Vec3;
using lumo::Vec4;

namespace {

void expectVec(const Vec3<double>& v, double x, double y, double z, double tol) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

}  // namespace

TEST(Vec3, ComponentsOverlayTheArray) {
    Vec3<float> v(1.f, 2.f, 3.f);
    EXPECT_EQ(v.getData(), &v.x);
    v.data[1] = 7.f;
    EXPECT_EQ(v.y, 7.f);
    v[2] = 9.f;
    EXPECT_EQ(v.z, 9.f);
    // Contiguous triples: a vector of Vec3<float> is a flat float array for OpenGL.
    EXPECT_EQ(sizeof(Vec3<float>), 3 * sizeof(float));
    EXPECT_EQ(sizeof(Vec3<double>), 3 * sizeof(double));
}

TEST(Vec3, NormalizeEdgeCases) {
    Vec3<double> zero(0, 0, 0);
    EXPECT_EQ(zero.normalize(), 0.0);
    EXPECT_TRUE(zero == Vec3<double>(0, 0, 0));

    Vec3<double> tiny(1e-15, 0, 0);
    EXPECT_EQ(tiny.normalize(), 1e-15);
    EXPECT_TRUE(tiny == Vec3<double>(0, 0, 0));

    // Within 1e-14 of unit length: left exactly as it is.
    Vec3<double> almost(1.0 + 1e-15, 0, 0);
    EXPECT_EQ(almost.normalize(), 1.0 + 1e-15);
    EXPECT_EQ(almost.x, 1.0 + 1e-15);

    Vec3<double> v(3, 4, 0);
    EXPECT_EQ(v.normalize(), 5.0);
    expectVec(v, 0.6, 0.8, 0.0, 1e-16);

    Vec3<float> f(3.f, 4.f, 0.f);
    EXPECT_EQ(f.normalize(), 5.0);
    EXPECT_FLOAT_EQ(f.x, 0.6f);
    EXPECT_FLOAT_EQ(f.y, 0.8f);

    // NaN length: the zero vector, and the NaN is returned.
    Vec3<double> bad(std::numeric_limits<double>::quiet_NaN(), 1, 0);
    EXPECT_TRUE(std::isnan(bad.normalize()));
    EXPECT_TRUE(bad == Vec3<double>(0, 0, 0));
}

TEST(Vec3, ProductsAndSums) {
    Vec3<double> a(1, 2, 3), b(4, 5, 6);
    EXPECT_TRUE(a * b == Vec3<double>(4, 10, 18));
    EXPECT_TRUE((a ^ b) == Vec3<double>(-3, 6, -3));
    EXPECT_TRUE(a.cross(b) == (a ^ b));
    EXPECT_EQ(a.dot(b), 32.0);
    EXPECT_EQ(Vec3<double>(2, 3, 6).len(), 7.0);
    EXPECT_TRUE(a + b == Vec3<double>(5, 7, 9));
    EXPECT_TRUE(b - a == Vec3<double>(3, 3, 3));
    EXPECT_TRUE(a * 2.0 == Vec3<double>(2, 4, 6));
    Vec3<double> c = a;
    c += b;
    c -= Vec3<double>(1, 1, 1);
    EXPECT_TRUE(c == Vec3<double>(4, 6, 8));
    c *= 0.5;
    EXPECT_TRUE(c == Vec3<double>(2, 3, 4));
    c /= 4.0;
    EXPECT_TRUE(c == Vec3<double>(0.5, 0.75, 1.0));

    // Scalings of an int vector are computed in double and truncated on storing.
    Vec3<int> i(7, 8, -9);
    i /= 2.0;
    EXPECT_TRUE(i == Vec3<int>(3, 4, -4));
}

TEST(Vec3, MinMaxKeepReceiverOnTiesAndNaN) {
    Vec3<double> a(1, 5, 2), b(1, 3, 7);
    EXPECT_TRUE(a.max(b) == Vec3<double>(1, 5, 7));
    EXPECT_TRUE(a.min(b) == Vec3<double>(1, 3, 2));
    Vec3<double> pz(1, 1, 0.0), nz(1, 1, -0.0);
    EXPECT_FALSE(std::signbit(pz.max(nz).z));  // tie: receiver's +0 stays
    EXPECT_TRUE(std::signbit(nz.min(pz).z));   // tie: receiver's -0 stays
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Vec3<double> n(1, 1, 1);
    EXPECT_TRUE(n.max(Vec3<double>(nan, 0, 2)) == Vec3<double>(1, 1, 2));
    EXPECT_TRUE(std::isnan(Vec3<double>(nan, 0, 0).min(Vec3<double>(-1, 0, 0)).x));
}

TEST(Vec3, EqualityIsExact) {
    EXPECT_TRUE(Vec3<float>(1, 2, 3) == Vec3<float>(1, 2, 3));
    EXPECT_FALSE(Vec3<float>(1, 2, 3) == Vec3<float>(1, 2, 3.0001f));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    Vec3<float> v(nan, 0, 0);
    EXPECT_FALSE(v == v);
}

TEST(Vec3, PrintForm) {
    std::ostringstream os;
    std::ostream& r = os << Vec3<float>(1.f, 0.5f, -2.f);
    EXPECT_EQ(&r, &os);
    EXPECT_EQ(os.str(), "[1,0.5,-2]");
    EXPECT_EQ(std::string(Vec3<int>(3, -4, 0)), "[3,-4,0]");
    // The stream's current formatting applies to each component.
    std::ostringstream p;
    p << std::setprecision(3) << Vec3<double>(1.0 / 3.0, 2.0, 1e-7);
    EXPECT_EQ(p.str(), "[0.333,2,1e-07]");
}

TEST(Vec3, FilledFromMatrixOfThreeElements) {
    Matrix col(3, 1), row(1, 3);
    for (int k = 0; k < 3; ++k) col[k] = row[k] = k + 1.5;
    Vec3<float> a = col;
    Vec3<double> b(row);
    EXPECT_TRUE(a == Vec3<float>(1.5f, 2.5f, 3.5f));
    EXPECT_TRUE(b == Vec3<double>(1.5, 2.5, 3.5));
    try {
        Vec3<double> c(Matrix::zeros(2, 2));
        FAIL() << "a 2x2 matrix filled a Vec3";
    } catch (const Matrix::size_mismatch& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception.");
    }
}

TEST(Vec4, FilledFromMatrixOfFourElements) {
    Matrix sq(2, 2);
    for (int k = 0; k < 4; ++k) sq[k] = k;
    Vec4<float> v = sq;
    for (int k = 0; k < 4; ++k) EXPECT_EQ(v[k], float(k));
    EXPECT_EQ(v.w, 3.f);
    EXPECT_EQ(v.getData(), &v.x);
    try {
        Vec4<float> w(Matrix::zeros(3, 1));
        FAIL() << "a 3x1 matrix filled a Vec4";
    } catch (const Matrix::size_mismatch& e) {
        EXPECT_STREQ(e.what(), "Dimension mismatch exception.");
    }
}

TEST(Mat4x4, RowMajorLayout) {
    lumo::Mat4x4 M;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(M(r, c), r == c ? 1.0 : 0.0);
    M(1, 3) = 5.0;  // translation y
    EXPECT_EQ(M.data[7], 5.0);
    EXPECT_EQ(M[7], 5.0);
}

TEST(Quaternion, RodBuildsRotationByVectorLength) {
    Quaternion id = Quaternion::rod(Vec3<double>(0, 0, 0));
    EXPECT_EQ(id.a, 1.0);
    EXPECT_TRUE(id.v == Vec3<double>(0, 0, 0));

    Quaternion half = Quaternion::rod(Vec3<double>(0, 0, M_PI));
    EXPECT_NEAR(half.a, 0.0, 1e-16);  // cos(pi/2) in double is 6e-17
    expectVec(half.v, 0, 0, 1, 1e-16);

    // Exactly 1e-12 is already a rotation; just below it is the identity.
    Quaternion small = Quaternion::rod(Vec3<double>(1e-12, 0, 0));
    EXPECT_GT(small.v.x, 0.0);
    EXPECT_NEAR(small.v.x, 5e-13, 1e-25);
    Quaternion below = Quaternion::rod(Vec3<double>(0.99e-12, 0, 0));
    EXPECT_EQ(below.v.x, 0.0);

    Quaternion q = Quaternion::rod(Vec3<double>(0.3, -0.4, 1.2));
    const double t = 1.3;
    EXPECT_NEAR(q.a, std::cos(t / 2), 1e-15);
    expectVec(q.v, 0.3 * std::sin(t / 2) / t, -0.4 * std::sin(t / 2) / t, 1.2 * std::sin(t / 2) / t,
              1e-15);
}

TEST(Quaternion, ProductRenormalisesOnlyBeyondTolerance) {
    Quaternion q = Quaternion::rod(Vec3<double>(0.2, 0.7, -0.1));
    Quaternion r = Quaternion(1, Vec3<double>(0, 0, 0)) * q;
    EXPECT_EQ(r.a, q.a);
    EXPECT_TRUE(r.v == q.v);

    Quaternion two = Quaternion(2, Vec3<double>(0, 0, 0)) * Quaternion();
    EXPECT_EQ(two.a, 1.0);
    EXPECT_TRUE(two.v == Vec3<double>(0, 0, 0));

    // A norm within 1e-13 of one is left as computed.
    Quaternion near = Quaternion(1.0 + 5e-14, Vec3<double>(0, 0, 0)) * Quaternion();
    EXPECT_EQ(near.a, 1.0 + 5e-14);

    // Hamilton product: two quarter turns about z make a half turn.
    Quaternion quarter = Quaternion::rod(Vec3<double>(0, 0, M_PI / 2));
    Quaternion h = quarter * quarter;
    EXPECT_NEAR(h.a, 0.0, 1e-15);
    expectVec(h.v, 0, 0, 1, 1e-15);
    // i * j = k.
    Quaternion k = Quaternion(0, Vec3<double>(1, 0, 0)) * Quaternion(0, Vec3<double>(0, 1, 0));
    EXPECT_EQ(k.a, 0.0);
    EXPECT_TRUE(k.v == Vec3<double>(0, 0, 1));
}
