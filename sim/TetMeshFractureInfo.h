// The record of one vertex split of the tetrahedral mesh: the split vertex and its copy, the two
// groups of tetrahedra, and the faces and edges the split opened.
#pragma once

#include <set>
#include <utility>
#include <vector>

#include "numerics/vec3.h"
#include "sim/Tetrahedron.h"
#include "sim/Triangle.h"

// Plain copyable value. All indices are into the tetrahedral mesh as it was indexed when the
// record was made: tetrahedron indices into TetMesh::tets, vertex indices into Mesh::vert and
// Mesh::restVert. The plane lives in rest coordinates.
class TetMeshFractureInfo {
  public:
    // A face that an above and a below tetrahedron shared before the split.
    struct SeparatingTriangle {
        int aboveTet;  // index from aboveTets
        int belowTet;  // index from belowTets
        int face;      // 0..3: face of the above tetrahedron in Tetrahedron::tris numbering;
                       // its corners are that tetrahedron's verts in the slots tris[face] lists

        // Stores aboveTet, belowTet, face (class version 0); defined with the archive code.
        template <class Archive>
        void serialize(Archive& ar, const unsigned int version);
    };

    // An edge through the split vertex that an above and a below tetrahedron shared without a
    // separating triangle between them: (vertex, other) on the above side and its twin
    // (newVertex, other) on the below side.
    struct SeparatingEdge {
        int vertex;
        int newVertex;
        int other;
    };

    int tet;                     // tetrahedron whose principal stress started the fracture
    lumo::Vec3<float> normal;    // unit normal of the fracture plane
    double offset;               // plane: normal . p + offset = 0; p above when > 0
    int vertex;                  // the split vertex; the above tetrahedra keep it
    int newVertex;               // its copy; the below tetrahedra use it instead
    std::vector<int> aboveTets;  // tetrahedra that kept vertex, in classification order
    std::vector<int> belowTets;  // tetrahedra given newVertex, in classification order
    std::set<int> aboveSet;      // the elements of aboveTets, for lookup
    std::set<int> belowSet;      // the elements of belowTets, for lookup
    std::vector<SeparatingTriangle> separatingTriangles;
    std::vector<SeparatingEdge> separatingEdges;

    // Zero indices and plane, empty containers; the archive reader fills the stored fields.
    TetMeshFractureInfo();

    // Copies the given values and lists, computes (and prints) the separating triangles and
    // edges from tets as they stand after the split, then fills aboveSet and belowSet.
    TetMeshFractureInfo(const std::vector<Tetrahedron>& tets, int tet,
                        const lumo::Vec3<float>& normal, double offset, int vertex, int newVertex,
                        const std::vector<int>& above, const std::vector<int>& below);

    // Recomputes separatingTriangles and separatingEdges from vertex, newVertex, aboveTets,
    // belowTets and tets, printing the groups and what it finds on standard output.
    void initSeparatingTriangles(const std::vector<Tetrahedron>& tets);

    // True when a (holding vertex) and b (holding newVertex) had a face in common before the
    // split: the same triangle with newVertex in place of vertex, wound the other way. On
    // success face is the face number of a; otherwise face is left unchanged.
    bool adjacent(const Tetrahedron& a, const Tetrahedron& b, int& face) const;

    // Appends to separatingEdges every edge (vertex, w) of a whose twin (newVertex, w) is an
    // edge of b and not yet in edges, printing each, and records both edges (both directions)
    // in edges. a must hold vertex and b newVertex (asserted).
    void findSeparatingEdges(const Tetrahedron& a, const Tetrahedron& b,
                             std::set<std::pair<int, int>>& edges);

    // The face test of adjacent for two given triangles: with k the first position of
    // newVertex in b, true when a[2] == b[k+1 mod 3] and a[1] == b[k+2 mod 3]. a[0] is not
    // compared; false when b lacks newVertex.
    bool opposingTriangles(const TriangleIndices& a, const TriangleIndices& b) const;

    // True when tetrahedron t took part in the split (in aboveSet or belowSet).
    bool affectsTetrahedron(int t) const;

    // Stores every field but separatingEdges (class version 0); defined with the archive code.
    template <class Archive>
    void serialize(Archive& ar, const unsigned int version);
};
