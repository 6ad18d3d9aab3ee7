// The small body the fuzz targets bind surfaces to and replay fracture records on: two unit
// cubes of five tetrahedra each along +x (12 vertices, 10 tetrahedra, [0,2] x [0,1] x [0,1]),
// and a closed box surface of 12 outward triangles inside it.
#pragma once

#include <boost/shared_ptr.hpp>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"

namespace fuzzbody {

// The body loaded through TetMesh::loadobj, as the program loads a tetrahedral OBJ.
boost::shared_ptr<TetMesh> loadBody();

// The box surface loaded through the OBJ reader and bound to body.
void loadSurface(TetBoundMesh& surface, const boost::shared_ptr<TetMesh>& body);

// Every surface vertex re-posed from its binding, then the normals recomputed: what the scene
// does after every step and every replayed record.
void repose(TetBoundMesh& surface);

// 3n x 1 gravity on the body's n vertices: -9.81 times the mass in every y row.
lumo::Matrix gravity(const TetMesh& body);

}  // namespace fuzzbody
