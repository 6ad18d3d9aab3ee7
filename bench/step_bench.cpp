// Benchmark of the implicit step (fracture off), split into its phases: the example bodies,
// structured beams of about 1k, 5k and 20k tetrahedra, then compact bodies of about 1k, 5k, 20k and
// 70k tetrahedra that tetgen makes from bench/box.poly, plus the load time of a 100k-tetrahedron
// OBJ file. Usage: step_bench [largest body in tetrahedra, default 100000] [smallest, default 0]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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

// The example scene's material (Young's modulus 2e6, Poisson ratio 0.1, the default plastic
// constants).
Tetrahedron::Material sceneMaterial() {
    Tetrahedron::Material mat;
    mat.youngsModulus = 2000000.0;
    mat.poissonRatio = 0.1;
    return mat;
}

TetMesh* makeMesh(const Box& b, const Tetrahedron::Material& mat = Tetrahedron::Material()) {
    TetMesh* m = new TetMesh(mat);
    m->vert = m->restVert = b.verts;
    for (const auto& t : b.tets) {
        m->tets.push_back(Tetrahedron(t[0], t[1], t[2], t[3]));
        m->tets.back().material = mat;
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

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Runs `steps` steps under gravity (-9.81 per unit mass, as the scene applies it) with the
// vertices of rest z <= zPin held at their rest positions by the scene's pin force
// (rest - current) / h^2, and prints the median over the steps of each phase's time and of the
// whole step, the first step's time (it also builds the pattern and the solver's analysis),
// the share outside the solve and the process's peak memory so far. Medians, because a shared
// machine only ever adds time to a step.
void runBody(const char* label, TetMesh* m, double zPin, int steps) {
    const double h = 0.01;
    const int n = int(m->vert.size());
    TetMesh::StepTiming t;
    m->stepTiming = &t;
    std::vector<double> phase[5];  // rotations, assembly, solve, rest, whole step; seconds
    for (int s = 0; s < steps; ++s) {
        lumo::Matrix f = lumo::Matrix::zeros(3 * n, 1);
        for (int i = 0; i < n; ++i) {
            f[3 * i + 1] = -9.81 * 10.0;
            if (m->restVert[i].z <= zPin)
                for (int k = 0; k < 3; ++k)
                    f[3 * i + k] = (m->restVert[i][k] - m->vert[i][k]) / (h * h);
        }
        const TetMesh::StepTiming before = t;
        double t0 = now();
        m->simulate(h, f);
        phase[4].push_back(now() - t0);
        phase[0].push_back(t.rotations - before.rotations);
        phase[1].push_back(t.assembly - before.assembly);
        phase[2].push_back(t.solve - before.solve);
        phase[3].push_back(t.rest - before.rest);
    }
    const double first = phase[4][0];
    double ms[5];
    for (int k = 0; k < 5; ++k) {
        std::sort(phase[k].begin(), phase[k].end());
        ms[k] = 1000.0 * phase[k][phase[k].size() / 2];
    }
    const double outside = ms[0] + ms[1] + ms[3];
    printf(
        "%-7s %6zu tets %6d verts | median ms: rotations %6.2f  pattern+assembly %6.2f  umfsolve "
        "%8.2f  "
        "rest %6.2f  step %8.2f (first %8.2f) | outside solve %4.1f%% %.2f us/tet | peak %.0f MB\n",
        label, m->tets.size(), n, ms[0], ms[1], ms[2], ms[3], ms[4], 1000.0 * first,
        100.0 * outside / (outside + ms[2]), 1000.0 * outside / std::max<size_t>(m->tets.size(), 1),
        peakMB());
    fflush(stdout);
}

void runBeam(int slices) {
    Box b = box(slices, 4, 4);  // 80 tetrahedra per slice of the beam
    TetMesh* m = makeMesh(b);
    runBody("slender", m, -1.0, 20);  // not clamped: it falls freely
    delete m;
}

// Reads tetgen's .node and .ele files (1-based or 0-based indices, as the .node file's first
// vertex number says) into b. False when either file is missing or short.
bool readTetgen(const std::string& stem, Box& b) {
    FILE* nf = fopen((stem + ".node").c_str(), "r");
    FILE* ef = fopen((stem + ".ele").c_str(), "r");
    bool ok = nf && ef;
    int nv = 0, dim = 0, na = 0, nb = 0, first = 0;
    ok = ok && fscanf(nf, "%d %d %d %d", &nv, &dim, &na, &nb) == 4 && dim == 3;
    for (int k = 0; ok && k < nv; ++k) {
        int id;
        double x, y, z, skip;
        ok = fscanf(nf, "%d %lf %lf %lf", &id, &x, &y, &z) == 4;
        for (int a = 0; ok && a < na + nb; ++a) ok = fscanf(nf, "%lf", &skip) == 1;
        if (k == 0) first = id;
        b.verts.push_back(Vec3<float>(float(x), float(y), float(z)));
    }
    int nt = 0, corners = 0, attrs = 0;
    ok = ok && fscanf(ef, "%d %d %d", &nt, &corners, &attrs) == 3 && corners == 4;
    for (int k = 0; ok && k < nt; ++k) {
        int id;
        std::array<int, 4> t;
        ok = fscanf(ef, "%d %d %d %d %d", &id, &t[0], &t[1], &t[2], &t[3]) == 5;
        for (int a = 0; ok && a < attrs; ++a) ok = fscanf(ef, "%d", &id) == 1;
        for (int& c : t) c -= first;
        b.tets.push_back(orient(b.verts, t));
    }
    if (nf) fclose(nf);
    if (ef) fclose(ef);
    return ok;
}

// Steps one of the example bodies (examples/<name>_tets.obj, read from the repository root) in
// the example scene's material, clamped at z <= -3 as the scene does.
void runExample(const char* name) {
    const std::string path = std::string(TETLAB_BENCH_DIR "/../examples/") + name + "_tets.obj";
    TetMesh m(sceneMaterial());
    if (!m.loadobj(path.c_str()) || m.tets.empty()) {
        fprintf(stderr, "step_bench: cannot read %s\n", path.c_str());
        return;
    }
    m.fractureThreshold = 1e9;
    runBody(name, &m, -3.0, 100);
}

// Meshes bench/box.poly with tetgen at the given maximum tetrahedron volume and steps it.
void runTetgen(double maxVolume, int steps) {
    const std::string dir = "/tmp/step_bench_" + std::to_string(getpid());
    const std::string cmd = "mkdir -p " + dir + " && cp " TETLAB_BENCH_DIR "/box.poly " + dir +
                            " && tetgen -pq1.4a" + std::to_string(maxVolume) + "Q " + dir +
                            "/box.poly > /dev/null";
    Box b;
    if (system(cmd.c_str()) != 0 || !readTetgen(dir + "/box.1", b)) {
        fprintf(stderr, "step_bench: tetgen could not mesh %s/box.poly (is tetgen installed?)\n",
                TETLAB_BENCH_DIR);
    } else {
        TetMesh* m = makeMesh(b, sceneMaterial());
        runBody("tetgen", m, -3.0, steps);
        delete m;
    }
    system(("rm -rf " + dir).c_str());
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

int main(int argc, char** argv) {
    const int largest = argc > 1 ? atoi(argv[1]) : 100000;
    const int smallest = argc > 2 ? atoi(argv[2]) : 0;
    if (smallest <= 480)
        for (const char* name : {"beam", "slab"}) runExample(name);
    for (int slices : {13, 63, 250})
        if (80 * slices <= largest && 80 * slices >= smallest) runBeam(slices);
    // Maximum volumes giving about 1.1k, 5.3k, 19k and 72k tetrahedra; steps per body.
    const double volumes[4] = {0.15, 0.025, 0.0058, 0.0015};
    const int tets[4] = {1100, 5300, 19300, 71700}, steps[4] = {40, 20, 8, 4};
    for (int k = 0; k < 4; ++k)
        if (tets[k] <= largest && tets[k] >= smallest) runTetgen(volumes[k], steps[k]);
    if (largest >= 100000 && smallest <= 100000) runLoad(200);
    return 0;
}
