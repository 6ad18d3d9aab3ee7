// Keyboard commands, the replay of recorded fractures and the reset to the rest shape.
#include "app/Scene.h"

#include <cmath>
#include <cstdio>
#include <exception>

#include "app/Camera.h"
#include "sim/TetMeshFractureArchive.h"

namespace {

// Divides out the norm when it has drifted from 1 by more than 1e-13.
void renormalise(lumo::Quaternion& q) {
    double n = std::sqrt(q.a * q.a + q.v.x * q.v.x + q.v.y * q.v.y + q.v.z * q.v.z);
    if (std::fabs(n - 1.0) > 1e-13) {
        q.a /= n;
        q.v /= n;
    }
}

}  // namespace

void Scene::handleKeyboard(unsigned char key, int, int) {
    static std::vector<TetMeshFractureInfo> frac;
    static int loaded = 0;
    static int index = 0;
    typedef lumo::Vec3<double> V;

    switch (key) {
        case ' ':
            simulate(0.01);
            break;
        case '1':
            drawTets = !drawTets;
            break;
        case 'R':
            reset();
            break;
        case 'b':
            boundMesh.drawBindings = !boundMesh.drawBindings;
            break;
        case 'c':
            convertHandleToSpring();
            break;
        case 'k': {
            // Pitch about the camera's own x axis.
            lumo::Quaternion r = lumo::Quaternion::rod(V(0.1, 0.0, 0.0));
            view->orientation = view->orientation * r;
            renormalise(view->orientation);
            break;
        }
        case 'l': {
            // Turn the camera about the world's y axis through the origin.
            lumo::Quaternion r = lumo::Quaternion::rod(V(0.0, 0.1, 0.0));
            view->position = rotateByQuaternion(r, view->position);
            view->orientation = r * view->orientation;
            renormalise(view->orientation);
            break;
        }
        case 'n':
            boundMesh.drawVertexNumbers = !boundMesh.drawVertexNumbers;
            break;
        case 'p':
            replayNextFracture(frac, loaded, index);
            break;
        case 'r':
            tetMesh->fractureThreshold = 1000.0;
            break;
        case 's':
            running = !running;
            break;
        case 't':
            tetMesh->fractureThreshold = 1.0e9;
            break;
        case 'w':
            wireframe = !wireframe;
            break;
        default:
            break;
    }
}

void Scene::replayNextFracture(std::vector<TetMeshFractureInfo>& frac, int& loaded, int& index) {
    if (!loaded) {
        try {
            readFractureFile(kReplayPath, frac);
            printf("read %d fractures.\n", int(frac.size()));
        } catch (const std::exception& e) {
            // No newline follows the message, so line buffering alone would hold it back.
            fputs(e.what(), stdout);
            fflush(stdout);
        }
        loaded = 1;
    }
    if (index >= int(frac.size())) return;

    TetMeshFractureInfo& info = frac[index];
    index += 1;
    // The split vertex's copy is appended at the end of the vertex arrays. A log written while
    // the mesh had more vertices (edges separated during the run) names a later index, which
    // would point past the arrays. A record that does not fit the mesh otherwise is refused by
    // debugFracture with a message, and then nothing is cut.
    info.newVertex = int(tetMesh->vert.size());
    tetMesh->recentFractures.clear();
    tetMesh->debugFracture(info);
    if (boundMesh.tetMesh) reposeBoundMesh();
    boundMesh.fracture();
}

void Scene::reset() {
    for (lumo::Vec3<float>& v : tetMesh->velocities) v = lumo::Vec3<float>(0.0f, 0.0f, 0.0f);
    for (Tetrahedron& t : tetMesh->tets) t.plasticStrain *= 0.0;
    tetMesh->vert = tetMesh->restVert;
    if (boundMesh.tetMesh) reposeBoundMesh();
}
