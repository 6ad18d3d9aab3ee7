// Small value types: the 3-vector Vec3<T>, the 4-vector Vec4<T>, the row-major 4x4 transform
// Mat4x4 and the rotation quaternion Quaternion.
#pragma once

#include <cmath>
#include <ostream>
#include <sstream>
#include <string>

#include "numerics/matrix.h"

namespace lumo {

// Three components x, y, z overlaid on data[0..2]. Used as float (positions, normals, texture
// coordinates, velocities), double (camera position, quaternion vector part) and int (flags).
// Arrays of them are contiguous triples, so std::vector<Vec3<float>> can go to OpenGL as floats.
// Indices are not checked.
template <class T>
class Vec3 {
  public:
    union {
        struct {
            T x, y, z;
        };
        T data[3];
    };

    Vec3() { x = y = z = T(0); }
    Vec3(T x_, T y_, T z_) {
        x = x_;
        y = y_;
        z = z_;
    }
    Vec3(const Vec3& v) = default;
    Vec3& operator=(const Vec3& v) = default;
    // Takes the three elements of M in storage order (3 x 1 or 1 x 3); any other element count
    // throws Matrix::size_mismatch().
    Vec3(const Matrix& M) {
        if (M.m * M.n != 3) throw Matrix::size_mismatch();
        x = static_cast<T>(M.data[0]);
        y = static_cast<T>(M.data[1]);
        z = static_cast<T>(M.data[2]);
    }

    double dot(const Vec3& v) const {
        return double(x) * double(v.x) + double(y) * double(v.y) + double(z) * double(v.z);
    }
    double len() const { return std::sqrt(dot(*this)); }

    // Makes the vector unit length and returns its former length (computed in double). A
    // length within 1e-14 of 1 is left as it is; a length of at most 1e-14 (or NaN) gives the
    // zero vector.
    double normalize() {
        double l = len();
        if (std::fabs(l - 1.0) < 1e-14) return l;
        if (l > 1e-14) {
            x = static_cast<T>(double(x) / l);
            y = static_cast<T>(double(y) / l);
            z = static_cast<T>(double(z) / l);
        } else {
            x = y = z = T(0);
        }
        return l;
    }

    Vec3& operator/=(double s) {
        x = static_cast<T>(double(x) / s);
        y = static_cast<T>(double(y) / s);
        z = static_cast<T>(double(z) / s);
        return *this;
    }
    Vec3& operator*=(double s) {
        x = static_cast<T>(double(x) * s);
        y = static_cast<T>(double(y) * s);
        z = static_cast<T>(double(z) * s);
        return *this;
    }
    // Component-wise product (not the dot product).
    Vec3 operator*(const Vec3& v) const { return Vec3(x * v.x, y * v.y, z * v.z); }
    Vec3 operator*(double s) const {
        return Vec3(static_cast<T>(double(x) * s), static_cast<T>(double(y) * s),
                    static_cast<T>(double(z) * s));
    }
    Vec3& operator+=(const Vec3& v) {
        x += v.x;
        y += v.y;
        z += v.z;
        return *this;
    }
    Vec3& operator-=(const Vec3& v) {
        x -= v.x;
        y -= v.y;
        z -= v.z;
        return *this;
    }
    Vec3 operator+(const Vec3& v) const { return Vec3(x + v.x, y + v.y, z + v.z); }
    Vec3 operator-(const Vec3& v) const { return Vec3(x - v.x, y - v.y, z - v.z); }

    // Cross product this x v; ^ and cross are the same operation.
    Vec3 operator^(const Vec3& v) const {
        return Vec3(y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x);
    }
    Vec3 cross(const Vec3& v) const { return *this ^ v; }

    T* getData() { return data; }
    const T* getData() const { return data; }

    // Component-wise; v's component is taken only when strictly smaller (min) or greater (max),
    // so ties and NaN keep this vector's component.
    Vec3 min(const Vec3& v) const {
        return Vec3(v.x < x ? v.x : x, v.y < y ? v.y : y, v.z < z ? v.z : z);
    }
    Vec3 max(const Vec3& v) const {
        return Vec3(v.x > x ? v.x : x, v.y > y ? v.y : y, v.z > z ? v.z : z);
    }

