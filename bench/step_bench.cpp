// Benchmark of the implicit step on box-shaped beams of about 1k, 5k and 20k tetrahedra
// (fracture off), split into its phases, plus the load time of a 100k-tetrahedron OBJ file.
#include <sys/resource.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "sim/TetMesh.h"

using lumo::Vec3;

namespace {

struct Box {
    std::vector<Vec3<float>> verts;
    std::vector<std::array<int, 4>> tets;  // (a, b, c, d) with (a, b, c) wound outwards
};

std::array<int, 4> orient(const std::vector<Vec3<float>>& v, std::array<int, 4> t) {
    Vec3<double> a(v[t[0]].x, v[t[0]].y, v[t[0]].z);
    auto d = [&](int k) { return Vec3<double>(v[k].x, v[k].y, v[k].z) - a; };
    if ((d(t[1]) ^ d(t[2])).dot(d(t[3])) > 0) std::swap(t[1], t[2]);
    return t;
}

// nx x ny x nz unit cells, each cut into five tetrahedra; the central one takes the corners of
// even parity, so neighbouring cells agree on their shared faces.
Box box(int nx, int ny, int nz) {
    Box b;
    auto index = [&](int x, int y, int z) { return x + (nx + 1) * (y + (ny + 1) * z); };
    for (int z = 0; z <= nz; ++z)
        for (int y = 0; y <= ny; ++y)
            for (int x = 0; x <= nx; ++x) b.verts.push_back(Vec3<float>(x, y, z));
    for (int z = 0; z < nz; ++z)
        for (int y = 0; y < ny; ++y)
            for (int x = 0; x < nx; ++x) {
                int c[8];
                bool even[8];
                for (int k = 0; k < 8; ++k) {
                    int dx = k & 1, dy = (k >> 1) & 1, dz = (k >> 2) & 1;
                    c[k] = index(x + dx, y + dy, z + dz);
                    even[k] = (x + dx + y + dy + z + dz) % 2 == 0;
                }
                std::vector<int> e;
                for (int k = 0; k < 8; ++k)
                    if (even[k]) e.push_back(c[k]);
                b.tets.push_back(orient(b.verts, {e[0], e[1], e[2], e[3]}));
                for (int k = 0; k < 8; ++k)
                    if (!even[k])
                        b.tets.push_back(orient(b.verts, {c[k], c[k ^ 1], c[k ^ 2], c[k ^ 4]}));
            }
    return b;
}

TetMesh* makeMesh(const Box& b) {
    TetMesh* m = new TetMesh(Tetrahedron::Material());
    m->vert = m->restVert = b.verts;
    for (const auto& t : b.tets) {
        m->tets.push_back(Tetrahedron(t[0], t[1], t[2], t[3]));
        m->tets.back().updateNormals(m->vert);
        m->tets.back().updateVolume(m->restVert);
    }
    m->velocities.assign(b.verts.size(), Vec3<float>(0, 0, 0));
    m->fractureThreshold = 1e9;
    return m;
}

double peakMB() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

void runStep(int slices) {
    Box b = box(slices, 4, 4);  // 80 tetrahedra per slice of the beam
    TetMesh* m = makeMesh(b);
    const int n = int(m->vert.size());
    lumo::Matrix g = lumo::Matrix::zeros(3 * n, 1);
    for (int i = 0; i < n; ++i) g[3 * i + 1] = -98.1;
    TetMesh::StepTiming t;
    m->stepTiming = &t;
    const int steps = 20;
    for (int s = 0; s < steps; ++s) m->simulate(0.01, g);
    double ms = 1000.0 / steps;
    double total = t.rotations + t.assembly + t.solve + t.rest;
    printf(
        "%6zu tets %6d verts | ms/step: rotations %7.2f  pattern+assembly %7.2f  umfsolve %8.2f"
        "  rest %7.2f  total %8.2f | non-solve share %4.1f%% | peak %.0f MB\n",
        m->tets.size(), n, t.rotations * ms, t.assembly * ms, t.solve * ms, t.rest * ms, total * ms,
        100.0 * (total - t.solve) / total, peakMB());
    delete m;
}

void runLoad(int slices) {
    Box b = box(slices, 10, 10);  // 500 tetrahedra per slice
    std::string path = "/tmp/step_bench_load.obj";
    FILE* f = fopen(path.c_str(), "w");
    if (!f) {
        fprintf(stderr, "step_bench: cannot write %s\n", path.c_str());
        return;
    }
    // Every tetrahedron with its own four vertex lines, as the loader must merge them.
    int base = 1;
    for (const auto& t : b.tets) {
        for (int k = 0; k < 4; ++k) {
            const Vec3<float>& p = b.verts[t[k]];
            fprintf(f, "v %g %g %g\n", p.x, p.y, p.z);
        }
        int a = base, bb = base + 1, c = base + 2, d = base + 3;
        fprintf(f, "f %d %d %d\nf %d %d %d\nf %d %d %d\nf %d %d %d\n", a, bb, c, bb, a, d, c, bb, d,
                a, c, d);
        base += 4;
    }
    fclose(f);
    TetMesh m((Tetrahedron::Material()));
    auto t0 = std::chrono::steady_clock::now();
    m.loadobj(path.c_str());
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    printf("load: %zu tets from %zu vertex lines in %.2f s | peak %.0f MB\n", m.tets.size(),
           b.tets.size() * 4, s, peakMB());
    remove(path.c_str());
}

}  // namespace

int main() {
    for (int slices : {13, 63, 250}) runStep(slices);
    runLoad(200);
    return 0;
}
