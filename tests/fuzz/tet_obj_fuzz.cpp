// Fuzz target: an OBJ of tetrahedron faces read by TetMesh::loadobj, then two steps of 0.01 s
// under gravity with a low fracture threshold, so that the fracture code meets the geometry too.
#include <cstddef>
#include <cstdint>

#include "sim/TetMesh.h"
#include "tests/fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size, "tets.obj");
    TetMesh body((Tetrahedron::Material()));
    body.loadobj(file.path());
    body.fractureThreshold = 10.0;
    for (int step = 0; step < 2; ++step) {
        // Gravity: -9.81 times the mass in every y row (the first step may add vertices).
        const int n = int(body.vert.size());
        lumo::Matrix f = lumo::Matrix::zeros(3 * n, 1), m = body.getMassMatrix();
        for (int i = 0; i < n; ++i) f[3 * i + 1] = -9.81 * m[3 * i + 1];
        body.simulate(0.01, f);
    }
    return 0;
}
