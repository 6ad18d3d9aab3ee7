// Fuzz target: an OBJ of tetrahedron faces read by TetMesh::loadobj, then two steps of 0.01 s
// under gravity with a low fracture threshold, so that the fracture code meets the geometry too.
#include <cstddef>
#include <cstdint>

#include "sim/TetMesh.h"
#include "tests/fuzz/FuzzBody.h"
#include "tests/fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzFile file(data, size, "tets.obj");
    TetMesh body((Tetrahedron::Material()));
    body.loadobj(file.path());
    body.fractureThreshold = 10.0;
    for (int step = 0; step < 2; ++step) body.simulate(0.01, fuzzbody::gravity(body));
    return 0;
}
