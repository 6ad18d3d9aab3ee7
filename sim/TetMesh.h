// The simulated body: a surface Mesh whose vertex arrays hold the tetrahedral mesh's positions,
// plus its tetrahedra, velocities, fracture records, fracture threshold and material.
#pragma once

#include <memory>
#include <set>
#include <vector>

#include "mesh/mesh.h"
#include "numerics/matrix.h"
#include "numerics/vec3.h"
#include "sim/Tetrahedron.h"
#include "sim/TetMeshFractureInfo.h"

// Layouts:
// - Mesh::vert holds current and Mesh::restVert rest positions; velocities is parallel to both.
//   Every operation that adds vertices appends to all three together.
// - Whole-mesh column vectors are 3n x 1 lumo::Matrix objects: vertex i occupies rows 3i,
//   3i+1, 3i+2 (x, y, z).
// - Element vectors and matrices follow Tetrahedron (entry 3k+c = coordinate c of slot k).
// - Rotation lists hold one 12 x 12 matrix per tetrahedron, in tets order, zero except its four
//   diagonal 3 x 3 blocks, each the same rotation R (current = R rest, up to stretch).
//
// Units and signs:
// - Time in seconds: simulate's dt (the scene steps by 0.01), velocities in length per second.
// - Mass is lumped and uniform: 10.0 per vertex on each of its three rows, whatever the element
//   volumes or the material; damping is 0.5 times the mass. Forces (fext, the elastic forces)
//   are in mass times length per second squared; see Tetrahedron for stress and strain.
// - y points up. Gravity is not applied here: the caller puts it in fext (the scene adds
//   -9.81 times the mass to every y row).
// - The floor is the plane y = -10 (the scene's ground height): after integration a vertex below
//   it that moves down has its y velocity negated and its whole velocity scaled by 0.9. Its
//   position is left where it is; the scene's ground force pushes it back up.
class TetMesh : public Mesh {
  public:
    // Wall-clock seconds spent in the phases of simulate, accumulated over calls while
    // stepTiming points at one (benchmarks only; simulate leaves it alone when null).
    struct StepTiming {
        double rotations = 0;  // getTetRotations
        double assembly = 0;   // pattern, element loop, system matrix, right-hand side
        double solve = 0;      // the sparse direct solve
        double rest = 0;       // integration, fracture, floor, normals
        int steps = 0;
    };

    // What simulate keeps between calls only to save work (TetMeshStepWork.h): rest-pose
    // caches, the stiffness pattern, buffers and the solver's analysis. Each is checked against
    // the mesh before use, so the mesh may change freely between steps; a copy of the mesh
    // starts without any.
    struct StepWork;
    class StepWorkHolder {
      public:
        StepWorkHolder();
        StepWorkHolder(const StepWorkHolder&);
        StepWorkHolder& operator=(const StepWorkHolder&);
        ~StepWorkHolder();
        StepWork& get();

      private:
        std::unique_ptr<StepWork> work_;
    };

    std::vector<Tetrahedron> tets;              // the elements; their verts index vert / restVert
    std::vector<lumo::Vec3<float>> velocities;  // per-vertex velocity, parallel to vert
    // Vertex i was appended by appendVertexCopy as a copy of vertex copiedFrom[i] (always < i);
    // -1 for every other vertex. Grows only there, so it may be shorter than vert: a missing
    // entry means -1. Emptied when buildTetrahedron renumbers the vertices.
    std::vector<int> copiedFrom;
    // Records of the last handleFractures or debugFracture call.
    std::vector<TetMeshFractureInfo> recentFractures;
    // Largest principal stress (unit of youngsModulus, tension positive) at which a tetrahedron
    // breaks; 1000.0 until the scene sets it.
    double fractureThreshold;
    Tetrahedron::Material material;  // copied into every element at load
    StepTiming* stepTiming;          // null unless a benchmark wants the phase times
    // Keep the sparse solver's symbolic analysis while the stiffness pattern is unchanged (true;
    // the results are the same either way, tests switch it off to compare).
    bool reuseSolverAnalysis;
    StepWorkHolder stepWork;

    // Empty mesh with threshold 1000.0 and the given material.
    explicit TetMesh(const Tetrahedron::Material& m);

    // ---- construction (TetMesh.cpp) ----

