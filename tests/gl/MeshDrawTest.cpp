// Mesh drawing in a real GL context: coverage and colour of drawn triangles and quads, sphere
// overlap colours, drawing with external and texture-space coordinates, flat vertex arrays and
// the barycentric / triangle-number read-back.
#include "mesh/mesh.h"
#include "platform/image/image.h"
#include "tests/support/gl/GLTestWindow.h"

#include <algorithm>
#include <array>
#include <tuple>

using lumo::Vec3;
using RGBA = std::array<unsigned char, 4>;

namespace {

// Appends the triangle a, b, c with normals +z and texture coordinates ta, tb, tc.
void addTriangle(Mesh& m, Vec3<float> a, Vec3<float> b, Vec3<float> c, Vec3<float> ta = {},
                 Vec3<float> tb = {}, Vec3<float> tc = {}) {
    int v = int(m.vert.size()), t = int(m.tvert.size());
    for (const Vec3<float>& p : {a, b, c}) {
        m.vert.push_back(p);
        m.restVert.push_back(p);
        m.norm.push_back(Vec3<float>(0, 0, 1));
    }
    for (const Vec3<float>& p : {ta, tb, tc}) m.tvert.push_back(p);
    int vi[3] = {v, v + 1, v + 2}, tci[3] = {t, t + 1, t + 2};
    m.tris.push_back(Mesh::Tri(vi, vi, tci));
}

// A triangle covering the window centre under the identity camera: (-0.5, -0.5), (0.5, -0.5),
// (0, 0.5) at z = 0; texture coordinates (0.1, 0.1), (0.9, 0.1), (0.5, 0.9).
Mesh centreTriangle() {
    Mesh m;
    addTriangle(m, {-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0, 0.5f, 0}, {0.1f, 0.1f, 0},
                {0.9f, 0.1f, 0}, {0.5f, 0.9f, 0});
    return m;
}

// A 2 x 1 texture, red on the left half and green on the right, nearest filtering, replacing
// the fragment colour; texturing enabled.
GLuint redGreenTexture() {
    const unsigned char px[6] = {255, 0, 0, 0, 255, 0};
    GLuint tex;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, 2, 1, 0, GL_RGB, GL_UNSIGNED_BYTE, px);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    glEnable(GL_TEXTURE_2D);
    return tex;
}

GLint modelviewDepth() {
    GLint d = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &d);
    return d;
}

void ortho(double l, double r, double b, double t) {
    glMatrixMode(GL_PROJECTION);
    glOrtho(l, r, b, t, -10, 10);
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

class MeshDraw : public GLTest {};

// One triangle in the current colour over its pixels, matrix stack balanced; then a quad
// under it: quads come first, each corner with its texture coordinate; drawWithTC takes the
// coordinates from its array by vertex index instead.
TEST_F(MeshDraw, QuadsThenTrianglesWithTheirAttributes) {
    Mesh m = centreTriangle();
    glColor3f(1, 0.5f, 0);
    GLint depth = modelviewDepth();
    m.draw(false);
    EXPECT_EQ(modelviewDepth(), depth);
    EXPECT_EQ(window().pixel(320, 240)[0], 255);
    EXPECT_NEAR(window().pixel(320, 240)[1], 128, 1);       // 0.5 rounds to 127 or 128
    EXPECT_EQ(window().pixel(320 + 130, 240 + 100)[0], 0);  // beside the right edge
    // Area: half of a 320 x 240 pixel box, within one pixel along the perimeter.
    EXPECT_NEAR(window().countDiffering({0, 0, 0}), 320 * 240 / 2, 320 + 2 * 268);
    GLfloat n[4];  // the last corner's normal is the current one
    glGetFloatv(GL_CURRENT_NORMAL, n);
    EXPECT_EQ(n[2], 1.0f);

    m.tvert.push_back(Vec3<float>(0.25f, 0.5f, 0));  // tvert 3: red
    m.tvert.push_back(Vec3<float>(0.75f, 0.5f, 0));  // tvert 4: green
    for (int k = 0; k < 3; ++k) m.tris[0].tci[k] = 4;
    m.vert.insert(m.vert.end(), {Vec3<float>(-1, -1, 0), Vec3<float>(1, -1, 0),
                                 Vec3<float>(1, 1, 0), Vec3<float>(-1, 1, 0)});  // whole window
    m.faces.push_back(Mesh::Face{{3, 4, 5, 6}, {0, 0, 0, 0}, {3, 3, 3, 3}});
    GLuint tex = redGreenTexture();
    m.draw(false);
    EXPECT_EQ(window().pixel(320, 240), (RGBA{0, 255, 0, 255}));  // triangle over the quad
    EXPECT_EQ(window().pixel(20, 400), (RGBA{255, 0, 0, 255}));   // quad only
    std::vector<Vec3<float>> tc(7, Vec3<float>(0.75f, 0.5f, 0));
    tc[2] = Vec3<float>(0.76f, 0.5f, 0);
    m.drawWithTC(tc);
    EXPECT_EQ(window().pixel(20, 400), (RGBA{0, 255, 0, 255}));
    GLfloat t[4];  // the last corner's coordinate: tc of triangle vertex 2
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, t);
    EXPECT_EQ(t[0], 0.76f);
    glDeleteTextures(1, &tex);
}

