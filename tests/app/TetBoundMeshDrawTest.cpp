// Drawing of the bound surface in a real GL context: material colour and texture, the binding
// lines, the unlit debug points, and the state the call leaves behind.
#include <GL/glew.h>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "tests/support/gl/GLTestWindow.h"

using lumo::Vec3;

namespace {

typedef std::array<unsigned char, 4> RGBA;

// Pixel of the window at normalised device coordinates (x, y) under the identity camera.
RGBA at(GLTestWindow& w, float x, float y) {
    return w.pixel(int((x + 1) * 0.5f * GLTestWindow::kWidth),
                   int((y + 1) * 0.5f * GLTestWindow::kHeight));
}

// One triangle covering the window centre, normals +z, one texture coordinate.
void centreTriangle(TetBoundMesh& s) {
    for (const Vec3<float>& p :
         {Vec3<float>(-0.5f, -0.5f, 0), Vec3<float>(0.5f, -0.5f, 0), Vec3<float>(0, 0.5f, 0)}) {
        s.vert.push_back(p);
        s.restVert.push_back(p);
        s.norm.push_back(Vec3<float>(0, 0, 1));
    }
    s.tvert.push_back(Vec3<float>(0.5f, 0.5f, 0));
    int vi[3] = {0, 1, 2}, tci[3] = {0, 0, 0};
    s.tris.push_back(Mesh::Tri(vi, vi, tci));
}

class TetBoundMeshDraw : public GLTest {};

TEST_F(TetBoundMeshDraw, UntexturedSurfaceWithVertexNumbers) {
    TetBoundMesh s;
    centreTriangle(s);
    s.material->diffuse = lumo::Vec4<float>(0, 1, 0, 1);
    s.drawVertexNumbers = true;
    glEnable(GL_TEXTURE_2D);
    GLint depthBefore = 0, depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    s.draw();
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    RGBA c = at(window(), 0, 0);
    EXPECT_TRUE(c[0] == 0 && c[1] == 255 && c[2] == 0);
    // The numbers leave the matrix stack and the attributes as they were.
    EXPECT_EQ(depthBefore, depthAfter);
    EXPECT_FALSE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TetBoundMeshDraw, TexturedSurfaceAndTheTextureGoesWithItsMaterial) {
    GLuint tex = 0;
    {
        TetBoundMesh s;
        centreTriangle(s);
        const unsigned char red[3] = {255, 0, 0};
        glGenTextures(1, &tex);
        glBindTexture(GL_TEXTURE_2D, tex);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 1, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, red);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
        s.material->texture = tex;
        s.material->diffuse = lumo::Vec4<float>(1, 1, 1, 1);
        s.draw();
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
        RGBA c = at(window(), 0, 0);
        EXPECT_EQ(c[0], 255);
        EXPECT_EQ(c[1], 0);
        EXPECT_TRUE(glIsTexture(tex));
    }
    // The last holder of the material is gone: its texture name was deleted.
    EXPECT_FALSE(glIsTexture(tex));
}

TEST_F(TetBoundMeshDraw, BindingLinesDebugPointsAndRestoredState) {
    // One tetrahedron whose centroid is (0.5, y, 0); one surface vertex at (-0.5, y, 0) bound
    // to it, no triangles: only its binding line shows, white. y puts the line through the
    // centres of pixel row 264.
    const float y = 264.5f / 240.0f - 1.0f;
    boost::shared_ptr<TetMesh> tm(new TetMesh(Tetrahedron::Material()));
    tm->vert = {Vec3<float>(1, y, 0), Vec3<float>(0, y + 0.5f, 0), Vec3<float>(0, y - 0.5f, 0.5f),
                Vec3<float>(1, y, -0.5f)};
    tm->restVert = tm->vert;
    tm->tets.push_back(Tetrahedron(0, 1, 2, 3));
    TetBoundMesh s;
    s.tetMesh = tm;
    s.vert.push_back(Vec3<float>(-0.5f, y, 0));
    s.restVert = s.vert;
    TetBoundMesh::TetBinding b;
    b.tet = 0;
    b.bary = lumo::Vec4<float>(0.25f, 0.25f, 0.25f, 0.25f);
    s.bindings.push_back(b);
    s.drawBindings = true;
    s.debugPoints.push_back(Vec3<float>(0, 0.5f, 0));

    s.draw();
    RGBA line = window().pixel(320, 264);
    EXPECT_GT(line[0], 200);
    EXPECT_GT(line[1], 200);
    RGBA beyond = window().pixel(560, 264);  // the line ends at the centroid (x = 480)
    EXPECT_EQ(beyond[0], 0);

    // With lighting on (and no light), the debug points are still drawn unlit, and the state
    // is as it was afterwards.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glPointSize(1.0f);
    s.draw();
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 1.0f);
    RGBA point = at(window(), 0, 0.5f);
    EXPECT_EQ(point[0], 255);
    EXPECT_EQ(point[1], 0);
    EXPECT_EQ(point[2], 0);
}

}  // namespace
