// Drawing of the bound surface in a real GL context: material colour, the binding lines, the
// unlit debug points, and the state the call leaves behind.
#include <GL/glew.h>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "tests/support/gl/GLTestWindow.h"

using lumo::Vec3;

namespace {

typedef std::array<unsigned char, 4> RGBA;

bool is(const RGBA& c, int r, int g, int b) {
    return c[0] == r && c[1] == g && c[2] == b;
}

class TetBoundMeshDraw : public GLTest {};

TEST_F(TetBoundMeshDraw, UntexturedSurfaceUnlitDebugPointsAndRestoredState) {
    // One triangle covering the window centre, normals +z, one texture coordinate.
    TetBoundMesh s;
    for (const Vec3<float>& p :
         {Vec3<float>(-0.5f, -0.5f, 0), Vec3<float>(0.5f, -0.5f, 0), Vec3<float>(0, 0.5f, 0)}) {
        s.vert.push_back(p);
        s.restVert.push_back(p);
        s.norm.push_back(Vec3<float>(0, 0, 1));
    }
    s.tvert.push_back(Vec3<float>(0.5f, 0.5f, 0));
    int vi[3] = {0, 1, 2}, tci[3] = {0, 0, 0};
    s.tris.push_back(Mesh::Tri(vi, vi, tci));
    s.material->diffuse = lumo::Vec4<float>(0, 1, 0, 1);
    s.drawVertexNumbers = true;
    s.debugPoints.push_back(Vec3<float>(0.8f, 0.8f, 0));
    glEnable(GL_TEXTURE_2D);
    s.draw();
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_TRUE(is(window().pixel(320, 240), 0, 255, 0));
    EXPECT_EQ(depth, 1);  // the numbers leave the matrix stack as it was
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // With lighting on (and no light) the debug points are still drawn unlit, and the state is
    // as it was afterwards.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glPointSize(1.0f);
    s.draw();
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(is(window().pixel(576, 432), 255, 0, 0));
}

TEST_F(TetBoundMeshDraw, BindingLineRunsFromTheVertexToItsTetrahedronsCentroid) {
    // A tetrahedron with centroid (0.5, y, 0) and one surface vertex at (-0.5, y, 0) bound to
    // it, no triangles. y puts the line through the centres of pixel row 264.
    const float y = 264.5f / 240.0f - 1.0f;
    boost::shared_ptr<TetMesh> tm(new TetMesh(Tetrahedron::Material()));
    tm->vert = {Vec3<float>(1, y, 0), Vec3<float>(0, y + 0.5f, 0), Vec3<float>(0, y - 0.5f, 0.5f),
                Vec3<float>(1, y, -0.5f)};
    tm->tets.push_back(Tetrahedron(0, 1, 2, 3));
    TetBoundMesh s;
    s.tetMesh = tm;
    s.vert.push_back(Vec3<float>(-0.5f, y, 0));
    s.bindings.resize(1);
    s.bindings[0].tet = 0;
    s.drawBindings = true;
    s.draw();
    EXPECT_TRUE(is(window().pixel(320, 264), 255, 255, 255));
    EXPECT_EQ(window().pixel(560, 264)[0], 0);  // the line ends at the centroid (x = 480)
}

}  // namespace
