// The scene in a GL context: construction lines and defaults of both forms, dropping springs that
// name no tetrahedron, the key table, reset, and picking, dragging and removing springs.
#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "app/Camera.h"
#include "app/Scene.h"
#include "app/glframe/fbo.h"
#include "tests/support/Capture.h"
#include "tests/support/TempFile.h"
#include "tests/support/gl/GLTestWindow.h"

namespace {

// A camera with the default pose on the test window's 640 x 480 area.
class TestView : public InteractiveCameraView {
  public:
    int width() override { return GLTestWindow::kWidth; }
    int height() override { return GLTestWindow::kHeight; }
    bool shiftActive() override { return false; }
};

using testsupport::TempFile;

// One tetrahedron over (0,0,0), (1,0,0), (0,1,0), (0,0,1) as four outward faces.
const char* const kOneTetObj =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\n"
    "f 1 3 2\nf 1 2 4\nf 2 3 4\nf 1 4 3\n";

// The window pixel (x, y; y downward) of the world point p with the view's camera.
void windowPixel(TestView& view, double px, double py, double pz, int& x, int& y) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    view.applyProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    view.applyModelview();
    GLint vp[4];
    GLdouble mv[16], pr[16], wx, wy, wz;
    glGetIntegerv(GL_VIEWPORT, vp);
    glGetDoublev(GL_MODELVIEW_MATRIX, mv);
    glGetDoublev(GL_PROJECTION_MATRIX, pr);
    gluProject(px, py, pz, mv, pr, vp, &wx, &wy, &wz);
    x = int(wx + 0.5);
    y = GLTestWindow::kHeight - int(wy + 0.5);
}

class SceneTest : public GLTest {
  protected:
    Scene* makeScene(const char* boundObj = nullptr, const char* tetObj = nullptr) {
        const TempFile oneTet("scene_one_tet.obj", kOneTetObj);
        Scene* s = nullptr;
        const testsupport::Printed printed = testsupport::capturePrinted(
            [&] { s = new Scene(tetObj ? tetObj : oneTet.c_str(), boundObj); });
        output = printed.out;
        errors = printed.err;
        s->view = &view;
        return s;
    }
    TestView view;
    std::string output, errors;
};

}  // namespace

TEST_F(SceneTest, TwoFileFormPrintsItsLinesAndStartsStopped) {
    Scene* s = makeScene();
    EXPECT_EQ(
        output.rfind("Creating fbo.\ninitializing fbo 1024 1024\nCreated fbo.\nloading obj: ", 0),
        0u)
        << output;
    EXPECT_EQ(s->tetMesh->tets.size(), 1u);
    EXPECT_TRUE(s->drawTets);
    EXPECT_FALSE(s->running || s->wireframe);
    EXPECT_EQ(s->fps, 0.0);
    EXPECT_EQ(s->handle.tet, -1);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s->handle.bary[k], 0.0f);
    EXPECT_EQ(s->shadowFbo->width, 1024);
    EXPECT_EQ(s->shadowFbo->height, 1024);
    EXPECT_TRUE(s->springs.empty() && s->fractures.empty() && s->boundMesh.vert.empty());
    EXPECT_EQ(s->tetMesh->fractureThreshold, 1000.0);
    EXPECT_FALSE(s->boundMesh.drawBindings || s->boundMesh.drawVertexNumbers);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING) && glIsEnabled(GL_LIGHT0) &&
                glIsEnabled(GL_COLOR_MATERIAL) && glIsEnabled(GL_DEPTH_TEST));
}