// Two spheres of radius 1 at distance d: blue (alpha 0.4) when d <= 2 and the sphere lists the
// other, white otherwise; only with drawSpheres; the colour ends white.
TEST_F(MeshDraw, SpheresAreBlueWhereTheyTouchAnInteractingSphere) {
    const RGBA blue = {0, 0, 255, 102}, white = {255, 255, 255, 102};
    const struct {
        float half;      // half the distance between the centres
        bool symmetric;  // sphere 1 lists sphere 0 too
        RGBA left, right;
    } cases[] = {{1.0f, true, blue, blue}, {1.25f, true, white, white}, {1.0f, false, blue, white}};
    Mesh empty;
    empty.draw(true);
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
    for (const auto& c : cases) {
        window().reset();
        ortho(-4, 4, -3, 3);  // 80 pixels per unit
        Mesh m;
        m.spheres.resize(2);
        for (int s = 0; s < 2; ++s) {
            m.spheres[s].radius = 1;
            m.spheres[s].center = Vec3<float>(s ? c.half : -c.half, 0, 0);
        }
        m.spheres[0].interactions = {1};
        if (c.symmetric) m.spheres[1].interactions = {0};
        m.draw(false);
        EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
        GLint depth = modelviewDepth();
        m.draw(true);
        EXPECT_EQ(modelviewDepth(), depth);
        EXPECT_EQ(window().pixel(320 - int(80 * c.half), 240), c.left);
        EXPECT_EQ(window().pixel(320 + int(80 * c.half), 240), c.right);
        GLfloat colour[4];
        glGetFloatv(GL_CURRENT_COLOR, colour);
        EXPECT_EQ(colour[0] + colour[1] + colour[2] + colour[3], 4.0f);
    }
}

TEST_F(MeshDraw, DrawTCFlattensIntoTextureSpaceWithViewAlpha) {
    Mesh m = centreTriangle();
    ortho(0, 1, 0, 1);
    drawTC(&m, Vec3<double>(0, 0, 10));  // in front: alpha near 1
    RGBA front = window().pixel(320, 240);
    EXPECT_EQ(front[0], 255);
    EXPECT_GE(front[3], 250);                  // cos of at most atan(0.71 / 10): above 0.997
    EXPECT_EQ(window().pixel(320, 20)[0], 0);  // below tvert's triangle (v < 0.1)
    GLfloat t1[4];
    glActiveTexture(GL_TEXTURE1);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, t1);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_EQ(t1[1], 0.5f);  // the last corner's 3-D position

    drawTC(&m, Vec3<double>(0, 0, -10));  // behind: alpha 0
    EXPECT_EQ(window().pixel(320, 240), (RGBA{255, 255, 255, 0}));
}

