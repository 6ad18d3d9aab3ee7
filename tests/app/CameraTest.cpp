// Camera maths: the projection and model-view matrices of the defaults, and the orbit, pan and
// dolly drags of the interactive camera.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>

#include "app/Camera.h"
#include "tests/support/gl/GLTestWindow.h"

namespace {

// A camera on a fixed 640 x 480 window that records redraw requests.
class TestView : public InteractiveCameraView {
  public:
    int width() override { return 640; }
    int height() override { return 480; }
    bool shiftActive() override { return shift; }
    void refresh() override { ++refreshes; }
    bool shift = false;
    int refreshes = 0;
};

// Drags from (x0, y0) to (x1, y1) with the given button (0 left, 1 middle, 2 right).
void drag(TestView& v, int button, int x0, int y0, int x1, int y1) {
    v.mouse(button, true, x0, y0);
    v.motion(x1, y1);
    v.mouse(button, false, x1, y1);
}

}  // namespace

class CameraGL : public GLTest {};

TEST_F(CameraGL, DefaultProjectionAndModelview) {
    TestView v;
    double got[16], want[16];
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    v.applyProjection();
    glGetDoublev(GL_PROJECTION_MATRIX, got);
    glLoadIdentity();
    gluPerspective(45.0, 4.0 / 3.0, 0.1, 100.0);
    glGetDoublev(GL_PROJECTION_MATRIX, want);
    // GL keeps matrices in single precision.
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-6) << i;

    // A pure translation by (0, 0, -10): column-major, translation in elements 12..14. A scalar
    // part a rounding step above 1 (a renormalised identity) gives no rotation either.
    glMatrixMode(GL_MODELVIEW);
    for (double a : {1.0, std::nextafter(1.0, 2.0)}) {
        v.orientation.a = a;
        glLoadIdentity();
        v.applyModelview();
        glGetDoublev(GL_MODELVIEW_MATRIX, got);
        for (int i = 0; i < 16; ++i)
            EXPECT_DOUBLE_EQ(got[i], i == 14 ? -10.0 : (i % 5 == 0) ? 1.0 : 0.0) << i << " " << a;
    }
    glLoadIdentity();
}

TEST_F(CameraGL, ModelviewMapsWorldPointsIntoTheCameraFrame) {
    TestView v;
    v.orientation = lumo::Quaternion::rod(lumo::Vec3<double>(0.3, -0.7, 0.2));
    v.position = lumo::Vec3<double>(1.0, 2.0, 8.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    v.applyModelview();
    double m[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, m);
    glLoadIdentity();
    const lumo::Vec3<double> p(-2.0, 0.5, 3.0);
    lumo::Vec3<double> want = rotateByInverseQuaternion(v.orientation, p - v.position);
    for (int r = 0; r < 3; ++r) {
        double got = m[r] * p.x + m[4 + r] * p.y + m[8 + r] * p.z + m[12 + r];
        // GL keeps the matrix in single precision; the translation is converted to float.
        EXPECT_NEAR(got, want[r], 1e-5) << r;
    }
}

TEST(Camera, PanDollyAndTurnInPlaceKnownAnswers) {
    // s = 2 tan(22.5 deg) 10 + 0.01 = 8.2942...: the view height at the origin's distance.
    const double s = 2.0 * std::tan(M_PI / 8.0) * 10.0 + 0.01;
    EXPECT_NEAR(s, 8.294, 5e-4);
    const double c = std::cos(0.05), n = std::sin(0.05);
    const struct {
        const char* what;
        int button;
        bool shift, orbit;
        int x0, y0, x1, y1;
        lumo::Vec3<double> position;
        double a, vy;  // expected orientation: scalar part and y of the vector part
    } cases[] = {
        {"pan up a window height", 1, true, true, 100, 0, 100, 480, {0, s, 10}, 1, 0},
        {"pan right half a height", 1, true, true, 0, 0, 240, 0, {-0.5 * s, 0, 10}, 1, 0},
        {"dolly down half a height", 2, false, true, 10, 100, 10, 340, {0, 0, 15}, 1, 0},
        {"dolly back up", 2, false, true, 10, 340, 10, 100, {0, 0, 5}, 1, 0},
        {"turn in place 0.1 rad", 1, false, false, 0, 0, 48, 0, {0, 0, 10}, c, n},
        {"left drag: no camera move", 0, false, true, 0, 0, 300, 300, {0, 0, 10}, 1, 0},
    };
    for (const auto& k : cases) {
        TestView v;
        v.shift = k.shift;
        v.orbitMode = k.orbit;
        drag(v, k.button, k.x0, k.y0, k.x1, k.y1);
        EXPECT_NEAR((v.position - k.position).len(), 0.0, 1e-12) << k.what;
        EXPECT_NEAR(v.orientation.a, k.a, 1e-12) << k.what;
        EXPECT_NEAR(v.orientation.v.y, k.vy, 1e-12) << k.what;
    }
}

TEST(Camera, MiddleDragOrbitsAtAFixedDistanceFromTheOrigin) {
    TestView v;
    v.position = lumo::Vec3<double>(1.0, 2.0, 9.0);
    const double distance = v.position.len();
    // The origin's place in the camera's view before the drags.
    lumo::Vec3<double> seen =
        rotateByInverseQuaternion(v.orientation, lumo::Vec3<double>(0, 0, 0) - v.position);
    drag(v, 1, 320, 240, 500, 100);
    drag(v, 1, 500, 100, 20, 400);
    EXPECT_NEAR(v.position.len(), distance, 1e-9);
    lumo::Vec3<double> after =
        rotateByInverseQuaternion(v.orientation, lumo::Vec3<double>(0, 0, 0) - v.position);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(after[k], seen[k], 1e-9);
    // The orientation really turned.
    EXPECT_LT(v.orientation.a, 0.999);
}

TEST(Camera, MotionWithoutButtonOnlyTracksThePointer) {
    TestView v;
    v.motion(33, 44);
    EXPECT_EQ(v.lastX, 33);
    EXPECT_EQ(v.lastY, 44);
    EXPECT_EQ(v.refreshes, 1);
    EXPECT_EQ(v.position.z, 10.0);
    EXPECT_EQ(v.orientation.a, 1.0);
}
