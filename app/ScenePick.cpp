// Picking the body with OpenGL selection, dragging the picked point, and making or removing
// permanent springs.
#include "app/Scene.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <cstdio>

#include "app/Camera.h"

namespace {

const int kSelectBufferSize = 1024;

// Selection mode with a 3 x 3 pixel pick region around (x, y) (y downward) in the view's
// projection and model-view. Leaves the model-view matrix current.
void beginSelection(InteractiveCameraView* view, GLuint* buffer, int x, int y) {
    glSelectBuffer(kSelectBufferSize, buffer);
    glRenderMode(GL_SELECT);
    GLint viewport[4] = {0, 0, view->width(), view->height()};
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPickMatrix(x, view->height() - y, 3.0, 3.0, viewport);
    view->applyProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    view->applyModelview();
    glInitNames();
    glPushName(0);
}

// One selection hit: its first name and its minimum depth scaled to [0, 1].
struct Hit {
    GLuint name;
    double z;
};

// The hit records of a selection buffer in buffer order (name count, minimum depth, maximum
// depth, names). Records without names, and a negative hit count (overflow), give nothing.
std::vector<Hit> parseHits(const GLuint* buffer, int hits) {
    std::vector<Hit> out;
    int p = 0;
    for (int i = 0; i < hits; ++i) {
        if (p + 3 > kSelectBufferSize) break;
        GLuint names = buffer[p];
        if (p + 3 + int(names) > kSelectBufferSize) break;
        if (names > 0) out.push_back(Hit{buffer[p + 3], buffer[p + 1] / 4294967295.0});
        p += 3 + int(names);
    }
    return out;
}

// The viewport and the current model-view and projection matrices, read from OpenGL on
// construction, for mapping between window coordinates (y upward, depth 0..1) and the world.
struct WindowTransform {
    GLint viewport[4];
    GLdouble model[16];
    GLdouble proj[16];

    WindowTransform() {
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetDoublev(GL_MODELVIEW_MATRIX, model);
        glGetDoublev(GL_PROJECTION_MATRIX, proj);
    }

    lumo::Vec3<float> unProject(double wx, double wy, double wz) const {
        GLdouble ox, oy, oz;
        gluUnProject(wx, wy, wz, model, proj, viewport, &ox, &oy, &oz);
        return lumo::Vec3<float>(float(ox), float(oy), float(oz));
    }
};

}  // namespace

void Scene::selectHandleForView(InteractiveCameraView* view, int button, int down, int x, int y) {
    if (!(button == 0 && down)) {
        handle.tet = -1;
        return;
    }
    GLuint buffer[kSelectBufferSize];
    beginSelection(view, buffer, x, y);
    tetMesh->drawSelect();
    int hits = glRenderMode(GL_RENDER);

    // The projection still holds the pick matrix: the viewport's centre is the pressed pixel.
    const WindowTransform pick;
    const int cx = view->width() / 2, cy = view->height() / 2;
    lumo::Vec3<float> farPoint = pick.unProject(cx, cy, 1.0);
    lumo::Vec3<float> nearPoint = pick.unProject(cx, cy, 0.0001);

    // The nearest hit whose element the pick ray really crosses; t is where the ray enters it.
    int best = -1;
    double bestZ = 10.0, t = 0.0;
    for (const Hit& h : parseHits(buffer, hits)) {
        double enter = 0.0;
        if (h.z < bestZ && h.name < tetMesh->tets.size() &&
            tetMesh->tets[h.name].intersectSegment(tetMesh->vert, nearPoint, farPoint, enter,
                                                   1e-5)) {
            best = int(h.name);
            bestZ = h.z;
            t = enter;
        }
    }
    handle.tet = best;
    if (best < 0) return;

    printf("intersects tet: %f\n", t);
    const float ft = float(t);
    lumo::Vec3<float> p((1.0f - ft) * nearPoint.x + ft * farPoint.x,
                        (1.0f - ft) * nearPoint.y + ft * farPoint.y,
                        (1.0f - ft) * nearPoint.z + ft * farPoint.z);
    handle.bary = tetMesh->getBaryCoordinates(best, p);
    handle.pos = p;
    // A point close to a corner is attached to that corner alone.
    for (int j = 0; j < 4; ++j) {
        if (handle.bary[j] >= 0.8) {
            handle.bary = lumo::Vec4<float>(0.0f, 0.0f, 0.0f, 0.0f);
            handle.bary[j] = 1.0f;
            break;
        }
    }
    printf("bary: %f %f %f %f\n", handle.bary[0], handle.bary[1], handle.bary[2], handle.bary[3]);
}

void Scene::moveHandleForView(InteractiveCameraView* view, int x, int y) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    view->applyProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    view->applyModelview();
    const WindowTransform w;
    GLdouble wx, wy, wz;
    gluProject(handle.pos.x, handle.pos.y, handle.pos.z, w.model, w.proj, w.viewport, &wx, &wy,
               &wz);
    handle.pos = w.unProject(x, view->height() - y, wz);
}

void Scene::convertHandleToSpring() {
    if (handle.tet >= 0) springs.push_back(Spring(handle.tet, handle.bary, handle.pos));
}

void Scene::removeSpringForView(InteractiveCameraView* view, int button, int down, int x, int y) {
    if (!(button == 0 && down)) return;
    GLuint buffer[kSelectBufferSize];
    beginSelection(view, buffer, x, y);
    for (std::size_t i = 0; i < springs.size(); ++i) {
        glLoadName(GLuint(i));
        springs[i].draw(*tetMesh);
    }
    int hits = glRenderMode(GL_RENDER);
    int best = -1;
    double bestZ = 10.0;
    for (const Hit& h : parseHits(buffer, hits)) {
        if (h.z < bestZ) {
            bestZ = h.z;
            best = int(h.name);
        }
    }
    if (best >= 0 && best < int(springs.size())) springs.erase(springs.begin() + best);
}