    // Reads an OBJ file listing every tetrahedron as its four outward-wound faces, recovers the
    // elements, merges coincident vertices, gives every element the mesh's material and its rest
    // matrices, and empties Mesh::tris. Returns Mesh::loadobj's result (0: unreadable file,
    // empty mesh).
    int loadobj(const char* path);
    // Recovers tets from Mesh::tris (called by loadobj): face (a, b, c) with a neighbour d of a
    // makes Tetrahedron(a, b, c, d) when the other three outward faces exist, d lies strictly
    // behind (a, b, c) and no element on the same four vertices exists yet. Vertex lines may be
    // shared between tetrahedra or given per tetrahedron. Then merges vertices and zeroes the
    // velocities.
    void buildTetrahedron();
    // Merges every vertex lying closer than 1e-5 to an earlier kept one into it, remapping
    // Mesh::tris and tets.
    void removeDuplicateVert();
    // Appends a copy of vertex v (current and rest position, velocity) to vert, restVert and
    // velocities, records v in copiedFrom, and returns the copy's index; no element uses it yet.
    // v must index all three. Every vertex added after loading (fracture splits, replayed
    // splits, detached tetrahedra) is added here.
    int appendVertexCopy(int v);

    // ---- queries (TetMesh.cpp) ----

    // Per vertex, the ascending set of vertices sharing an element with it, itself included
    // (empty for a vertex in no element).
    std::vector<std::set<int>> getVertexAdjacency() const;
    // 3n x 1 lumped mass, every entry 10.0.
    lumo::Matrix getMassMatrix() const;
    // 3n x 1 damping, every entry 0.5 * 10.0 = 5.0.
    lumo::Matrix getDampingMatrix() const;
    // 3n x 1 current positions as doubles.
    lumo::Matrix getCombinedVertVector() const;
    // 3n x 1 velocities as doubles (n from vert).
    lumo::Matrix getCombinedVelocityVector() const;
    // Current-pose point of barycentric weights bary (weight k for slot k) in element tet.
    lumo::Vec3<float> getWorldCoordinates(int tet, const lumo::Vec4<float>& bary) const;
    // Barycentric weights of p in element tet (slot order), current pose; unclamped, so
    // negative outside the element.
    lumo::Vec4<float> getBaryCoordinates(int tet, const lumo::Vec3<float>& p) const;
    // The same against the rest positions.
    lumo::Vec4<float> getRestBaryCoordinates(int tet, const lumo::Vec3<float>& p) const;
    // Index of the element nearest to p (current pose), the first of equals; 0 when there are
    // none. Prints "bestDist: %f\n", and one line per element when verbose.
    int getClosestTetrahedron(const lumo::Vec3<float>& p, bool verbose) const;
    // Ascending indices of the elements whose verts contain v.
    std::vector<int> getTetrahedronContaining(int v) const;
    const std::vector<TetMeshFractureInfo>& getRecentFractures() const;
    // Face normals of every element from the current positions.
    void updateNormals();

    // ---- drawing (TetMesh.cpp) ----

    // Every element under its index as GL selection name.
    void drawSelect();
    // Every element shaded, then the vertex number labels once. (Each element's own draw()
    // labels the whole position array; doing that per element made this O(elements x
    // vertices) labels per frame, seconds per frame on a few hundred elements.)
    void draw();

    // ---- implicit co-rotational step (TetMeshStep.cpp) ----

    // Per-element rotation R = U V^T (the orthogonal polar factor, F = U S V^T) of the
    // deformation gradient F rest -> current, as 12 x 12 block-diagonal matrices in tets
    // order. An inverted element gives a reflection.
    std::vector<lumo::Matrix> getTetRotations();
    // One backward-Euler step of length dt (seconds) under the external forces fext (3n x 1,
    // per row; any other row count counts as zero force): solves
    // (M + dt C + dt^2 K) v' = M v - dt (K x + F0 - Fp - fext), updates plastic strain,
    // integrates positions, handles fractures, bounces vertices off the floor y = -10 and
    // refreshes the normals. A failed or non-finite solve, or one whose velocities or new
    // positions exceed single precision, leaves positions and velocities as they were and
    // reports one line on standard error.
    void simulate(double dt, lumo::Matrix fext);

    // ---- fracture (TetMeshFracture.cpp) ----

    // Tests every element's largest principal stress (rest frame, rotations of this step)
    // against fractureThreshold and splits a vertex of each that reaches it; replaces
    // recentFractures with the records of this call.
    void handleFractures(const std::vector<lumo::Matrix>& rotations);
    // The same with each element's rotation given by its 3 x 3 block, 9 row-major entries per
    // element in tets order (the form simulate computes).
    void handleFractures(const std::vector<double>& rot3);
    // Re-applies a recorded split to this mesh and recomputes the record's separating
    // triangles and edges; recentFractures becomes a copy of the record made on entry.
    void debugFracture(TetMeshFractureInfo& info);
};