TEST_F(SceneTest, SurfaceOverAMeshWithoutTetrahedraIsLoadedThenDropped) {
    const TempFile surface("scene_surface.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const std::string missing = testing::TempDir() + "scene_missing_tets.obj";
    Scene* s = makeScene(surface.c_str(), missing.c_str());
    EXPECT_NE(output.find("loading obj: " + missing + "\n"), std::string::npos) << output;
    EXPECT_NE(errors.find("cannot be bound and is dropped"), std::string::npos) << errors;
    EXPECT_TRUE(s->boundMesh.vert.empty());
    EXPECT_TRUE(s->boundMesh.tetMesh == s->tetMesh);
    s->handleKeyboard('R', 0, 0);
    testsupport::captureStdout([&] { s->handleKeyboard(' ', 0, 0); });
    EXPECT_TRUE(s->boundMesh.vert.empty());
}

TEST_F(SceneTest, SceneFileFormTakesFileValuesAndDropsBadSprings) {
    // drawTets 0, E 3000, threshold 750, no bound surface (but a texture listed), springs on
    // tetrahedron 0 and on the missing tetrahedron 5.
    const TempFile objFile("scene_one_tet.obj", kOneTetObj);
    const std::string& obj = objFile.path();
    const TempFile file("scene_test.scene",
                        "22 serialization::archive 6 0 0 0 0 0 " + std::to_string(obj.size()) +
                            " " + obj +
                            " 3000 0.3 750 0.002 50 1.5 0 0 0  0 0 0  0 0 1 0 5 x.png 0 0 0 0 "
                            "0 0 2 0 0 0 0 0.5 0.25 0.125 1 2 3 5 0.25 0.25 0.25 0 0 0\n");
    std::unique_ptr<Scene> scene;
    const std::string err =
        testsupport::capturePrinted([&] { scene.reset(new Scene(file.c_str())); }).err;
    const Scene& s = *scene;
    EXPECT_FALSE(s.drawTets);
    EXPECT_EQ(s.tetMesh->fractureThreshold, 750.0);
    EXPECT_EQ(s.tetMesh->material.youngsModulus, 3000.0);
    EXPECT_EQ(s.tetMesh->tets[0].material.poissonRatio, 0.3);
    EXPECT_TRUE(s.boundMesh.vert.empty());
    EXPECT_EQ(s.boundMesh.material->texture, 0u);
    ASSERT_EQ(s.springs.size(), 1u);
    EXPECT_EQ(s.springs[0].bary[0], 0.5f);
    EXPECT_EQ(s.springs[0].bary[3], 0.25f);
    EXPECT_EQ(s.springs[0].pos.z, 3.0f);
    EXPECT_EQ(err, file.path() + ": spring 1 names tetrahedron 5, but the mesh has 1; dropped\n");

    const TempFile bad("scene_bad.scene", "22 serialization::archive 6 0 0 1 0");
    testsupport::captureStdout([&] {
        EXPECT_THROW(Scene b(bad.c_str()), std::exception);
        EXPECT_THROW(Scene b("/nonexistent/scene"), std::exception);
    });
}

// Damaged OBJ files are read as missing ones: the scene goes on without a body or surface, steps
// and draws.
TEST_F(SceneTest, DamagedObjFilesLeaveAnEmptySceneThatStepsAndDraws) {
    Scene* s = makeScene("tests/data/bad/obj_vn_short.obj", "tests/data/bad/tets_v_short.obj");
    EXPECT_NE(errors.find("tets_v_short.obj:4: malformed v line"), std::string::npos) << errors;
    EXPECT_NE(errors.find("obj_vn_short.obj:10: malformed vn line"), std::string::npos) << errors;
    EXPECT_TRUE(s->tetMesh->tets.empty() && s->boundMesh.vert.empty());
    testing::internal::CaptureStdout();
    s->simulate(0.01);
    s->draw();
    glFinish();  // drawing left pending crashes the GL driver when the process ends
    testing::internal::GetCapturedStdout();
}

// Damaged spring geometry (read from data/ under the working directory) is not kept: springs
// are drawn as plain lines.
TEST_F(SceneTest, DamagedSpringGeometryIsNotKept) {
    Scene* s = makeScene();
    const std::string dir = testing::TempDir() + std::to_string(getpid()) + "_springs";
    ASSERT_EQ(mkdir(dir.c_str(), 0700) | mkdir((dir + "/data").c_str(), 0700), 0);
    std::ifstream in(GLTestWindow::repoPath("tests/data/bad/obj_vn_short.obj"));
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    for (const char* name : {"/data/spring_base.obj", "/data/spring_middle.obj"})
        std::ofstream(dir + name) << text;
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd) && chdir(dir.c_str()) == 0);
    Spring::s_baseGeom = Mesh();  // as at start-up, whatever ran before in this process
    testing::internal::CaptureStdout();
    s->springs.push_back(Spring(0, lumo::Vec4<float>(1, 0, 0, 0), lumo::Vec3<float>(3, 0, 0)));
    EXPECT_EQ(chdir(cwd), 0);
    s->draw();
    glFinish();  // drawing left pending crashes the GL driver when the process ends
    EXPECT_NE(testing::internal::GetCapturedStdout().find("Made geom: 0, 0\n"), std::string::npos);
    EXPECT_TRUE(Spring::s_baseGeom.vert.empty() && Spring::s_springGeom.vert.empty());
    for (const char* name : {"/data/spring_base.obj", "/data/spring_middle.obj", "/data", ""})
        std::remove((dir + name).c_str());
}

