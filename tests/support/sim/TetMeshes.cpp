// Small tetrahedral meshes for the simulation tests, in memory and as OBJ files.
#include "tests/support/sim/TetMeshes.h"

#include <sstream>
#include <utility>

#include "tests/support/Capture.h"
#include "tests/support/TempFile.h"

using lumo::Vec3;

namespace tetmeshes {

std::array<int, 4> orient(const std::vector<Vec3<float>>& verts, std::array<int, 4> t) {
    auto d = [&](int k) { return Vec3<double>(verts[t[k]].x, verts[t[k]].y, verts[t[k]].z); };
    const double triple = ((d(1) - d(0)) ^ (d(2) - d(0))).dot(d(3) - d(0));
    if (triple > 0) std::swap(t[1], t[2]);
    return t;
}

TetList oneTet() {
    return TetList{{{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 1, 2, 3}}};
}

TetList twoTets() {
    TetList l = oneTet();
    l.verts.push_back(Vec3<float>(1, 1, 1));
    l.tets.push_back(orient(l.verts, {1, 2, 3, 4}));
    return l;
}

// Five tetrahedra of the unit cell whose corner (X, Y, Z) + (dx, dy, dz) is vertex idx(dx, dy, dz):
// the central one on the four corners of even global parity (so neighbouring cells cut their
// shared face alike), then one per odd corner k with its three edge neighbours k ^ 1, 2, 4.
template <class Index>
static void addFiveCell(TetList& l, int X, int Y, int Z, Index idx) {
    int c[8];
    std::vector<int> even, odd;
    for (int k = 0; k < 8; ++k) {
        c[k] = idx(k & 1, (k >> 1) & 1, k >> 2);
        ((X + Y + Z + (k & 1) + ((k >> 1) & 1) + (k >> 2)) % 2 == 0 ? even : odd).push_back(k);
    }
    l.tets.push_back(orient(l.verts, {c[even[0]], c[even[1]], c[even[2]], c[even[3]]}));
    for (int k : odd) l.tets.push_back(orient(l.verts, {c[k], c[k ^ 1], c[k ^ 2], c[k ^ 4]}));
}

// Six tetrahedra of the unit cell around its diagonal (0,0,0)-(1,1,1), one per order in which
// a path along the cell's edges takes the three axes.
template <class Index>
static void addSixCell(TetList& l, Index idx) {
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& o : orders) {
        int d[3] = {0, 0, 0}, path[4] = {idx(0, 0, 0)};
        for (int s = 0; s < 3; ++s) {
            d[o[s]] = 1;
            path[s + 1] = idx(d[0], d[1], d[2]);
        }
        l.tets.push_back(orient(l.verts, {path[0], path[1], path[2], path[3]}));
    }
}

TetList beam(int n, Vec3<float> origin) {
    TetList l;
    for (int X = 0; X <= n; ++X)
        for (int k = 0; k < 4; ++k)
            l.verts.push_back(origin + Vec3<float>(float(X), float(k & 1), float(k >> 1)));
    for (int X = 0; X < n; ++X)
        addFiveCell(l, X, 0, 0, [X](int dx, int dy, int dz) { return 4 * (X + dx) + dy + 2 * dz; });
    return l;
}

TetList gridCube(int cells, bool sixPerCell) {
    TetList l;
    const int s = cells + 1;
    auto index = [s](int X, int Y, int Z) { return X + s * (Y + s * Z); };
    for (int Z = 0; Z < s; ++Z)
        for (int Y = 0; Y < s; ++Y)
            for (int X = 0; X < s; ++X)
                l.verts.push_back(Vec3<float>(float(X), float(Y), float(Z)));
    for (int Z = 0; Z < cells; ++Z)
        for (int Y = 0; Y < cells; ++Y)
            for (int X = 0; X < cells; ++X) {
                auto idx = [&](int dx, int dy, int dz) { return index(X + dx, Y + dy, Z + dz); };
                if (sixPerCell)
                    addSixCell(l, idx);
                else
                    addFiveCell(l, X, Y, Z, idx);
            }
    return l;
}

std::string objText(const TetList& list, bool sharedVertexLines) {
    std::ostringstream os;
    os.precision(9);
    auto vline = [&](const Vec3<float>& p) {
        os << "v " << p.x << " " << p.y << " " << p.z << "\n";
    };
    if (sharedVertexLines)
        for (const Vec3<float>& p : list.verts) vline(p);
    int base = 1;  // with separate lines, the number of the next "v" line
    for (const auto& t : list.tets) {
        int v[4];
        for (int k = 0; k < 4; ++k) {
            if (!sharedVertexLines) vline(list.verts[t[k]]);
            v[k] = sharedVertexLines ? t[k] + 1 : base++;
        }
        // Outward faces (a, b, c), (b, a, d), (c, b, d), (a, c, d).
        const int f[4][3] = {{0, 1, 2}, {1, 0, 3}, {2, 1, 3}, {0, 2, 3}};
        for (const auto& face : f)
            os << "f " << v[face[0]] << " " << v[face[1]] << " " << v[face[2]] << "\n";
    }
    return os.str();
}

boost::shared_ptr<TetMesh> makeMesh(const TetList& list, const Tetrahedron::Material& m) {
    boost::shared_ptr<TetMesh> mesh(new TetMesh(m));
    mesh->vert = mesh->restVert = list.verts;
    for (const auto& t : list.tets) {
        mesh->tets.push_back(Tetrahedron(t[0], t[1], t[2], t[3]));
        Tetrahedron& e = mesh->tets.back();
        e.updateNormals(mesh->vert);
        e.material = m;
        e.updateVolume(mesh->restVert);
    }
    mesh->velocities.assign(list.verts.size(), Vec3<float>(0, 0, 0));
    return mesh;
}

boost::shared_ptr<TetMesh> loadMesh(const TetList& list, bool sharedVertexLines,
                                    const Tetrahedron::Material& m) {
    boost::shared_ptr<TetMesh> mesh(new TetMesh(m));
    const testsupport::TempFile file("tets.obj", objText(list, sharedVertexLines));
    testsupport::captureStdout([&] { mesh->loadobj(file.c_str()); });
    return mesh;
}

TetList octahedronStar() {
    TetList list;
    list.verts = {{0, 0, 0}, {1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int k = 0; k < 8; ++k)  // octant (a, b, c) = (k >> 2, (k >> 1) & 1, k & 1)
        list.tets.push_back(orient(list.verts, {0, 1 + (k >> 2), 3 + ((k >> 1) & 1), 5 + (k & 1)}));
    return list;
}

std::vector<lumo::Matrix> identityRotations(size_t count) {
    std::vector<lumo::Matrix> rotations;
    for (size_t k = 0; k < count; ++k) rotations.push_back(lumo::Matrix::eye(12));
    return rotations;
}

lumo::Matrix quarterTurnAboutZ() {
    lumo::Matrix R = lumo::Matrix::zeros(12, 12);
    for (int k = 0; k < 12; k += 3) {
        R(k, k + 1) = -1;
        R(k + 1, k) = 1;
        R(k + 2, k + 2) = 1;
    }
    return R;
}

}  // namespace tetmeshes
