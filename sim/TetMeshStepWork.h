// What TetMesh::simulate keeps from one step to the next to save work: per-element rest-pose
// caches, the stiffness pattern with each element's block slots, the value buffers, the
// sparse solver with its kept analysis and the fracture test's stress gains. Only the step's
// own files (TetMeshStep.cpp, TetMeshAssembly.cpp, TetMeshFracture.cpp) use it.
#pragma once

#include <memory>
#include <vector>

#include "numerics/sparse_lu.h"
#include "sim/TetMesh.h"

struct TetMesh::StepWork {
    // ---- rotations (TetMeshStep.cpp) ----
    // Per element: the rest positions (slot k at 3k..3k+2) that `inverse` was computed from,
    // compared bit for bit every step, and the first three columns of X_rest^-1 (4 x 3
    // row-major), X_rest the 4 x 4 matrix whose column k is (x, y, z, 1) of slot k at rest.
    struct RestCache {
        bool valid = false;
        float rest[12];
        double inverse[12];
    };
    std::vector<RestCache> restCache;
    std::vector<double> rot3;  // 9 per element: its rotation R, 3 x 3 row-major

    // ---- pattern (TetMeshAssembly.cpp) ----
    // N x N compressed-sparse-column pattern, N = 3 nVerts. Vertex v owns the three columns
    // 3v .. 3v+2; each holds, for every neighbour u of v (the vertices sharing an element with
    // v, v itself included, ascending), the three rows 3u .. 3u+2. A vertex in no element keeps
    // its own 3 x 3 block, so every diagonal entry exists.
    int nVerts = -1;
    std::vector<int> elementVerts;  // the elements' vertex lists the pattern was built from
    std::vector<int> p, i;          // column starts (N + 1) and row indices (p[N])
    // The stiffness is assembled in 3 x 3 blocks, one per (neighbour u, vertex v) pair, block
    // nbStart[v] + k for the k-th neighbour of v, each 9 values column-major (entry (3u + r,
    // 3v + c) at 3c + r): a block is contiguous, which keeps the scatter's memory traffic low.
    std::vector<int> selfBlock;  // per vertex v: index of block (v, v)
    // 16 per element: offset into Kb of block (verts[a], verts[b]) at 4a + b.
    std::vector<int> blockSlot;
    // Scratch of the pattern build: vertex -> (element, slot) incidence, marks, the
    // neighbour lists and each neighbour's position in the list being filled.
    std::vector<int> incStart, incElem, mark, nbStart, neighbours, position;

    // ---- values (TetMeshAssembly.cpp) ----
    std::vector<double> Kb;  // stiffness blocks, 9 per neighbour pair (see blockSlot)
    std::vector<double> A;   // system matrix values on the pattern p, i
    std::vector<double> F0;  // N: minus the sum of the rotated rest forces Q K x0
    std::vector<double> Fp;  // N: sum of the rotated plastic forces Q P plasticStrain
    std::vector<double> b;   // N: right-hand side
    std::vector<double> v;   // N: new velocities from the solve

    std::unique_ptr<lumo::SparseLU> lu;
    bool luReuses = false;  // the reuse setting lu was made with

    // ---- fracture test (TetMeshFracture.cpp) ----
    // Per element: the bound `gain` on its stress per unit of rest-frame displacement, the
    // stress matrix EB = E B (6 x 12 row-major; empty until an element first needs it), and
    // handles on the B and E blocks both were computed from, compared by address every step.
    // Element matrices are never written in place (updateVolume makes new ones), and the
    // handles keep a replaced block alive, so an equal address means the same matrix.
    struct StressGain {
        bool valid = false;
        lumo::Matrix B, E;
        double gain = 0.0;
        std::vector<double> EB;
    };
    std::vector<StressGain> stressGain;
};

// Brings the pattern of `work` up to date with mesh (rebuilt when the vertex count or an
// element's vertices changed).
void buildStepPattern(const TetMesh& mesh, TetMesh::StepWork& work);
// Element loop: co-rotated stiffness into work.K, rest and plastic forces into work.F0 and
// work.Fp, each element's plastic strain updated in between (work.rot3 must be current).
void assembleStep(TetMesh& mesh, TetMesh::StepWork& work, double dt);
// work.A = dt^2 K + dt C + M and work.b = M v - dt (((K x + F0) - Fp) - fext), M and C the
// per-row mass and damping, x and v the current positions and velocities, fext 3n x 1.
void systemAndRightHandSide(const TetMesh& mesh, TetMesh::StepWork& work, double dt,
                            const lumo::Matrix& fext);
