// The small body and surface of the fuzz targets: the first seeds of the tetrahedra and surface
// targets, loaded by the readers.
#include "tests/fuzz/FuzzBody.h"

namespace fuzzbody {

boost::shared_ptr<TetMesh> loadBody() {
    boost::shared_ptr<TetMesh> body(new TetMesh(Tetrahedron::Material()));
    body->loadobj(TETLAB_FUZZ_CORPUS "/tet_obj/two_cubes.obj");
    return body;
}

TetBoundMesh* loadSurface(const boost::shared_ptr<TetMesh>& body) {
    TetBoundMesh* surface = new TetBoundMesh();
    surface->loadobj(TETLAB_FUZZ_CORPUS "/surface_obj/box.obj", nullptr);
    surface->bindToTets(body);
    return surface;
}

void repose(TetBoundMesh& surface) {
    for (size_t i = 0; i < surface.vert.size(); ++i) {
        const TetBoundMesh::TetBinding& b = surface.bindings[i];
        surface.vert[i] = surface.tetMesh->getWorldCoordinates(b.tet, b.bary);
    }
    surface.initNormals();
}

}  // namespace fuzzbody
