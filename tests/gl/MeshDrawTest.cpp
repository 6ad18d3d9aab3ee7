// Mesh drawing in a real GL context: coverage and colour of drawn triangles and quads, sphere
// overlap colours, drawing with external and texture-space coordinates, flat vertex arrays and
// the barycentric / triangle-number read-back.
#include "mesh/mesh.h"
#include "platform/image/image.h"
#include "tests/support/gl/GLTestWindow.h"

#include <cmath>

using lumo::Vec3;

namespace {

// One triangle in the z = 0 plane covering the window centre under the identity camera:
// (-0.5, -0.5), (0.5, -0.5), (0, 0.5); normals +z; texture coordinates (0.1, 0.1), (0.9, 0.1),
// (0.5, 0.9).
void addTriangle(Mesh& m, Vec3<float> a, Vec3<float> b, Vec3<float> c, Vec3<float> ta,
                 Vec3<float> tb, Vec3<float> tc) {
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

void centreTriangle(Mesh& m) {
    addTriangle(m, {-0.5f, -0.5f, 0}, {0.5f, -0.5f, 0}, {0, 0.5f, 0}, {0.1f, 0.1f, 0},
                {0.9f, 0.1f, 0}, {0.5f, 0.9f, 0});
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

using RGBA = std::array<unsigned char, 4>;

GLint modelviewDepth() {
    GLint d = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &d);
    return d;
}

}  // namespace

class MeshDraw : public GLTest {};

TEST_F(MeshDraw, TriangleCoversItsPixelsInTheCurrentColour) {
    Mesh m;
    centreTriangle(m);
    glColor3f(1, 0.5f, 0);
    GLint depth = modelviewDepth();
    m.draw(false);
    EXPECT_EQ(modelviewDepth(), depth);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    RGBA inside = window().pixel(320, 240);
    EXPECT_EQ(inside[0], 255);
    EXPECT_NEAR(inside[1], 128, 1);  // 0.5 rounds to 127 or 128
    EXPECT_EQ(inside[2], 0);
    EXPECT_EQ(window().pixel(160 + 8, 120 + 8)[0], 255);  // near corner 0
    EXPECT_EQ(window().pixel(10, 10)[0], 0);
    EXPECT_EQ(window().pixel(320 + 130, 240 + 100)[0], 0);  // beside the right edge
    // Area: half of a 320 x 240 pixel box, within one pixel along the perimeter.
    EXPECT_NEAR(window().countDiffering({0, 0, 0}), 320 * 240 / 2, 320 + 2 * 268);

    // The last corner's normal and texture coordinate are the current ones.
    GLfloat n[4], t[4];
    glGetFloatv(GL_CURRENT_NORMAL, n);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, t);
    EXPECT_EQ(n[2], 1.0f);
    EXPECT_FLOAT_EQ(t[0], 0.5f);
    EXPECT_FLOAT_EQ(t[1], 0.9f);
}

TEST_F(MeshDraw, QuadsComeFirstThenTrianglesWithTheirTextureCoordinates) {
    Mesh m;
    centreTriangle(m);                               // texture coordinate 0 .. 2 of tvert
    m.tvert.push_back(Vec3<float>(0.25f, 0.5f, 0));  // tvert 3: red
    m.tvert.push_back(Vec3<float>(0.75f, 0.5f, 0));  // tvert 4: green
    for (int k = 0; k < 3; ++k) m.tris[0].tci[k] = 4;
    Mesh::Face quad;
    const float xs[4] = {-1, 1, 1, -1}, ys[4] = {-1, -1, 1, 1};
    for (int k = 0; k < 4; ++k) {
        m.vert.push_back(Vec3<float>(xs[k], ys[k], 0));
        m.restVert.push_back(m.vert.back());
        quad.vi[k] = 3 + k;
        quad.ni[k] = 0;
        quad.tci[k] = 3;
    }
    m.faces.push_back(quad);
    GLuint tex = redGreenTexture();
    m.draw(false);
    EXPECT_EQ(window().pixel(320, 240), (RGBA{0, 255, 0, 255}));  // triangle over the quad
    EXPECT_EQ(window().pixel(20, 400), (RGBA{255, 0, 0, 255}));   // quad only
    glDeleteTextures(1, &tex);
}

