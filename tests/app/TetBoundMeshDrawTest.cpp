// Drawing of the bound surface in a GL context: colour, binding lines, unlit points, state left.
#include <GL/glew.h>

#include "sim/TetBoundMesh.h"
#include "sim/TetMesh.h"
#include "tests/support/gl/GLTestWindow.h"

using lumo::Vec3;

namespace {

typedef std::array<unsigned char, 4> RGBA;

class TetBoundMeshDraw : public GLTest {};

TEST_F(TetBoundMeshDraw, UntexturedSurfaceUnlitDebugPointsAndRestoredState) {
    // One triangle covering the window centre, normals +z, one texture coordinate.
    TetBoundMesh s;
    s.vert = {Vec3<float>(-0.5f, -0.5f, 0), Vec3<float>(0.5f, -0.5f, 0), Vec3<float>(0, 0.5f, 0)};
    s.restVert = s.vert;
    s.norm.assign(3, Vec3<float>(0, 0, 1));
    s.tvert.push_back(Vec3<float>(0.5f, 0.5f, 0));
    int vi[3] = {0, 1, 2}, tci[3] = {0, 0, 0};
    s.tris.push_back(Mesh::Tri(vi, vi, tci));
    s.draw();  // in the default colour, 0.8 grey
    EXPECT_EQ(window().pixel(320, 240), (RGBA{204, 204, 204, 255}));
    s.material->diffuse = lumo::Vec4<float>(0, 1, 0, 1);
    s.drawVertexNumbers = true;
    s.debugPoints.push_back(Vec3<float>(0.8f, 0.8f, 0));
    glEnable(GL_TEXTURE_2D);
    s.draw();
    GLint depth = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_EQ(window().pixel(320, 240), (RGBA{0, 255, 0, 255}));
    EXPECT_EQ(depth, 1);  // the numbers leave the matrix stack as it was
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // With lighting on (and no light) the debug points are still drawn unlit; state restored.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_LIGHTING);
    glPointSize(1.0f);
    s.draw();
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 1.0f);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_EQ(window().pixel(576, 432), (RGBA{255, 0, 0, 255}));
}

TEST_F(TetBoundMeshDraw, BindingLineRunsFromTheVertexToItsTetrahedronsCentroid) {
    // Vertex (-0.5, y, 0) bound to a tetrahedron with centroid (0.5, y, 0): pixel row 264.
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
    EXPECT_EQ(window().pixel(320, 264), (RGBA{255, 255, 255, 255}));
    EXPECT_EQ(window().pixel(560, 264)[0], 0);  // the line ends at the centroid (x = 480)
}

}  // namespace
