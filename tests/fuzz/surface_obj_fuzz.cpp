// Fuzz target: a surface OBJ read by the Mesh reader, then what the scene does with a surface:
// bind it to the small body, re-pose it and separate the body's superfluous edges.
#include <cstddef>
#include <cstdint>

#include "sim/TetBoundMesh.h"
#include "tests/fuzz/FuzzBody.h"
#include "tests/fuzz/FuzzFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const boost::shared_ptr<TetMesh> body = fuzzbody::loadBody();
    FuzzFile file(data, size, "surface.obj");
    TetBoundMesh surface;
    surface.loadobj(file.path(), nullptr);
    // A fresh copy of the body each time: separating edges appends vertices to it.
    surface.bindToTets(boost::shared_ptr<TetMesh>(new TetMesh(*body)));
    fuzzbody::repose(surface);
    surface.splitSuperfluousEdges();
    return 0;
}
