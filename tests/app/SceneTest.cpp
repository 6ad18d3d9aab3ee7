// The scene in a GL context: its file form, damaged input, keys, step, reset, picks and springs.
#include <GL/glew.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "app/Camera.h"
#include "app/Scene.h"
#include "tests/support/Capture.h"
#include "tests/support/TempFile.h"
#include "tests/support/gl/GLTestWindow.h"

namespace {

using testsupport::TempFile;

// A camera with the default pose on the test window's 640 x 480 area.
class TestView : public InteractiveCameraView {
  public:
    int width() override { return GLTestWindow::kWidth; }
    int height() override { return GLTestWindow::kHeight; }
    bool shiftActive() override { return false; }
};

// One tetrahedron over (0,0,0), (1,0,0), (0,1,0), (0,0,1) as four outward faces.
const char* const kOneTetObj =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 2 3 4\nf 1 4 3\n";

class SceneTest : public GLTest {
  protected:
    // The two-file form over tetObj (default: the one tetrahedron) and boundObj (may be null).
    std::unique_ptr<Scene> makeScene(const char* boundObj = nullptr, const char* tetObj = nullptr) {
        const TempFile oneTet("scene_one_tet.obj", kOneTetObj);
        std::unique_ptr<Scene> s;
        errors = testsupport::capturePrinted([&] {
                     s.reset(new Scene(tetObj ? tetObj : oneTet.c_str(), boundObj));
                 }).err;
        s->view = &view;
        return s;
    }
    TestView view;
    std::string errors;  // what the constructor printed on standard error
};

}  // namespace

TEST_F(SceneTest, SceneFileFormTakesFileValuesAndDropsBadSprings) {
    // drawTets 0, nu 0.3, threshold 750, no surface; springs on tetrahedra 0 and (missing) 5.
    const TempFile obj("scene_one_tet.obj", kOneTetObj);
    const TempFile file("scene_test.scene",
                        "22 serialization::archive 6 0 0 0 0 0 " +
                            std::to_string(obj.path().size()) + " " + obj.path() +
                            " 3000 0.3 750 0.002 50 1.5 0 0 0  0 0 0  0 0 1 0 5 x.png 0 0 0 0 "
                            "0 0 2 0 0 0 0 0.5 0.25 0.125 1 2 3 5 0.25 0.25 0.25 0 0 0\n");
    std::unique_ptr<Scene> s;
    const std::string err =
        testsupport::capturePrinted([&] { s.reset(new Scene(file.c_str())); }).err;
    EXPECT_FALSE(s->drawTets);
    EXPECT_EQ(s->tetMesh->fractureThreshold, 750.0);
    EXPECT_EQ(s->tetMesh->tets[0].material.poissonRatio, 0.3);
    EXPECT_TRUE(s->boundMesh.vert.empty());
    ASSERT_EQ(s->springs.size(), 1u);
    EXPECT_EQ(s->springs[0].pos.z, 3.0f);
    EXPECT_EQ(err, file.path() + ": spring 1 names tetrahedron 5, but the mesh has 1; dropped\n");
}

// A damaged tetrahedra file leaves no body and the surface is dropped; the scene still runs.
TEST_F(SceneTest, DamagedObjFilesLeaveAnEmptySceneThatStepsAndDraws) {
    const TempFile surface("scene_surface.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::unique_ptr<Scene> s = makeScene(surface.c_str(), "tests/data/bad/tets_v_short.obj");
    EXPECT_NE(errors.find("tets_v_short.obj:4: malformed v line"), std::string::npos) << errors;
    EXPECT_NE(errors.find("cannot be bound and is dropped"), std::string::npos) << errors;
    EXPECT_TRUE(s->tetMesh->tets.empty() && s->boundMesh.vert.empty());
    s->handleKeyboard('R', 0, 0);
    testsupport::captureStdout([&] {
        s->simulate(0.01);
        s->draw();
        glFinish();  // drawing left pending crashes the GL driver when the process ends
    });
}

// Damaged spring geometry (data/ under the working directory) is not kept: plain lines drawn.
TEST_F(SceneTest, DamagedSpringGeometryIsNotKept) {
    const std::unique_ptr<Scene> s = makeScene();
    const std::string dir = testing::TempDir() + std::to_string(getpid()) + "_springs";
    ASSERT_EQ(mkdir(dir.c_str(), 0700) | mkdir((dir + "/data").c_str(), 0700), 0);
    const std::string bad = GLTestWindow::repoPath("tests/data/bad/obj_vn_short.obj");
    const char* files[] = {"/data/spring_base.obj", "/data/spring_middle.obj", "/data", ""};
    for (int k = 0; k < 2; ++k) std::ofstream(dir + files[k]) << std::ifstream(bad).rdbuf();
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd) && chdir(dir.c_str()) == 0);
    Spring::s_baseGeom = Mesh();  // as at start-up, whatever ran before in this process
    const std::string out = testsupport::captureStdout([&] {
        s->springs.push_back(Spring(0, lumo::Vec4<float>(1, 0, 0, 0), lumo::Vec3<float>(3, 0, 0)));
        EXPECT_EQ(chdir(cwd), 0);
        s->draw();
        glFinish();
    });
    EXPECT_NE(out.find("Made geom: 0, 0\n"), std::string::npos) << out;
    EXPECT_TRUE(Spring::s_baseGeom.vert.empty() && Spring::s_springGeom.vert.empty());
    for (const char* name : files) std::remove((dir + name).c_str());
}