TEST_F(MeshDraw, EmptyMeshDrawsNothing) {
    Mesh m;
    m.draw(false);
    m.draw(true);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
}

TEST_F(MeshDraw, SpheresAreBlueWhereTheyTouchAnInteractingSphere) {
    glMatrixMode(GL_PROJECTION);
    glOrtho(-4, 4, -3, 3, -10, 10);  // 80 pixels per unit
    glMatrixMode(GL_MODELVIEW);
    auto sphereMesh = [](float half, bool symmetric) {
        Mesh m;
        Mesh::bounding_sphere_t s;
        s.radius = 1;
        s.center = s.restCenter = Vec3<float>(-half, 0, 0);
        s.interactions = {1};
        m.spheres.push_back(s);
        s.center = s.restCenter = Vec3<float>(half, 0, 0);
        s.interactions.clear();
        if (symmetric) s.interactions = {0};
        m.spheres.push_back(s);
        return m;
    };
    const int left = 320 - 100, right = 320 + 100;  // sphere centres at x = -1.25, 1.25

    Mesh touching = sphereMesh(1.0f, true);  // centres 2 apart: radii sum reaches
    GLint depth = modelviewDepth();
    touching.draw(true);
    EXPECT_EQ(modelviewDepth(), depth);
    EXPECT_EQ(window().pixel(320 - 80, 240), (RGBA{0, 0, 255, 102}));  // alpha 0.4
    EXPECT_EQ(window().pixel(320 + 80, 240), (RGBA{0, 0, 255, 102}));
    GLfloat c[4];
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(c[2], 1.0f);
    EXPECT_EQ(c[3], 1.0f);

    window().reset();
    glMatrixMode(GL_PROJECTION);
    glOrtho(-4, 4, -3, 3, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    sphereMesh(1.25f, true).draw(true);  // 2.5 apart: white
    EXPECT_EQ(window().pixel(left, 240), (RGBA{255, 255, 255, 102}));
    EXPECT_EQ(window().pixel(right, 240), (RGBA{255, 255, 255, 102}));
    EXPECT_EQ(window().pixel(320, 240), (RGBA{0, 0, 0, 0}));

    window().reset();
    glMatrixMode(GL_PROJECTION);
    glOrtho(-4, 4, -3, 3, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    sphereMesh(1.0f, false).draw(true);  // only sphere 0 lists sphere 1
    EXPECT_EQ(window().pixel(320 - 80, 240), (RGBA{0, 0, 255, 102}));
    EXPECT_EQ(window().pixel(320 + 80, 240), (RGBA{255, 255, 255, 102}));

    window().reset();
    sphereMesh(1.0f, true).draw(false);  // spheres only on request
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);
}

TEST_F(MeshDraw, DrawWithTCTakesTextureCoordinatesByVertex) {
    Mesh m;
    centreTriangle(m);
    std::vector<Vec3<float>> tc(3, Vec3<float>(0.75f, 0.5f, 0));
    tc[2] = Vec3<float>(0.76f, 0.5f, 0);
    GLuint tex = redGreenTexture();
    m.drawWithTC(tc);
    EXPECT_EQ(window().pixel(320, 240), (RGBA{0, 255, 0, 255}));
    GLfloat t[4];
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, t);
    EXPECT_FLOAT_EQ(t[0], 0.76f);
    glDeleteTextures(1, &tex);
}

TEST_F(MeshDraw, DrawTCFlattensIntoTextureSpaceWithViewAlpha) {
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    Mesh m;
    centreTriangle(m);
    drawTC(&m, Vec3<double>(0, 0, 10));  // in front: alpha near 1
    RGBA front = window().pixel(320, 240);
    EXPECT_EQ(front[0], 255);
    EXPECT_GE(front[3], 250);                  // cos of at most atan(0.71 / 10): above 0.997
    EXPECT_EQ(window().pixel(320, 20)[0], 0);  // below tvert's triangle (v < 0.1)
    GLfloat t1[4];
    glActiveTexture(GL_TEXTURE1);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, t1);
    glActiveTexture(GL_TEXTURE0);
    EXPECT_FLOAT_EQ(t1[1], 0.5f);  // the last corner's 3-D position

    window().reset();
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    drawTC(&m, Vec3<double>(0, 0, -10));  // behind: alpha 0
    EXPECT_EQ(window().pixel(320, 240), (RGBA{255, 255, 255, 0}));
}