TEST_F(SceneTest, KeyTable) {
    Scene* s = makeScene();
    // Toggles: twice returns to the start; 't' and 'r' set fixed thresholds.
    struct Toggle {
        unsigned char key;
        bool* flag;
    } toggles[] = {{'s', &s->running},
                   {'w', &s->wireframe},
                   {'1', &s->drawTets},
                   {'b', &s->boundMesh.drawBindings},
                   {'n', &s->boundMesh.drawVertexNumbers}};
    for (const Toggle& t : toggles) {
        const bool before = *t.flag;
        s->handleKeyboard(t.key, 0, 0);
        EXPECT_NE(*t.flag, before) << t.key;
        s->handleKeyboard(t.key, 0, 0);
        EXPECT_EQ(*t.flag, before) << t.key;
    }
    for (int i = 0; i < 2; ++i) {
        s->handleKeyboard('t', 0, 0);
        EXPECT_EQ(s->tetMesh->fractureThreshold, 1.0e9);
    }
    s->handleKeyboard('r', 0, 0);
    EXPECT_EQ(s->tetMesh->fractureThreshold, 1000.0);
    s->handleKeyboard('S', 0, 0);  // case-sensitive: unlisted
    EXPECT_FALSE(s->running);

    // 'c' without a dragged point does nothing; with one it appends a spring and keeps the point.
    s->handleKeyboard('c', 0, 0);
    EXPECT_TRUE(s->springs.empty());
    s->handle.tet = 0;
    s->handle.bary = lumo::Vec4<float>(0.1f, 0.2f, 0.3f, 0.4f);
    s->handle.pos = lumo::Vec3<float>(4, 5, 6);
    s->handleKeyboard('c', 0, 0);
    ASSERT_EQ(s->springs.size(), 1u);
    EXPECT_EQ(s->springs[0].bary[3], 0.4f);
    EXPECT_EQ(s->springs[0].pos.y, 5.0f);
    EXPECT_EQ(s->handle.tet, 0);

    // 'k' pitches about the camera's x axis; 'l' orbits about world y through the origin.
    s->handleKeyboard('k', 0, 0);
    EXPECT_NEAR(view.orientation.a, std::cos(0.05), 1e-15);
    EXPECT_NEAR(view.orientation.v.x, std::sin(0.05), 1e-15);
    EXPECT_EQ(view.position.z, 10.0);
    view.orientation = lumo::Quaternion();
    s->handleKeyboard('l', 0, 0);
    EXPECT_NEAR(view.position.x, 10.0 * std::sin(0.1), 1e-12);
    EXPECT_NEAR(view.position.y, 0.0, 1e-12);
    EXPECT_NEAR(view.position.z, 10.0 * std::cos(0.1), 1e-12);
    EXPECT_NEAR(view.orientation.v.y, std::sin(0.05), 1e-15);
}

TEST_F(SceneTest, SpaceStepsOnceAndResetRestoresTheRestShape) {
    Scene* s = makeScene();
    testsupport::captureStdout([&] {
        s->handleKeyboard(' ', 0, 0);
        s->handleKeyboard(' ', 0, 0);
    });
    EXPECT_FALSE(s->running);
    EXPECT_LT(s->tetMesh->vert[0].y, 0.0f);  // falling under gravity
    EXPECT_LT(s->tetMesh->velocities[0].y, 0.0f);
    s->tetMesh->tets[0].plasticStrain[0] = 0.5;
    s->handleKeyboard('R', 0, 0);
    for (std::size_t i = 0; i < s->tetMesh->vert.size(); ++i) {
        EXPECT_TRUE(s->tetMesh->vert[i] == s->tetMesh->restVert[i]) << i;
        EXPECT_EQ(s->tetMesh->velocities[i].len(), 0.0) << i;
    }
    EXPECT_EQ(s->tetMesh->tets[0].plasticStrain[0], 0.0);
}

