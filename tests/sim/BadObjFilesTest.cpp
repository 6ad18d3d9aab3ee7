// The damaged OBJ files kept under tests/data/bad, each read the ways the program reads an OBJ:
// as a surface, as the tetrahedra of a body that then takes two steps, and as a surface bound to
// a body that then goes through one step's re-posing, cutting and detaching.
#include <gtest/gtest.h>

#include <string>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "tests/support/sim/BoundMeshes.h"
#include "tests/support/sim/TetMeshes.h"

namespace {

const struct BadObj {
    const char* file;  // under tests/data/bad
    const char* out;   // printed on standard output by the read
    const char* err;   // printed on standard error by the read, after the file's path
    int tets;          // elements of the file read as tetrahedron faces
} kFiles[] = {
    {"obj_vn_short.obj", "error reading vn\n", ":10: malformed vn line; the file is not read\n", 0},
    {"obj_v_short.obj", "error reading vert\n", ":6: malformed v line; the file is not read\n", 0},
    {"obj_vt_short.obj", "error reading tvert\n", ":6: malformed vt line; the file is not read\n",
     0},
    {"tets_v_short.obj", "error reading vert\n", ":4: malformed v line; the file is not read\n", 0},
    // Indices at the integer limit are merely out of range (the face is dropped, the texture
    // index reported and reset, the weight and sphere lines refused).
    {"obj_index_int_min.obj", "texture coordinate index out of bounds:-2147483648 \n",
     ": triangle with vertex index ", 0},
    {"tets_index_int_min.obj", "", ": triangle with vertex index ", 1},
};

}  // namespace

TEST(BadObjFiles, EveryReaderLeavesASoundMeshAndNamesTheFile) {
    using testsupport::capturePrinted;
    for (const BadObj& c : kFiles) {
        const std::string path = std::string("tests/data/bad/") + c.file;
        SCOPED_TRACE(path);
        Mesh surface;
        const testsupport::Printed read = capturePrinted([&] { surface.loadobj(path.c_str()); });
        EXPECT_NE(read.out.find(c.out), std::string::npos) << read.out;
        EXPECT_NE(read.err.find(path + c.err), std::string::npos) << read.err;
        EXPECT_EQ(surface.restVert.size(), surface.vert.size());
        EXPECT_EQ(surface.norm.size(), surface.vert.size());

        TetMesh body((Tetrahedron::Material()));
        capturePrinted([&] {
            body.loadobj(path.c_str());
            for (int step = 0; step < 2; ++step)
                body.simulate(0.01, lumo::Matrix::zeros(3 * int(body.vert.size()), 1));
        });
        EXPECT_EQ(int(body.tets.size()), c.tets);

        TetBoundMesh bound;
        boost::shared_ptr<TetMesh> tm = tetmeshes::makeMesh(tetmeshes::oneTet());
        capturePrinted([&] {
            bound.loadobj(path.c_str());
            bound.bindToTets(tm);
            for (size_t i = 0; i < bound.vert.size(); ++i)
                bound.vert[i] =
                    tm->getWorldCoordinates(bound.bindings[i].tet, bound.bindings[i].bary);
            bound.initNormals();
            bound.fracture();
            bound.splitSuperfluousEdges();
        });
        boundmeshes::expectSoundSurface(bound);
    }
}