    T& operator[](int i) { return data[i]; }
    const T& operator[](int i) const { return data[i]; }
    bool operator==(const Vec3& v) const { return x == v.x && y == v.y && z == v.z; }

    // "[x,y,z]" with each component written as a double in the stream's current format.
    std::ostream& print(std::ostream& os) const {
        os << "[" << double(x) << "," << double(y) << "," << double(z) << "]";
        return os;
    }
    operator std::string() const {
        std::ostringstream ss;
        print(ss);
        return ss.str();
    }
};

template <class T>
std::ostream& operator<<(std::ostream& os, const Vec3<T>& v) {
    return v.print(os);
}

// Four components x, y, z, w overlaid on data[0..3]; used as Vec4<float> for barycentric weights
// (weight k belongs to a tetrahedron's vertex slot k) and RGBA colours.
template <class T>
class Vec4 {
  public:
    union {
        struct {
            T x, y, z, w;
        };
        T data[4];
    };

    Vec4() { x = y = z = w = T(0); }
    Vec4(T x_, T y_, T z_, T w_) {
        x = x_;
        y = y_;
        z = z_;
        w = w_;
    }
    Vec4(const Vec4& v) = default;
    Vec4& operator=(const Vec4& v) = default;
    // Takes the four elements of M in storage order (4 x 1, 1 x 4 or 2 x 2); any other element
    // count throws Matrix::size_mismatch().
    Vec4(const Matrix& M) {
        if (M.m * M.n != 4) throw Matrix::size_mismatch();
        for (int k = 0; k < 4; ++k) data[k] = static_cast<T>(M.data[k]);
    }

    T& operator[](int i) { return data[i]; }
    const T& operator[](int i) const { return data[i]; }
    T* getData() { return data; }
    const T* getData() const { return data; }
};

// 4x4 transform of doubles, row-major: element (r, c) at data[4r + c], translation in column 3.
// A point p maps to M (p, 1).
class Mat4x4 {
  public:
    double data[16];

    Mat4x4() {
        for (int k = 0; k < 16; ++k) data[k] = (k % 5 == 0) ? 1.0 : 0.0;
    }
    double& operator()(int r, int c) { return data[4 * r + c]; }
    double operator()(int r, int c) const { return data[4 * r + c]; }
    double& operator[](int k) { return data[k]; }
    double operator[](int k) const { return data[k]; }
};

// Rotation quaternion: scalar part a, then vector part v. The rotation by angle t about the
// unit axis u is (cos t/2, u sin t/2).
class Quaternion {
  public:
    double a;
    Vec3<double> v;

    Quaternion() : a(1.0), v(0.0, 0.0, 0.0) {}
    Quaternion(double a_, const Vec3<double>& v_) : a(a_), v(v_) {}

    // Unit quaternion of the rotation by |r| radians about r; |r| < 1e-12 gives the identity.
    static Quaternion rod(const Vec3<double>& r) {
        double t = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
        if (t < 1e-12) return Quaternion(1.0, Vec3<double>(0.0, 0.0, 0.0));
        double s = std::sin(t / 2.0) / t;
        return Quaternion(std::cos(t / 2.0), Vec3<double>(r.x * s, r.y * s, r.z * s));
    }

    // Hamilton product this * q. The result is divided by its norm when that norm differs from
    // 1 by more than 1e-13, so products of unit quaternions do not drift.
    Quaternion operator*(const Quaternion& q) const {
        Quaternion r(a * q.a - v.dot(q.v), q.v * a + v * q.a + (v ^ q.v));
        double n = std::sqrt(r.a * r.a + r.v.x * r.v.x + r.v.y * r.v.y + r.v.z * r.v.z);
        if (std::fabs(n - 1.0) > 1e-13) {
            r.a /= n;
            r.v /= n;
        }
        return r;
    }
};

}  // namespace lumo
