// The visible skin of the simulated body: a surface Mesh whose every vertex is bound to one
// tetrahedron of a TetMesh by barycentric weights, and that is cut along the body's cracks.
#pragma once

#include <vector>

#include <boost/shared_ptr.hpp>

#include "mesh/mesh.h"
#include "numerics/vec3.h"

// OpenGL's texture-name type; declared here (identically to the GL headers) so that this header
// does not fix the order in which GL and GLEW headers are included.
typedef unsigned int GLuint;

class TetMesh;

// Colour and texture a bound surface is drawn with. Held only through boost::shared_ptr; the
// destructor deletes the texture name (also 0, which OpenGL ignores), so it cannot be copied.
struct Material {
    Material();
    ~Material();
    Material(const Material&) = delete;
    Material& operator=(const Material&) = delete;

    lumo::Vec4<float> diffuse;  // RGBA, handed to glColor4fv; default (0.8, 0.8, 0.8, 1.0)
    GLuint texture;             // OpenGL texture name; 0 = untextured
};

// Positions: Mesh::vert holds the current positions, re-posed from the bindings every step;
// Mesh::restVert the positions as loaded, which never move and which the cutter works in.
// vert, restVert and bindings stay parallel: every appended surface vertex goes to all three.
class TetBoundMesh : public Mesh {
  public:
    // Binding of one surface vertex: its current position is
    // sum_k bary[k] * (current position of tetMesh->tets[tet].verts[k]).
    // Weights sum to 1 up to rounding and are negative for points outside the tetrahedron.
    struct TetBinding {
        int tet;
        lumo::Vec4<float> bary;
    };

    // Empty surface, no tetrahedral mesh, a default Material.
    TetBoundMesh();

    // Binds every surface vertex (at its current position) to its closest tetrahedron of tm and
    // flags every tm vertex whose rest position lies inside the closed, outward-wound surface.
    // Prints the queries' "bestDist" lines, a line per badly bound vertex and one
    // "vert[%d]: ray intersects, inside: %d" line per tm vertex whose +X ray meets the surface.
    // A tm without tetrahedra cannot carry the surface: the surface is emptied (with a message
    // on standard error).
    void bindToTets(const boost::shared_ptr<TetMesh>& tm);

    // Gives every tetrahedron that carries no surface triangle or quad spanning several
    // tetrahedra its own copies of the vertices it shares (TetMesh::appendVertexCopy).
    // Without a bound tetrahedral mesh, or with a surface that has no faces at all, it does
    // nothing.
    void splitSuperfluousEdges();

    // Draws the surface with the material, then the optional binding lines, the debug points
    // (red, unlit) and the optional vertex numbers. Needs a current OpenGL context.
    void draw();

    // Cuts the surface along every record of tetMesh->recentFractures, then recomputes corner
    // normals with a 60 degree crease angle. Always returns true. Without a bound tetrahedral
    // mesh it changes and prints nothing.
    bool fracture();

    // Inside flag of a tetrahedral-mesh vertex. A copy appended to the tetrahedral mesh after
    // binding (TetMesh::copiedFrom: fracture splits, detached tetrahedra) has its original's
    // flag; any other vertex beyond insideFlags counts as outside.
    bool isInside(int tetVertex) const;

    bool drawBindings;       // draw a line from each vertex to its tetrahedron's centroid
    bool drawVertexNumbers;  // draw each vertex's index as text
    boost::shared_ptr<Material> material;
    boost::shared_ptr<TetMesh> tetMesh;  // set by bindToTets; shared with the scene
    std::vector<TetBinding> bindings;    // one per surface vertex, parallel to vert and restVert
    // One per tetrahedral-mesh vertex counted at binding time: its rest position lies inside.
    // Read through isInside, which also answers for the copies appended later.
    std::vector<bool> insideFlags;
    // Points drawn as red dots: current corners of surface triangles the cutter could not
    // classify.
    std::vector<lumo::Vec3<float>> debugPoints;
};
