// Triangle geometry frozen from a position array (corners, edges, dual basis, plane) and the
// index triple it is built from.
#pragma once

#include <vector>

#include "numerics/vec3.h"

// Three vertex indices of a triangle, addressed by position 0, 1, 2.
struct TriangleIndices {
    int v[3];

    TriangleIndices() : v{0, 0, 0} {}
    TriangleIndices(int a, int b, int c) : v{a, b, c} {}

    int& operator[](int k) { return v[k]; }
    int operator[](int k) const { return v[k]; }

    // The first position (0, 1, 2 in order) holding oldVert gets newVert. Returns false, and
    // changes nothing, when no position holds oldVert.
    bool replaceVert(int oldVert, int newVert);
};

// Plain geometric record of one triangle. For a point q of the plane,
// q = p[0] + u e1 + v e2 with u = b1 . (q - p[0]) and v = b2 . (q - p[0]); q is inside the
// triangle when u >= 0, v >= 0 and u + v <= 1. The signed side of any point x is n . x + d,
// positive on the side n points to (n follows e1 x e2, i.e. the counter-clockwise winding).
class Triangle {
  public:
    lumo::Vec3<float> p[3];  // corners: p[k] = pos[idx[k]]
    lumo::Vec3<float> e1;    // p[1] - p[0]
    lumo::Vec3<float> e2;    // p[2] - p[0]
    lumo::Vec3<float> b1;    // dual of e1 in the plane: u = b1 . (q - p[0])
    lumo::Vec3<float> b2;    // dual of e2 in the plane: v = b2 . (q - p[0])
    lumo::Vec3<float> n;     // unit normal along e1 x e2; zero for a degenerate triangle
    double d;                // plane offset -(p[0] . n)

    // All vectors zero and d = 0 (a placeholder for containers).
    Triangle();

    // Builds every field from pos[idx[0]], pos[idx[1]], pos[idx[2]]; the indices must be valid.
    // A degenerate triangle gets n = 0, d = 0 and infinite or NaN dual vectors.
    Triangle(const std::vector<lumo::Vec3<float>>& pos, const TriangleIndices& idx);

    // Distance from q to the point of the triangle chosen by the clamped edge coordinates of the
    // projection of q into the plane (u, v clamped at 0, then scaled back onto the edge
    // u + v = 1 when they sum to 1 or more). Equals the plane distance when the projection is
    // inside the triangle; outside it is not always the nearest point.
    double distance(const lumo::Vec3<float>& q) const;
};
