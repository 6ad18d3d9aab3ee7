// Conversions between 3 x 3 rotation matrices, rotation vectors (unit axis times angle in
// radians) and Euler angles. None checks that the matrix is orthogonal.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "numerics/matrix.h"
#include "numerics/vec3.h"

namespace lumo {

namespace {

// Below this sin(angle), with the angle past pi/2, the axis is taken from the symmetric part:
// the skew part 2 sin(angle) u is then mostly rounding noise.
const double kNearPiSine = 1e-6;

// Rotation vector of a rotation by theta (near pi) from its symmetric part
// (R + R^T)/2 - cos(theta) I = (1 - cos(theta)) u u^T; w = 2 sin(theta) u picks the sign of u.
Matrix rodNearPi(const Matrix& R, double c, double theta, const double w[3]) {
    double B[3][3];
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) B[i][j] = 0.5 * (R(i, j) + R(j, i)) - (i == j ? c : 0.0);
    // The column through the largest diagonal entry is the best-conditioned multiple of u.
    int k = 0;
    for (int i = 1; i < 3; ++i)
        if (B[i][i] > B[k][k]) k = i;
    Vec3<double> u(B[0][k], B[1][k], B[2][k]);
    u.normalize();
    if (u.x * w[0] + u.y * w[1] + u.z * w[2] < 0.0) u *= -1.0;
    Matrix r(3, 1);
    for (int i = 0; i < 3; ++i) r[i] = u[i] * theta;
    return r;
}

}  // namespace

Matrix Matrix::matrix2rod() const {
    if (m != 3 || n != 3) {
        std::printf("error in matrix2rod\n");
        return Matrix(0, 0);
    }
    const Matrix& R = *this;
    const double c = (R(0, 0) + R(1, 1) + R(2, 2) - 1.0) / 2.0;
    const double w[3] = {R(2, 1) - R(1, 2), R(0, 2) - R(2, 0), R(1, 0) - R(0, 1)};
    const double s = 0.5 * std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    const double theta = std::atan2(s, c);
    Matrix r(3, 1);
    if (std::fabs(s) <= 1e-16 && std::fabs(theta) <= 1e-16) {
        r.setAll(0.0);
        return r;
    }
    if (c < 0.0 && s < kNearPiSine) return rodNearPi(R, c, theta, w);
    const double inv = 1.0 / (2.0 * s);
    for (int i = 0; i < 3; ++i) r[i] = w[i] * inv * theta;
    return r;
}

Matrix Matrix::rod2matrix() const {
    // A 3 x 1 column (or the first column of a taller matrix); a 1 x 3 row is read in order.
    Vec3<double> r;
    if (m >= 3 && n >= 1)
        r = Vec3<double>(get(0, 0), get(1, 0), get(2, 0));
    else if (m * n == 3)
        r = Vec3<double>(data[0], data[1], data[2]);
    else
        return Matrix(0, 0);
    const double theta = r.normalize();
    if (theta <= 1e-14) return eye(3);
    Matrix K = zeros(3, 3);
    K(0, 1) = -r.z;
    K(0, 2) = r.y;
    K(1, 0) = r.z;
    K(1, 2) = -r.x;
    K(2, 0) = -r.y;
    K(2, 1) = r.x;
    Matrix result = eye(3);
    result += K * std::sin(theta);
    result += (K * K) * (1.0 - std::cos(theta));
    return result;
}

Matrix Matrix::rot2xyz() const {
    if (m != 3 || n != 3) return Matrix(0, 0);
    const Matrix& R = *this;
    // Rounding can push |R02| of a rotation just past 1, where asin has no value.
    const double beta = std::asin(std::max(-1.0, std::min(1.0, R(0, 2))));
    double alpha, gamma;
    if (beta >= M_PI / 2) {
        alpha = std::atan2(R(1, 0), R(1, 1));
        gamma = 0.0;
    } else if (beta <= -M_PI / 2) {
        alpha = -std::atan2(R(1, 0), R(1, 1));
        gamma = 0.0;
    } else {
        alpha = std::atan2(-R(1, 2), R(2, 2));
        gamma = std::atan2(-R(0, 1), R(0, 0));
    }
    Matrix angles(3, 1);
    angles[0] = alpha;
    angles[1] = beta;
    angles[2] = gamma;
    return angles;
}

Matrix Matrix::rot2zxy() const {
    // The angles of the top-left 3 x 3 block, so a 4 x 4 homogeneous transform gives those of
    // its rotation; anything smaller has no such block.
    if (m < 3 || n < 3) return Matrix(0, 0);
    const Matrix& R = *this;
    // Row 2 of Rz(z) Rx(x) Ry(y) is (-cos x sin y, sin x, cos x cos y): both R20 and R22 vanish
    // exactly when cos x does, and then only z + y (or z - y) is determined.
    double x, y, z;
    if (std::fabs(R(2, 0)) < 1e-15 && std::fabs(R(2, 2)) < 1e-15) {
        y = 0.0;
        z = std::atan2(R(1, 0), R(0, 0));
        x = std::atan2(R(2, 1), R(2, 2));
    } else {
        y = std::atan2(-R(2, 0), R(2, 2));
        const double cy = std::cos(y), sy = std::sin(y);
        x = std::atan2(R(2, 1), R(2, 2) * cy - R(2, 0) * sy);
        z = std::atan2(R(1, 0) * cy + R(1, 2) * sy, R(0, 0) * cy + R(0, 2) * sy);
    }
    Matrix angles(3, 1);
    angles[0] = z;
    angles[1] = x;
    angles[2] = y;
    return angles;
}

}  // namespace lumo
