// The small body and surface of the fuzz targets, written as OBJ text and loaded by the readers.
#include "tests/fuzz/FuzzBody.h"

#include <cstdint>
#include <cstring>

#include "tests/fuzz/FuzzFile.h"

namespace {

// Each tetrahedron as its four outward faces; vertex lines shared between tetrahedra.
const char* const kBodyObj =
    "v 0 0 0\n"
    "v 0 1 1\n"
    "v 1 0 1\n"
    "v 1 1 0\n"
    "v 0 0 1\n"
    "v 0 1 0\n"
    "v 1 0 0\n"
    "v 1 1 1\n"
    "v 2 0 0\n"
    "v 2 1 1\n"
    "v 2 0 1\n"
    "v 2 1 0\n"
    "f 1 3 2\n"
    "f 3 1 4\n"
    "f 2 3 4\n"
    "f 1 2 4\n"
    "f 5 2 1\n"
    "f 2 5 3\n"
    "f 1 2 3\n"
    "f 5 1 3\n"
    "f 6 1 2\n"
    "f 1 6 4\n"
    "f 2 1 4\n"
    "f 6 2 4\n"
    "f 7 3 1\n"
    "f 3 7 4\n"
    "f 1 3 4\n"
    "f 7 1 4\n"
    "f 8 2 3\n"
    "f 2 8 4\n"
    "f 3 2 4\n"
    "f 8 3 4\n"
    "f 3 4 9\n"
    "f 4 3 10\n"
    "f 9 4 10\n"
    "f 3 9 10\n"
    "f 7 3 4\n"
    "f 3 7 9\n"
    "f 4 3 9\n"
    "f 7 4 9\n"
    "f 8 4 3\n"
    "f 4 8 10\n"
    "f 3 4 10\n"
    "f 8 3 10\n"
    "f 11 3 9\n"
    "f 3 11 10\n"
    "f 9 3 10\n"
    "f 11 9 10\n"
    "f 12 9 4\n"
    "f 9 12 10\n"
    "f 4 9 10\n"
    "f 12 4 10\n";

// Box [0.2, 1.8] x [0.2, 0.8] x [0.2, 0.8] with texture coordinates.
const char* const kSurfaceObj =
    "v 0.2 0.2 0.2\n"
    "v 0.2 0.2 0.8\n"
    "v 0.2 0.8 0.2\n"
    "v 0.2 0.8 0.8\n"
    "v 1.8 0.2 0.2\n"
    "v 1.8 0.2 0.8\n"
    "v 1.8 0.8 0.2\n"
    "v 1.8 0.8 0.8\n"
    "vt 0 0\n"
    "vt 1 0\n"
    "vt 1 1\n"
    "f 1/1 4/2 3/3\n"
    "f 1/1 2/2 4/3\n"
    "f 5/1 7/2 8/3\n"
    "f 5/1 8/2 6/3\n"
    "f 1/1 5/2 6/3\n"
    "f 1/1 6/2 2/3\n"
    "f 3/1 8/2 7/3\n"
    "f 3/1 4/2 8/3\n"
    "f 1/1 7/2 5/3\n"
    "f 1/1 3/2 7/3\n"
    "f 2/1 6/2 8/3\n"
    "f 2/1 8/2 4/3\n";

FuzzFile objFile(const char* text, const char* name) {
    return FuzzFile(reinterpret_cast<const uint8_t*>(text), strlen(text), name);
}

}  // namespace

namespace fuzzbody {

boost::shared_ptr<TetMesh> loadBody() {
    boost::shared_ptr<TetMesh> body(new TetMesh(Tetrahedron::Material()));
    FuzzFile file = objFile(kBodyObj, "body.obj");
    body->loadobj(file.path());
    return body;
}

void loadSurface(TetBoundMesh& surface, const boost::shared_ptr<TetMesh>& body) {
    FuzzFile file = objFile(kSurfaceObj, "box.obj");
    surface.loadobj(file.path(), nullptr);
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