TEST_F(SceneTest, KeysStepResetSetThresholdsAndTurnTheCamera) {
    const TempFile surface("scene_surface.obj", "v 0.1 0.1 0.1\nv 0.2 0.1 0.1\nv 0.1 0.2 0.1\n");
    const std::unique_ptr<Scene> s = makeScene(surface.c_str());
    const std::vector<lumo::Vec3<float>> surfaceRest = s->boundMesh.vert;
    testsupport::captureStdout([&] {
        s->handleKeyboard(' ', 0, 0);
        s->handleKeyboard(' ', 0, 0);
    });
    EXPECT_LT(s->boundMesh.vert[0].y, 0.1f);  // the body falls under gravity and carries it
    s->tetMesh->tets[0].plasticStrain[0] = 0.5;
    s->handleKeyboard('R', 0, 0);
    EXPECT_TRUE(s->tetMesh->vert == s->tetMesh->restVert);
    for (const lumo::Vec3<float>& v : s->tetMesh->velocities) EXPECT_EQ(v.len(), 0.0);
    EXPECT_EQ(s->tetMesh->tets[0].plasticStrain[0], 0.0);
    // Bound by barycentric weights: back to within float rounding.
    EXPECT_NEAR((s->boundMesh.vert[2] - surfaceRest[2]).len(), 0.0, 1e-6);
    // 't', 'r': fixed thresholds; 'k' pitches about camera x, 'l' orbits world y via the origin.
    s->handleKeyboard('t', 0, 0);
    EXPECT_EQ(s->tetMesh->fractureThreshold, 1.0e9);
    s->handleKeyboard('r', 0, 0);
    EXPECT_EQ(s->tetMesh->fractureThreshold, 1000.0);
    s->handleKeyboard('k', 0, 0);
    EXPECT_NEAR(view.orientation.v.x, std::sin(0.05), 1e-15);
    view.orientation = lumo::Quaternion();
    s->handleKeyboard('l', 0, 0);
    EXPECT_NEAR(view.position.x, 10.0 * std::sin(0.1), 1e-12);
    EXPECT_NEAR(view.orientation.v.y, std::sin(0.05), 1e-15);
}

TEST_F(SceneTest, PickDragAndDropAndMakeASpring) {
    const std::unique_ptr<Scene> s = makeScene();
    // Default camera (from (0, 0, 10) down -z, 45 degrees): (0.2, 0.3, 0.2) is at pixel (332, 222).
    const int x = 332, y = 222;
    testsupport::captureStdout([&] { s->selectHandleForView(&view, 0, 1, x, y); });
    ASSERT_EQ(s->handle.tet, 0);
    // The picked point is on the front face (z = 1 - x - y); pixel and float rounding, 1e-4.
    const lumo::Vec3<float> p = s->handle.pos;
    const lumo::Vec4<float> w = s->handle.bary;
    EXPECT_NEAR(p.x + p.y + p.z, 1.0, 1e-4);
    // Dragging 48 pixels to the right moves the anchor along +x at its depth, nothing else.
    s->moveHandleForView(&view, x + 48, y);
    EXPECT_GT(s->handle.pos.x, p.x + 0.5f);
    EXPECT_NEAR(s->handle.pos.y, p.y, 0.02);
    EXPECT_EQ(s->handle.bary[1], w[1]);
    // 'c' makes the dragged point a spring; the release drops the point; then 'c' does nothing.
    s->handleKeyboard('c', 0, 0);
    s->selectHandleForView(&view, 0, 0, x + 48, y);
    EXPECT_EQ(s->handle.tet, -1);
    s->handleKeyboard('c', 0, 0);
    ASSERT_EQ(s->springs.size(), 1u);
    EXPECT_EQ(s->springs[0].bary[3], w[3]);
    EXPECT_EQ(s->springs[0].pos.x, s->handle.pos.x);
    // A press beside the body picks nothing.
    s->selectHandleForView(&view, 0, 1, 5, 5);
    EXPECT_EQ(s->handle.tet, -1);
}

TEST_F(SceneTest, RemovingASpringByPickingIt) {
    const std::unique_ptr<Scene> s = makeScene();
    testsupport::captureStdout([&] {
        s->springs.push_back(Spring(0, lumo::Vec4<float>(1, 0, 0, 0), lumo::Vec3<float>(-3, 0, 0)));
        s->springs.push_back(Spring(0, lumo::Vec4<float>(1, 0, 0, 0), lumo::Vec3<float>(3, 0, 0)));
    });
    const int x = 494, y = 240;                 // (3, 0, 0): the second spring's anchor end cap
    s->removeSpringForView(&view, 0, 0, x, y);  // a release: nothing
    s->removeSpringForView(&view, 0, 1, 5, 5);  // nothing there
    EXPECT_EQ(s->springs.size(), 2u);
    s->removeSpringForView(&view, 0, 1, x, y);
    ASSERT_EQ(s->springs.size(), 1u);
    EXPECT_EQ(s->springs[0].pos.x, -3.0f);
}
