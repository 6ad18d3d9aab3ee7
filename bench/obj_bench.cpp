// Reading speed of Mesh::loadobj on a generated grid surface of about one million lines
// (vertex, texture-coordinate and face lines). Usage: obj_bench [lines] [path].
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mesh/mesh.h"

namespace {

// Writes an n x n vertex grid with one texture coordinate per vertex and two triangles per
// cell (form "f v/t v/t v/t"); returns the number of lines written.
long writeGrid(const char* path, int n) {
    FILE* f = std::fopen(path, "w");
    if (!f) return -1;
    long lines = 0;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x, ++lines)
            std::fprintf(f, "v %.6f %.6f %.6f\n", x * 0.013, y * 0.017, 0.1 * ((x * y) % 7));
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x, ++lines)
            std::fprintf(f, "vt %.6f %.6f\n", double(x) / n, double(y) / n);
    for (int y = 0; y + 1 < n; ++y)
        for (int x = 0; x + 1 < n; ++x) {
            const int a = y * n + x + 1, b = a + 1, c = a + n, d = c + 1;
            std::fprintf(f, "f %d/%d %d/%d %d/%d\n", a, a, b, b, d, d);
            std::fprintf(f, "f %d/%d %d/%d %d/%d\n", a, a, d, d, c, c);
            lines += 2;
        }
    std::fclose(f);
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    const long target = argc > 1 ? std::atol(argv[1]) : 1000000;
    const std::string path = argc > 2 ? argv[2] : "/tmp/obj_bench_grid.obj";
    int n = 2;
    while (4L * (n + 1) * (n + 1) <= target) ++n;  // about 4 n^2 lines
    const long lines = writeGrid(path.c_str(), n);
    if (lines < 0) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    double best = 1e30;
    Mesh mesh;
    for (int run = 0; run < 5; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        if (!mesh.loadobj(path.c_str(), nullptr)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            return 1;
        }
        auto t1 = std::chrono::steady_clock::now();
        best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    }
    std::printf("%ld lines (%zu vertices, %zu triangles): best of 5 reads %.3f s, %.2f M lines/s\n",
                lines, mesh.vert.size(), mesh.tris.size(), best, lines / best / 1e6);
    std::remove(path.c_str());
    return 0;
}
