// Mesh drawing in a real GL context, including the barycentric read-back.
#include <array>
#include <cmath>

#include "mesh/mesh.h"
#include "tests/support/MeshTestUtil.h"
#include "tests/support/gl/GLTestWindow.h"

using meshtest::V;
using RGBA = std::array<unsigned char, 4>;

// A triangle over the window centre under the identity camera, normals +z.
Mesh centreTriangle() {
    Mesh m = meshtest::mesh({V(-0.5f, -0.5f, 0), V(0.5f, -0.5f, 0), V(0, 0.5f, 0)}, {{0, 1, 2}});
    m.norm.assign(3, V(0, 0, 1));
    m.tvert = {V(0.1f, 0.1f, 0), V(0.9f, 0.1f, 0), V(0.5f, 0.9f, 0)};
    return m;
}

class MeshDraw : public GLTest {};

// Quads (here covering the window) then triangles: the last corner issued is the triangle's.
// drawWithTC takes the coordinates from its array by vertex index instead.
TEST_F(MeshDraw, QuadsThenTrianglesWithTheirAttributes) {
    Mesh m = centreTriangle();
    m.vert.insert(m.vert.end(), {V(-1, -1, 0), V(1, -1, 0), V(1, 1, 0), V(-1, 1, 0)});
    m.norm.push_back(V(0, 0, -1));
    m.faces.push_back(Mesh::Face{{3, 4, 5, 6}, {3, 3, 3, 3}, {0, 0, 0, 0}});
    m.draw(false);
    EXPECT_EQ(window().inked(), GLTestWindow::kWidth * GLTestWindow::kHeight);
    GLfloat t[4], n[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, t);
    glGetFloatv(GL_CURRENT_NORMAL, n);
    EXPECT_TRUE(t[0] == 0.5f && t[1] == 0.9f && n[2] == 1) << t[0] << " " << t[1] << " " << n[2];
    std::vector<V> tc(7, V(0.75f, 0.5f, 0));
    tc[2] = V(0.76f, 0.5f, 0);
    m.drawWithTC(tc);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, t);
    EXPECT_EQ(t[0], 0.76f);
}

// Touching spheres: blue (alpha 0.4) for the one listing the other, white otherwise; ends white.
TEST_F(MeshDraw, SpheresAreBlueWhereTheyTouchAnInteractingSphere) {
    glOrtho(-4, 4, -3, 3, -10, 10);  // 80 pixels per unit
    Mesh m;
    m.spheres.resize(2);
    m.spheres[0].center = V(-1, 0, 0);
    m.spheres[1].center = V(1, 0, 0);
    m.spheres[0].radius = m.spheres[1].radius = 1;
    m.spheres[0].interactions = {1};
    m.draw(true);
    EXPECT_EQ(window().pixel(240, 240), (RGBA{0, 0, 255, 102}));
    EXPECT_EQ(window().pixel(400, 240), (RGBA{255, 255, 255, 102}));
    GLfloat colour[4];
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
}

// Positions from the texture coordinates, alpha from the normal against the direction to the eye.
TEST_F(MeshDraw, DrawTCFlattensIntoTextureSpaceWithViewAlpha) {
    Mesh m = centreTriangle();
    glOrtho(0, 1, 0, 1, -1, 1);
    drawTC(&m, lumo::Vec3<double>(0, 0, 10));  // in front: alpha near 1
    RGBA front = window().pixel(320, 240);
    EXPECT_TRUE(front[0] == 255 && front[3] >= 250);  // cos of at most atan(0.71 / 10): > 0.997
    EXPECT_EQ(window().pixel(320, 20)[0], 0);         // below tvert's triangle (v < 0.1)
    drawTC(&m, lumo::Vec3<double>(0, 0, -10));        // behind: alpha 0
    EXPECT_EQ(window().pixel(320, 240), (RGBA{255, 255, 255, 0}));
}

// The flat array covers what draw covers, is never read past, and a rebuild follows the count.
TEST_F(MeshDraw, VertexElements) {
    Mesh m = centreTriangle();
    m.drawVertexElements();  // never built: nothing drawn, nothing read
    EXPECT_EQ(window().inked(), 0);
    m.initVertexElements();
    ASSERT_EQ(m.numVertexElements, 9);
    m.draw(false);
    const int drawn = window().inked();
    window().reset();
    m.vert.insert(m.vert.end(), {V(-1, 0.6f, 0), V(-0.6f, 0.6f, 0), V(-0.8f, 0.9f, 0)});
    const int c[3] = {3, 4, 5};
    m.tris.push_back(Mesh::Tri(c, c, c));
    m.drawVertexElements();
    EXPECT_EQ(window().inked(), drawn);
    m.initVertexElements();
    EXPECT_EQ(m.numVertexElements * 100 + m.vertexElements[9], 1800 - 1);
}

// Weights summing to 1 inside, zeros and id 0xFFFFFFFF outside whatever the clear colour; in
// texture space a two-byte id (299) and unaligned 99-byte rows; an empty image reads nothing.
TEST_F(MeshDraw, BaryImage) {
    Mesh m = centreTriangle();
    glClearColor(0.2f, 0.3f, 0.4f, 1);
    lumo::Image<unsigned int> ids;
    lumo::Image<float> bary = getBaryImage(m, 64, 48, false, &ids);
    const float* c = bary.data + 4 * (24 * 64 + 32);
    // Weights (0.24, 0.26, 0.52) here: 0.03 covers steps of 1/255 and the half-pixel offset.
    EXPECT_NEAR(c[0] + c[1] + c[2], 1.0f, 1e-5f);
    EXPECT_TRUE(std::abs(c[0] - 0.25f) < 0.03f && std::abs(c[2] - 0.5f) < 0.03f && c[3] == 1);
    EXPECT_EQ(bary.data[0] + bary.data[1] + bary.data[2] + bary.data[3], 0.0f);
    EXPECT_EQ(ids.data[24 * 64 + 32] + ids.data[47 * 64 + 32], 0xFFFFFFFFu);  // centre, over apex
    Mesh many = m;
    many.tris.assign(300, Mesh::Tri());  // 299 degenerate ones, then the real one
    many.tris[299] = m.tris[0];
    bary = getBaryImage(many, 33, 17, true, &ids);
    EXPECT_TRUE(ids.data[8 * 33 + 16] == 299 && bary.data[4 * (8 * 33 + 16) + 3] == 1);
    EXPECT_EQ(getBaryImage(many, 0, 0, true, &ids).size() + ids.size(), 0u);
}
