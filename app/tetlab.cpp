// tetlab: interactive simulation and fracture of a tetrahedral body. Command line: a scene
// description file, or an OBJ file of tetrahedron faces followed by an OBJ surface to bind.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdio>
#include <exception>

#include "app/Win.h"

// The window, never freed: it lives until the process ends. Held in a global of external
// linkage (which the compiler cannot drop as never read) so that it stays reachable for
// LeakSanitizer's exit check whatever freeglut keeps of it.
Win* tetlabWindow = nullptr;

int main(int argc, char** argv) {
    if (argc <= 1) {
        fputs("Need a mesh, and optionally a mesh to bind with tets.\n", stderr);
        return 0;
    }
    // Whole lines reach a pipe or file as they are printed, also when the window is closed.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    try {
        tetlabWindow = new Win(argv[1], argc > 2 ? argv[2] : nullptr);
    } catch (const std::exception& e) {
        fprintf(stderr, "%s: cannot read the scene: %s\n", argv[1], e.what());
        return 1;
    }
    glutMainLoop();
    return 0;
}
