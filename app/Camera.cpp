// Camera projection, model-view and the mouse-driven orbit, pan and dolly.
#include "app/Camera.h"

#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace {

lumo::Quaternion makeQuaternion(double a, const lumo::Vec3<double>& v) {
    lumo::Quaternion q;
    q.a = a;
    q.v = v;
    return q;
}

// Hamilton product without renormalisation (the library's operator* renormalises, which would
// scale pure vector quaternions).
lumo::Quaternion rawProduct(const lumo::Quaternion& p, const lumo::Quaternion& q) {
    lumo::Vec3<double> v = q.v * p.a + p.v * q.a + (p.v ^ q.v);
    return makeQuaternion(p.a * q.a - p.v.dot(q.v), v);
}

lumo::Quaternion conjugate(const lumo::Quaternion& q) {
    return makeQuaternion(q.a, lumo::Vec3<double>(-q.v.x, -q.v.y, -q.v.z));
}

}  // namespace

lumo::Vec3<double> rotateByQuaternion(const lumo::Quaternion& q, const lumo::Vec3<double>& u) {
    return rawProduct(rawProduct(q, makeQuaternion(0.0, u)), conjugate(q)).v;
}

lumo::Vec3<double> rotateByInverseQuaternion(const lumo::Quaternion& q,
                                             const lumo::Vec3<double>& u) {
    return rawProduct(rawProduct(conjugate(q), makeQuaternion(0.0, u)), q).v;
}

CameraCommon::CameraCommon()
    : orbitMode(true),
      zNear(0.1),
      zFar(100.0),
      orthographic(false),
      fovy(45.0),
      position(0.0, 0.0, 10.0),
      orientation(makeQuaternion(1.0, lumo::Vec3<double>(0.0, 0.0, 0.0))) {}

CameraCommon::~CameraCommon() {}

void CameraCommon::applyProjection() {
    double a = aspect();
    if (orthographic)
        glOrtho(-a, a, -1.0, 1.0, zNear, zFar);
    else
        gluPerspective(fovy, a, zNear, zFar);
}

void CameraCommon::applyModelview() {
    // The scalar part is clamped into acos's domain: a unit quaternion renormalised only to
    // within 1e-13 may carry a scalar a hair above 1, which would give a NaN angle.
    double a = std::max(-1.0, std::min(1.0, orientation.a));
    double angle = 2.0 * std::acos(a);
    if (std::fabs(angle) >= 1e-12) {
        lumo::Vec3<double> axis(-orientation.v.x, -orientation.v.y, -orientation.v.z);
        axis.normalize();
        glRotated(angle * 180.0 / M_PI, axis.x, axis.y, axis.z);
    }
    glTranslatef(-float(position.x), -float(position.y), -float(position.z));
}

double CameraCommon::aspect() {
    return double(width()) / double(height());
}

InteractiveCameraView::InteractiveCameraView() : buttonState(0), lastX(0), lastY(0) {}

bool InteractiveCameraView::mouse(int button, bool down, int x, int y) {
    buttonState = down ? button + 1 : 0;
    lastX = x;
    lastY = y;
    return true;
}

void InteractiveCameraView::motion(int x, int y) {
    double dx = double(x - lastX) / height();
    double dy = double(y - lastY) / height();
    if (buttonState == 2) {
        if (shiftActive())
            panDrag(dx, dy);
        else
            rotateDrag(dx, dy);
    } else if (buttonState == 3) {
        dollyDrag(dy);
    }
    lastX = x;
    lastY = y;
    refresh();
}

void InteractiveCameraView::refresh() {}

void InteractiveCameraView::rotateDrag(double dx, double dy) {
    typedef lumo::Vec3<double> V;
    if (!orbitMode) {
        orientation = lumo::Quaternion::rod(V(0.0, dx, 0.0)) * orientation *
                      lumo::Quaternion::rod(V(dy, 0.0, 0.0));
        return;
    }
    // The origin as seen from the camera stays put while the camera circles it.
    V c = rotateByInverseQuaternion(orientation, V(-position.x, -position.y, -position.z));
    orientation = lumo::Quaternion::rod(V(0.0, -dx, 0.0)) * orientation *
                  lumo::Quaternion::rod(V(-dy, 0.0, 0.0));
    V p = rotateByQuaternion(orientation, c);
    position = V(-p.x, -p.y, -p.z);
}

void InteractiveCameraView::panDrag(double dx, double dy) {
    typedef lumo::Vec3<double> V;
    double s = 1.0;
    if (orbitMode) {
        // Height of the view at the distance of the plane through the origin facing the camera.
        double d = rotateByQuaternion(orientation, V(0.0, 0.0, 1.0)).dot(position);
        s = 2.0 * std::tan(fovy * M_PI / 360.0) * d + 0.01;
    }
    position += rotateByQuaternion(orientation, V(-dx * s, dy * s, 0.0));
}

void InteractiveCameraView::dollyDrag(double dy) {
    position += rotateByQuaternion(orientation, lumo::Vec3<double>(0.0, 0.0, 10.0 * dy));
}