TEST_F(MeshDraw, VertexElementsHoldCornersAndDrawLikeTheMesh) {
    Mesh m;
    centreTriangle(m);
    m.drawVertexElements();  // never built: nothing drawn, nothing read
    EXPECT_EQ(window().countDiffering({0, 0, 0}), 0);

    m.initVertexElements();
    ASSERT_NE(m.vertexElements, nullptr);
    ASSERT_EQ(m.numVertexElements, 9);
    float* first = m.vertexElements;
    EXPECT_EQ(first[3], 0.5f);
    EXPECT_EQ(first[7], 0.5f);
    m.vert[0].x = -0.6f;
    m.initVertexElements();
    EXPECT_EQ(m.vertexElements, first);  // same size: same array
    EXPECT_EQ(m.vertexElements[0], -0.6f);
    m.vert[0].x = -0.5f;
    m.initVertexElements();

    m.drawVertexElements();
    int drawnPixels = window().countDiffering({0, 0, 0});
    window().reset();
    m.draw(false);
    EXPECT_EQ(window().countDiffering({0, 0, 0}), drawnPixels);
    EXPECT_GT(drawnPixels, 1000);

    // A second triangle since the last build: only the built one is drawn.
    addTriangle(m, {-1, 0.6f, 0}, {-0.6f, 0.6f, 0}, {-0.8f, 0.9f, 0}, {0, 0, 0}, {0, 0, 0},
                {0, 0, 0});
    window().reset();
    m.drawVertexElements();
    EXPECT_EQ(window().countDiffering({0, 0, 0}), drawnPixels);
    m.initVertexElements();
    EXPECT_EQ(m.numVertexElements, 18);
    EXPECT_EQ(m.vertexElements[9], -1.0f);
    EXPECT_EQ(m.vertexElements[17], 0.0f);
    window().reset();
    m.drawVertexElements();
    EXPECT_GT(window().countDiffering({0, 0, 0}), drawnPixels);
    GLint bufferBinding = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bufferBinding);
    EXPECT_EQ(bufferBinding, 0);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
}

TEST_F(MeshDraw, VertexElementsFromABufferObject) {
    Mesh m;
    centreTriangle(m);
    m.initVertexElements();
    GLuint buffer;
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(float) * 9, m.vertexElements, GL_STATIC_DRAW);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    m.vertexElements[0] = m.vertexElements[3] = 1;  // the client copy is not what is drawn
    m.vertexBuffer = buffer;
    m.drawVertexElements();
    EXPECT_EQ(window().pixel(320, 240)[0], 255);
    EXPECT_EQ(window().pixel(168, 128)[0], 255);
    GLint bufferBinding = -1;
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &bufferBinding);
    EXPECT_EQ(bufferBinding, 0);
    EXPECT_FALSE(glIsEnabled(GL_VERTEX_ARRAY));
    m.vertexBuffer = 0;
    glDeleteBuffers(1, &buffer);
}

class BaryImage : public GLTest {};

