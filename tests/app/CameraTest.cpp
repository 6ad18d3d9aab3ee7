// The interactive camera's drags: orbit, pan, dolly and turn in place.
#include <gtest/gtest.h>

#include <cmath>

#include "app/Camera.h"

namespace {

// A camera on a fixed 640 x 480 window.
class TestView : public InteractiveCameraView {
  public:
    int width() override { return 640; }
    int height() override { return 480; }
    bool shiftActive() override { return shift; }
    bool shift = false;
};

}  // namespace

TEST(Camera, DragKnownAnswers) {
    // s = 2 tan(22.5 deg) 10 + 0.01 = 8.2942...: the view height at the origin's distance.
    const double s = 2.0 * std::tan(M_PI / 8.0) * 10.0 + 0.01;
    const double c = std::cos(0.05), n = std::sin(0.05), r = 10.0 * std::sin(0.1);
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
        {"orbit 0.1 rad", 1, false, true, 0, 0, 48, 0, {-r, 0, 10 * std::cos(0.1)}, c, -n},
        {"left drag: no camera move", 0, false, true, 0, 0, 300, 300, {0, 0, 10}, 1, 0},
    };
    for (const auto& k : cases) {
        TestView v;
        v.shift = k.shift;
        v.orbitMode = k.orbit;
        v.mouse(k.button, true, k.x0, k.y0);
        v.motion(k.x1, k.y1);
        v.mouse(k.button, false, k.x1, k.y1);
        EXPECT_NEAR((v.position - k.position).len(), 0.0, 1e-12) << k.what;
        EXPECT_NEAR(v.orientation.a, k.a, 1e-12) << k.what;
        EXPECT_NEAR(v.orientation.v.y, k.vy, 1e-12) << k.what;
    }
}