TEST_F(SceneTest, PickDragAndDrop) {
    Scene* s = makeScene();
    int x, y;
    windowPixel(view, 0.2, 0.3, 0.2, x, y);  // inside the tetrahedron

    const std::string out =
        testsupport::captureStdout([&] { s->selectHandleForView(&view, 0, 1, x, y); });
    ASSERT_EQ(s->handle.tet, 0) << out;
    EXPECT_EQ(out.rfind("intersects tet: ", 0), 0u) << out;
    EXPECT_NE(out.find("\nbary: "), std::string::npos) << out;
    // The picked point is on the front face (z = 1 - x - y); pixel and float rounding, 1e-4.
    const lumo::Vec3<float> p = s->handle.pos;
    EXPECT_NEAR(p.x + p.y + p.z, 1.0, 1e-4);
    float sum = s->handle.bary[0] + s->handle.bary[1] + s->handle.bary[2] + s->handle.bary[3];
    EXPECT_NEAR(sum, 1.0f, 1e-5f);

    // Dragging 48 pixels to the right moves the anchor along +x at its depth, nothing else.
    const lumo::Vec4<float> bary = s->handle.bary;
    s->moveHandleForView(&view, x + 48, y);
    EXPECT_GT(s->handle.pos.x, p.x + 0.5f);
    EXPECT_NEAR(s->handle.pos.y, p.y, 0.02);
    EXPECT_EQ(s->handle.tet, 0);
    EXPECT_EQ(s->handle.bary[1], bary[1]);

    // A press beside the body picks nothing; another button drops the point.
    s->selectHandleForView(&view, 0, 1, 5, 5);
    EXPECT_EQ(s->handle.tet, -1);
    testsupport::captureStdout([&] { s->selectHandleForView(&view, 0, 1, x, y); });
    EXPECT_EQ(s->handle.tet, 0);
    s->selectHandleForView(&view, 1, 1, x, y);
    EXPECT_EQ(s->handle.tet, -1);
}

TEST_F(SceneTest, RemovingASpringByPickingIt) {
    Scene* s = makeScene();
    testsupport::captureStdout([&] {
        s->springs.push_back(Spring(0, lumo::Vec4<float>(1, 0, 0, 0), lumo::Vec3<float>(-3, 0, 0)));
        s->springs.push_back(Spring(0, lumo::Vec4<float>(1, 0, 0, 0), lumo::Vec3<float>(3, 0, 0)));
    });
    int x, y;
    windowPixel(view, 3.0, 0.0, 0.0, x, y);     // the anchor end cap of the second spring
    s->removeSpringForView(&view, 0, 0, x, y);  // a release: nothing
    s->removeSpringForView(&view, 0, 1, 5, 5);  // nothing there
    EXPECT_EQ(s->springs.size(), 2u);
    s->removeSpringForView(&view, 0, 1, x, y);
    ASSERT_EQ(s->springs.size(), 1u);
    EXPECT_EQ(s->springs[0].pos.x, -3.0f);
}

TEST_F(SceneTest, StepRateRefreshesOncePerThirtySteps) {
    Scene* s = makeScene();
    testsupport::captureStdout([&] {
        // The step counter is one for the whole process: first reach a refresh, then count.
        for (int i = 0; i < 30 && s->fps == 0.0; ++i) s->simulate(0.01);
        ASSERT_NE(s->fps, 0.0);
        s->fps = -1.0;
        for (int i = 0; i < 29; ++i) s->simulate(0.01);
        EXPECT_EQ(s->fps, -1.0);
        s->simulate(0.01);
    });
    EXPECT_GT(s->fps, 0.0);  // 30 / total seconds; infinite when they took under 1 ms
    EXPECT_TRUE(s->fractures.empty());
}
