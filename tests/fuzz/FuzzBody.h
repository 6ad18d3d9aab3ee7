// The small body the fuzz targets bind surfaces to and replay fracture records on: two unit
// cubes of five tetrahedra each along +x (12 vertices, 10 tetrahedra, [0,2] x [0,1] x [0,1]),
// and a closed box surface of 12 outward triangles inside it.
#pragma once

#include <boost/shared_ptr.hpp>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"

namespace fuzzbody {

// The body (corpus/tet_obj/two_cubes.obj) loaded through TetMesh::loadobj.
boost::shared_ptr<TetMesh> loadBody();

// A new box surface (corpus/surface_obj/box.obj) read by the OBJ reader and bound to body.
TetBoundMesh* loadSurface(const boost::shared_ptr<TetMesh>& body);

// Re-poses every surface vertex from its binding and recomputes the normals, as the scene does.
void repose(TetBoundMesh& surface);

}  // namespace fuzzbody
