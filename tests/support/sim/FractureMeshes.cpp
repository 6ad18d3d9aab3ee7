// Meshes for the fracture tests.
#include "tests/support/sim/FractureMeshes.h"

namespace fracturemeshes {

tetmeshes::TetList octahedronStar() {
    tetmeshes::TetList list;
    list.verts = {{0, 0, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int a = 0; a < 2; ++a) {
        for (int b = 0; b < 2; ++b) {
            for (int c = 0; c < 2; ++c) {
                list.tets.push_back(tetmeshes::orient(list.verts, {0, 1 + a, 3 + b, 5 + c}));
            }
        }
    }
    return list;
}

std::vector<lumo::Matrix> identityRotations(size_t count) {
    std::vector<lumo::Matrix> rotations;
    for (size_t k = 0; k < count; ++k) rotations.push_back(lumo::Matrix::eye(12));
    return rotations;
}

}  // namespace fracturemeshes
