// One simulation step of the scene: external force assembly, the mesh step, re-posing of the
// bound surface, the fracture log, cutting and the step rate.
#include "app/Scene.h"

#include <chrono>
#include <cstdio>
#include <exception>

#include "sim/TetMeshFractureArchive.h"

namespace {

// Monotonic tick counter in whole milliseconds.
long long tickMilliseconds() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Adds factor x bary[j] x (anchor - vertex_j) / h^2 to the force rows of each corner j of tet.
void addSpringForce(lumo::Matrix& F, const TetMesh& mesh, int tet, const lumo::Vec4<float>& bary,
                    const lumo::Vec3<float>& anchor, double factor, double h) {
    if (tet < 0 || tet >= int(mesh.tets.size())) return;
    const Tetrahedron& t = mesh.tets[tet];
    for (int j = 0; j < 4; ++j) {
        int v = t.verts[j];
        lumo::Vec3<float> d = anchor - mesh.vert[v];
        for (int k = 0; k < 3; ++k) F[3 * v + k] += factor * bary[j] * d[k] / (h * h);
    }
}

}  // namespace

lumo::Matrix Scene::externalForces(const TetMesh& mesh, const std::vector<Spring>& springs,
                                   const Handle& handle, double h) {
    const int n = int(mesh.restVert.size());
    lumo::Matrix F = lumo::Matrix::zeros(3 * n, 1);

    lumo::Matrix M = mesh.getMassMatrix();
    for (int i = 0; i < n; ++i) F[3 * i + 1] = -9.81 * M[3 * i + 1];

    for (const Spring& s : springs) addSpringForce(F, mesh, s.tet, s.bary, s.pos, 0.25, h);
    if (handle.tet >= 0) addSpringForce(F, mesh, handle.tet, handle.bary, handle.pos, 0.5, h);

    for (int i = 0; i < n; ++i) {
        const lumo::Vec3<float>& rest = mesh.restVert[i];
        const lumo::Vec3<float>& cur = mesh.vert[i];
        if (rest.z <= -3.0) {
            for (int k = 0; k < 3; ++k) F[3 * i + k] = (rest[k] - cur[k]) / (h * h);
        }
        if (cur.y < kGroundHeight) F[3 * i + 1] = (kGroundHeight - cur.y) / (h * h);
    }
    return F;
}

bool Scene::writeFractureLog(const char* path, const std::vector<TetMeshFractureInfo>& all) {
    try {
        writeFractureFile(path, all);
        return true;
    } catch (const std::exception& e) {
        fprintf(stderr, "cannot write the fracture log %s: %s\n", path, e.what());
        return false;
    }
}

void Scene::reposeBoundMesh() {
    for (std::size_t i = 0; i < boundMesh.vert.size(); ++i) {
        const TetBoundMesh::TetBinding& b = boundMesh.bindings[i];
        boundMesh.vert[i] = boundMesh.tetMesh->getWorldCoordinates(b.tet, b.bary);
    }
    boundMesh.initNormals();
}

void Scene::simulate(double h) {
    static int cnt = 0;
    static double etime = 0.0;
    const long long start = tickMilliseconds();

    lumo::Matrix F = externalForces(*tetMesh, springs, handle, h);
    tetMesh->simulate(h, F);

    reposeBoundMesh();

    const std::vector<TetMeshFractureInfo>& recent = tetMesh->getRecentFractures();
    if (!recent.empty()) {
        fractures.insert(fractures.end(), recent.begin(), recent.end());
        writeFractureLog(kFractureLogPath, fractures);
    }

    boundMesh.fracture();
    boundMesh.splitSuperfluousEdges();

    etime += (tickMilliseconds() - start) / 1000.0;
    cnt += 1;
    if (cnt % 30 == 0) {
        cnt = 0;
        fps = 30.0 / etime;
        etime = 0.0;
    }
}