TEST_F(BaryImage, WeightsSumToOneInsideAndIdsMarkTheTriangle) {
    Mesh m;
    centreTriangle(m);
    glClearColor(0.2f, 0.3f, 0.4f, 1);  // a caller's background must still read as outside
    lumo::Image<unsigned int> ids(1, 1, 1);
    lumo::Image<float> bary = getBaryImage(m, 64, 48, false, &ids);
    ASSERT_EQ(bary.w, 64);
    ASSERT_EQ(bary.h, 48);
    ASSERT_EQ(bary.nchannels, 4);
    ASSERT_EQ(ids.w, 64);
    ASSERT_EQ(ids.h, 48);
    ASSERT_EQ(ids.nchannels, 1);

    const float* c = bary.data + 4 * (24 * 64 + 32);
    // 1e-5: the weights are divided by their float sum.
    EXPECT_NEAR(c[0] + c[1] + c[2], 1.0f, 1e-5f);
    EXPECT_EQ(c[3], 1.0f);
    // The pixel centre (0.016, 0.021) has weights (0.24, 0.26, 0.52); colours come back in
    // steps of 1/255, so 0.03 covers quantisation and the half-pixel offset.
    EXPECT_NEAR(c[0], 0.25f, 0.03f);
    EXPECT_NEAR(c[1], 0.25f, 0.03f);
    EXPECT_NEAR(c[2], 0.5f, 0.03f);
    EXPECT_EQ(ids.data[24 * 64 + 32], 0u);

    const float* o = bary.data;  // bottom-left corner, outside
    EXPECT_EQ(o[0], 0.0f);
    EXPECT_EQ(o[1], 0.0f);
    EXPECT_EQ(o[2], 0.0f);
    EXPECT_EQ(o[3], 0.0f);
    EXPECT_EQ(ids.data[0], 0xFFFFFFFFu);
    // Row 0 is the bottom: the top row at the centre column is outside (apex at y = 0.5).
    EXPECT_EQ(ids.data[47 * 64 + 32], 0xFFFFFFFFu);
    EXPECT_EQ(ids.data[14 * 64 + 32], 0u);

    // The caller's state is back: viewport, clear colour.
    GLint vp[4];
    glGetIntegerv(GL_VIEWPORT, vp);
    EXPECT_EQ(vp[2], GLTestWindow::kWidth);
    EXPECT_EQ(vp[3], GLTestWindow::kHeight);
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_FLOAT_EQ(clear[0], 0.2f);
}

TEST_F(BaryImage, TextureSpaceWithManyTrianglesAndOddWidth) {
    Mesh m;
    // 299 empty triangles, then number 299 covering the texture-space centre: its id needs
    // two bytes (299 = 43 + 256).
    for (int t = 0; t < 299; ++t)
        addTriangle(m, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0});
    addTriangle(m, {5, 5, 5}, {6, 5, 5}, {5, 6, 5}, {0.1f, 0.1f, 0}, {0.9f, 0.1f, 0},
                {0.5f, 0.9f, 0});
    GLfloat before[16], after[16];
    glMatrixMode(GL_PROJECTION);
    glOrtho(-3, 3, -2, 2, -1, 1);
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    glMatrixMode(GL_MODELVIEW);

    const int w = 33, h = 17;  // rows of 99 RGB bytes: not 4-byte aligned
    lumo::Image<unsigned int> ids;
    lumo::Image<float> bary = getBaryImage(m, w, h, true, &ids);
    const int centre = (h / 2) * w + w / 2;
    EXPECT_EQ(ids.data[centre], 299u);
    EXPECT_NEAR(bary.data[4 * centre] + bary.data[4 * centre + 1] + bary.data[4 * centre + 2], 1.0f,
                1e-5f);
    EXPECT_EQ(ids.data[0], 0xFFFFFFFFu);
    EXPECT_EQ(ids.data[w * h - 1], 0xFFFFFFFFu);
    int inside = 0;
    for (int i = 0; i < w * h; ++i) {
        if (ids.data[i] == 299u) {
            ++inside;
            EXPECT_EQ(bary.data[4 * i + 3], 1.0f);
        } else {
            EXPECT_EQ(ids.data[i], 0xFFFFFFFFu) << i;
        }
    }
    // Triangle area 0.32 of the unit square.
    EXPECT_NEAR(inside, 0.32 * w * h, 0.1 * w * h);

    glGetFloatv(GL_PROJECTION_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]);

    lumo::Image<float> noIds = getBaryImage(m, w, h, true, nullptr);
    EXPECT_EQ(noIds.data[4 * centre + 3], 1.0f);
    lumo::Image<float> empty = getBaryImage(m, 0, 0, true, &ids);
    EXPECT_EQ(empty.size(), 0u);
    EXPECT_EQ(ids.size(), 0u);
}
