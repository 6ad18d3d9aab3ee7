// Spring: pulls a point of a tetrahedron (barycentric weights) toward a fixed world anchor; with
// the shared end-cap and middle-piece meshes it is drawn with.
#pragma once

#include "mesh/mesh.h"
#include "numerics/vec3.h"

class TetMesh;

class Spring {
  public:
    // tet 0, weights (0.25, 0.25, 0.25, 0.25), anchor at the origin; then the geometry check.
    Spring();
    // Copies the three values; then the geometry check.
    Spring(int tet, const lumo::Vec4<float>& bary, const lumo::Vec3<float>& pos);

    // Draws the spring from its anchor to the attachment point in mesh's current pose, with the
    // current colour: an end cap at both ends and the middle piece stretched between them, or a
    // plain line when the middle piece could not be loaded. tet must index mesh.tets.
    void draw(const TetMesh& mesh) const;

    // Scene file form: tet, the first three weights, pos x, y, z. The fourth weight is not
    // stored and keeps its value (0.25 for a default-constructed spring).
    template <class Archive>
    void serialize(Archive& ar, const unsigned int version);

    int tet;                 // index into TetMesh::tets
    lumo::Vec4<float> bary;  // weights of the tetrahedron's vertex slots 0..3, summing to 1
    lumo::Vec3<float> pos;   // world anchor the attachment point is pulled toward

    // Drawing geometry shared by all springs, loaded at the first construction that finds the
    // end cap empty: the end cap (drawn unrotated at both ends) and the middle piece, which lies
    // along +z from 0 to 2 so that a z scale of 0.5 L spans a spring of length L.
    static Mesh s_baseGeom;
    static Mesh s_springGeom;

  private:
    static void checkGeometry();
};
