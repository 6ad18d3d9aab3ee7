// Triangle geometry: construction of corners, edges, dual basis and plane from a position array,
// and the clamped point distance.
#include "sim/Triangle.h"

#include <algorithm>

using lumo::Vec3;

bool TriangleIndices::replaceVert(int oldVert, int newVert) {
    for (int k = 0; k < 3; ++k) {
        if (v[k] == oldVert) {
            v[k] = newVert;
            return true;
        }
    }
    return false;
}

Triangle::Triangle() : d(0.0) {}

Triangle::Triangle(const std::vector<Vec3<float>>& pos, const TriangleIndices& idx) {
    for (int k = 0; k < 3; ++k) p[k] = pos[idx[k]];
    e1 = p[1] - p[0];
    e2 = p[2] - p[0];

    // Unit normal by the system-wide rule: lengths within 1e-14 of 1 stay, tiny ones give 0.
    n = e1 ^ e2;
    n.normalize();
    d = -(double(p[0].x) * n.x + double(p[0].y) * n.y + double(p[0].z) * n.z);

    // Dual basis of (e1, e2) in the plane from the Gram matrix [[a, g], [g, c]]; every vector
    // term is rounded to single precision before the difference.
    double a = e1.dot(e1), g = e1.dot(e2), c = e2.dot(e2);
    double s = 1.0 / (a * c - g * g);
    b1 = (e1 * c - e2 * g) * s;
    b2 = (e2 * a - e1 * g) * s;
}

double Triangle::distance(const Vec3<float>& q) const {
    Vec3<float> r = q - p[0];
    double h = n.dot(r);
    Vec3<float> w = r - n * h;  // r projected into the plane
    double u = b1.dot(w), v = b2.dot(w);
    u = std::max(u, 0.0);
    v = std::max(v, 0.0);
    if (u + v >= 1) {
        double sum = u + v;
        u /= sum;
        v /= sum;
    }
    return (p[0] + e1 * u + e2 * v - q).len();
}
