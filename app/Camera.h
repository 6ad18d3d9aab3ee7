// The viewer's camera: CameraCommon turns a pose and projection settings into OpenGL matrices,
// InteractiveCameraView moves that pose with mouse drags (orbit, pan, dolly).
#pragma once

#include "numerics/vec3.h"

// World space has y up. The camera looks along its own -z axis, its +x to the right and +y up on
// the screen. `orientation` rotates camera coordinates into world coordinates; `position` is the
// camera's centre in world units.
class CameraCommon {
  public:
    CameraCommon();
    virtual ~CameraCommon();

    // Multiplies the current matrix by the projection: glOrtho(-aspect, aspect, -1, 1, zNear,
    // zFar) when orthographic, else gluPerspective(fovy, aspect, zNear, zFar).
    virtual void applyProjection();
    // Multiplies the current matrix by the world-to-camera transform, which maps a world point p
    // to R(orientation)^-1 (p - position).
    virtual void applyModelview();
    // width() / height() in double.
    virtual double aspect();
    // Size of the drawable area in pixels.
    virtual int width() = 0;
    virtual int height() = 0;

    bool orbitMode;     // rotations orbit the world origin and pans scale with the distance
    double zNear;       // near clip distance
    double zFar;        // far clip distance
    bool orthographic;  // orthographic instead of perspective projection
    double fovy;        // vertical field of view, degrees
    lumo::Vec3<double> position;   // camera position, world units
    lumo::Quaternion orientation;  // camera-to-world rotation (unit quaternion)
};

// Rotation of the vector u by the quaternion q: the vector part of q (0, u) conj(q), without
// dividing by the norm of q.
lumo::Vec3<double> rotateByQuaternion(const lumo::Quaternion& q, const lumo::Vec3<double>& u);
// The inverse rotation: the vector part of conj(q) (0, u) q.
lumo::Vec3<double> rotateByInverseQuaternion(const lumo::Quaternion& q,
                                             const lumo::Vec3<double>& u);

// A camera driven by the mouse. Pointer deltas are measured in window heights: a drag across the
// full window height is 1.0, horizontally and vertically alike.
class InteractiveCameraView : public CameraCommon {
  public:
    InteractiveCameraView();

    // True while Shift was held at the last button event.
    virtual bool shiftActive() = 0;
    // Button bookkeeping: buttonState = button + 1 when down, else 0; lastX/lastY = (x, y).
    virtual bool mouse(int button, bool down, int x, int y);
    // Middle drag orbits (or pans with Shift), right drag dollies; always updates lastX/lastY
    // and calls refresh().
    virtual void motion(int x, int y);
    // Asks for a redraw; nothing here.
    virtual void refresh();

    int buttonState;  // 0 when no button is held, else button + 1 (1 left, 2 middle, 3 right)
    int lastX;        // last pointer x, window pixels
    int lastY;        // last pointer y, window pixels, 0 at the top

  protected:
    // The three drags of motion(); dx, dy in window heights, y growing downwards.
    void rotateDrag(double dx, double dy);
    void panDrag(double dx, double dy);
    void dollyDrag(double dy);
};
