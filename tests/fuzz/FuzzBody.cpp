// The small body and surface of the fuzz targets, loaded by the readers from the seed corpora.
#include "tests/fuzz/FuzzBody.h"

#include <string>

namespace {

// The body and surface are the first seeds of the tetrahedra and surface targets.
std::string seed(const char* name) {
    return std::string(TETLAB_FUZZ_CORPUS) + "/" + name;
}

}  // namespace

namespace fuzzbody {

boost::shared_ptr<TetMesh> loadBody() {
    boost::shared_ptr<TetMesh> body(new TetMesh(Tetrahedron::Material()));
    body->loadobj(seed("tet_obj/two_cubes.obj").c_str());
    return body;
}

void loadSurface(TetBoundMesh& surface, const boost::shared_ptr<TetMesh>& body) {
    surface.loadobj(seed("surface_obj/box.obj").c_str(), nullptr);
    surface.bindToTets(body);
}

void repose(TetBoundMesh& surface) {
    for (size_t i = 0; i < surface.vert.size(); ++i) {
        const TetBoundMesh::TetBinding& b = surface.bindings[i];
        surface.vert[i] = surface.tetMesh->getWorldCoordinates(b.tet, b.bary);
    }
    surface.initNormals();
}

lumo::Matrix gravity(const TetMesh& body) {
    const int n = int(body.vert.size());
    lumo::Matrix f = lumo::Matrix::zeros(3 * n, 1);
    lumo::Matrix m = body.getMassMatrix();
    for (int i = 0; i < n; ++i) f[3 * i + 1] = -9.81 * m[3 * i + 1];
    return f;
}

}  // namespace fuzzbody