// The flat array holds the corners, is reused at the same size and rebuilt after a triangle is
// added; drawing never reads past it; a buffer object is drawn instead when named.
TEST_F(MeshDraw, VertexElements) {
    Mesh m = centreTriangle();
    m.drawVertexElements();  // never built: nothing drawn, nothing read
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
    m.initVertexElements();
    ASSERT_EQ(m.numVertexElements, 9);
    float* first = m.vertexElements;
    EXPECT_EQ(first[3] + first[7], 1.0f);  // x of corner 1, y of corner 2
    m.initVertexElements();
    EXPECT_EQ(m.vertexElements, first);
    m.drawVertexElements();
    const int drawn = window().countDiffering({0, 0, 0});
    window().reset();
    m.draw(false);
    EXPECT_EQ(window().countDiffering({0, 0, 0}), drawn);

    addTriangle(m, {-1, 0.6f, 0}, {-0.6f, 0.6f, 0}, {-0.8f, 0.9f, 0});
    window().reset();
    m.drawVertexElements();  // only the built triangle
    EXPECT_EQ(window().countDiffering({0, 0, 0}), drawn);
    m.initVertexElements();
    EXPECT_EQ(m.numVertexElements, 18);
    EXPECT_EQ(m.vertexElements[9], -1.0f);

    GLuint buffer;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(float) * 9, m.vertexElements, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    m.tris.pop_back();
    m.vertexElements[0] = 1;  // the client copy is not what is drawn
    m.vertexBuffer = buffer;
    window().reset();
    m.drawVertexElements();
    EXPECT_EQ(window().countDiffering({0, 0, 0}), drawn);
    GLint binding = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &binding);
    EXPECT_EQ(binding, 0);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    m.vertexBuffer = 0;
    glDeleteBuffers(1, &buffer);
}

// With the caller's camera: weights summing to 1 inside, zeros and id 0xFFFFFFFF outside
// (whatever the caller's clear colour), row 0 at the bottom, the caller's state restored. In
// texture space: a triangle number that needs two bytes (299 = 43 + 256) and rows of 99 RGB
// bytes (not 4-byte aligned), the caller's projection restored.
TEST_F(MeshDraw, BaryImage) {
    Mesh m = centreTriangle();
    glClearColor(0.2f, 0.3f, 0.4f, 1);
    lumo::Image<unsigned int> ids(1, 1, 1);
    lumo::Image<float> bary = getBaryImage(m, 64, 48, false, &ids);
    ASSERT_EQ(std::make_tuple(bary.w, bary.h, bary.nchannels), std::make_tuple(64, 48, 4));
    ASSERT_EQ(std::make_tuple(ids.w, ids.h, ids.nchannels), std::make_tuple(64, 48, 1));
    const float* c = bary.data + 4 * (24 * 64 + 32);
    EXPECT_NEAR(c[0] + c[1] + c[2], 1.0f, 1e-5f);  // divided by their float sum
    EXPECT_EQ(c[3], 1.0f);
    // The pixel centre has weights (0.24, 0.26, 0.52); colours come back in steps of 1/255,
    // so 0.03 covers quantisation and the half-pixel offset.
    EXPECT_NEAR(c[0], 0.25f, 0.03f);
    EXPECT_NEAR(c[2], 0.5f, 0.03f);
    EXPECT_EQ(bary.data[0] + bary.data[1] + bary.data[2] + bary.data[3], 0.0f);
    EXPECT_EQ(ids.data[24 * 64 + 32], 0u);
    EXPECT_EQ(ids.data[14 * 64 + 32], 0u);
    EXPECT_EQ(ids.data[0], 0xFFFFFFFFu);
    EXPECT_EQ(ids.data[47 * 64 + 32], 0xFFFFFFFFu);  // above the apex
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], GLTestWindow::kWidth);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_EQ(clear[0], 0.2f);

    Mesh many;
    for (int t = 0; t < 299; ++t) addTriangle(many, {}, {}, {});
    addTriangle(many, {5, 5, 5}, {6, 5, 5}, {5, 6, 5}, {0.1f, 0.1f, 0}, {0.9f, 0.1f, 0},
                {0.5f, 0.9f, 0});
    GLfloat before[16], after[16];
    ortho(-3, 3, -2, 2);
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    const int w = 33, h = 17;
    bary = getBaryImage(many, w, h, true, &ids);
    int inside = 0;
    for (int i = 0; i < w * h; ++i) {
        if (ids.data[i] == 0xFFFFFFFFu) continue;
        ++inside;
        EXPECT_EQ(ids.data[i], 299u) << i;
        EXPECT_EQ(bary.data[4 * i + 3], 1.0f);
    }
    EXPECT_EQ(ids.data[(h / 2) * w + w / 2], 299u);
    EXPECT_NEAR(inside, 0.32 * w * h, 0.1 * w * h);  // area 0.32 of the unit square
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_TRUE(std::equal(before, before + 16, after));
    EXPECT_EQ(getBaryImage(many, 0, 0, true, &ids).size(), 0u);
    EXPECT_EQ(ids.size(), 0u);
}
