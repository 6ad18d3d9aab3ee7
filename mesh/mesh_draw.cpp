// OpenGL drawing of a Mesh: immediate-mode quads, triangles and spheres, drawing with external
// texture coordinates, the texture-space pass, flat vertex arrays and the barycentric read-back.
#include <GL/glew.h>
#include <GL/glu.h>

#include <algorithm>
#include <type_traits>

#include "mesh/mesh.h"
#include "platform/image/image.h"

namespace {

// Whether sphere s overlaps one of the spheres it lists as interacting (current centres).
bool overlapsInteracting(const std::vector<Mesh::bounding_sphere_t>& spheres, size_t s) {
    const Mesh::bounding_sphere_t& a = spheres[s];
    for (short j : a.interactions) {
        if (j < 0 || size_t(j) >= spheres.size()) continue;
        const Mesh::bounding_sphere_t& b = spheres[j];
        if (a.radius + b.radius >= (a.center - b.center).len()) return true;
    }
    return false;
}

// Colour of corner k of a triangle in the barycentric pass: red, green, blue for k = 0, 1, 2.
void cornerColour(int k) {
    glColor3f(k == 0 ? 1.f : 0.f, k == 1 ? 1.f : 0.f, k == 2 ? 1.f : 0.f);
}

// Issues every triangle, corner colours from colour(t, k), positions from the texture
// coordinates (texSpace) or the current positions.
template <class Colour>
void drawBaryTriangles(const Mesh& mesh, bool texSpace, Colour colour) {
    glBegin(GL_TRIANGLES);
    for (size_t t = 0; t < mesh.tris.size(); ++t) {
        const Mesh::Tri& tri = mesh.tris[t];
        for (int k = 0; k < 3; ++k) {
            colour(t, k);
            if (texSpace) {
                glVertex2fv(mesh.tvert[tri.tci[k]].getData());
            } else {
                glVertex3fv(mesh.vert[tri.vi[k]].getData());
            }
        }
    }
    glEnd();
}

// Saves the GL state and sets up the barycentric pass on a w x h viewport: a black background
// and unblended, smoothly interpolated, undithered colours, so that the background reads as
// outside and the weights and ids come back as drawn. In texture space the unit square fills
// the viewport (projection and model-view pushed).
void beginBaryPass(int w, int h, bool texSpace) {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_BLEND);
    glDisable(GL_DITHER);
    glShadeModel(GL_SMOOTH);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);  // RGB byte rows of any width
    glViewport(0, 0, w, h);
    if (texSpace) {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, 1, 0, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    }
    glDisable(GL_CULL_FACE);
}

// Restores what beginBaryPass saved.
void endBaryPass(bool texSpace) {
    if (texSpace) {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
    glPopClientAttrib();
    glPopAttrib();
}

// Redraws every triangle in a flat colour holding its number t as the bytes (t & 255,
// (t >> 8) & 255, (t >> 16) & 255) and reads the RGB bytes back into rgb (same size as the pass).
void readTriangleNumbers(const Mesh& mesh, bool texSpace, lumo::Image<unsigned char>& rgb) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawBaryTriangles(mesh, texSpace, [](size_t t, int) {
        glColor3ub(GLubyte(t & 255), GLubyte((t >> 8) & 255), GLubyte((t >> 16) & 255));
    });
    glReadPixels(0, 0, rgb.w, rgb.h, lumo::channelToGL(3), lumo::typeToGL<unsigned char>(),
                 rgb.getData());
}

// Turns the read-back colours into weights: a pixel whose colour sums to at least 0.01 is
// covered and gets its weights scaled to sum 1, alpha 1 and (when ids is set) the triangle
// number decoded from rgb; any other pixel becomes all zero with id 0xFFFFFFFF.
void resolvePixels(lumo::Image<float>& weights, const lumo::Image<unsigned char>& rgb,
                   lumo::Image<unsigned int>* ids) {
    const int n = weights.w * weights.h;
    for (int i = 0; i < n; ++i) {
        float* px = weights.data + 4 * i;
        float s = px[0] + px[1] + px[2];
        if (s >= 0.01f) {
            px[0] /= s;
            px[1] /= s;
            px[2] /= s;
            px[3] = 1.0f;
            if (ids) {
                const unsigned char* c = rgb.data + 3 * i;
                ids->data[i] = c[0] + 256u * c[1] + 65536u * c[2];
            }
        } else {
            px[0] = px[1] = px[2] = px[3] = 0.0f;
            if (ids) ids->data[i] = 0xFFFFFFFFu;
        }
    }
}

// Issues the corners of one quad or triangle with their normals and current positions; the
// texture coordinate of a corner is texCoord(tci, vi) of that corner.
template <class Polygon, class TexCoord>
void emitCorners(const Mesh& mesh, const Polygon& poly, TexCoord texCoord) {
    const int corners = int(std::extent<decltype(poly.vi)>::value);
    for (int k = 0; k < corners; ++k) {
        glTexCoord3fv(texCoord(poly.tci[k], poly.vi[k]));
        glNormal3fv(mesh.norm[poly.ni[k]].getData());
        glVertex3fv(mesh.vert[poly.vi[k]].getData());
    }
}

// Issues every quad, then every triangle.
template <class TexCoord>
void drawPolygons(const Mesh& mesh, TexCoord texCoord) {
    glBegin(GL_QUADS);
    for (const Mesh::Face& f : mesh.faces) emitCorners(mesh, f, texCoord);
    glEnd();
    glBegin(GL_TRIANGLES);
    for (const Mesh::Tri& t : mesh.tris) emitCorners(mesh, t, texCoord);
    glEnd();
}

}  // namespace

void Mesh::draw(bool drawSpheres) {
    glPushMatrix();
    drawPolygons(*this, [this](int tci, int) { return tvert[tci].getData(); });
    glPopMatrix();

    if (!drawSpheres) return;
    GLUquadric* quadric = gluNewQuadric();
    for (size_t s = 0; s < spheres.size(); ++s) {
        // White, or blue where the sphere touches one it interacts with; alpha 0.4 throughout.
        if (overlapsInteracting(spheres, s)) {
            glColor4f(0, 0, 1, 0.4f);
        } else {
            glColor4f(1, 1, 1, 0.4f);
        }
        glPushMatrix();
        glTranslatef(spheres[s].center.x, spheres[s].center.y, spheres[s].center.z);
        gluSphere(quadric, spheres[s].radius, 32, 32);
        glPopMatrix();
    }
    glColor3f(1, 1, 1);
    gluDeleteQuadric(quadric);
}

void Mesh::drawWithTC(const std::vector<lumo::Vec3<float>>& tc) {
    drawPolygons(*this, [&tc](int, int vi) { return tc[vi].getData(); });
}

void drawTC(Mesh* mesh, const lumo::Vec3<double>& eye) {
    glColor3f(1, 1, 1);
    const lumo::Vec3<float> e(float(eye.x), float(eye.y), float(eye.z));
    glBegin(GL_TRIANGLES);
    for (const Mesh::Tri& t : mesh->tris) {
        for (int k = 0; k < 3; ++k) {
            lumo::Vec3<float> p = mesh->vert[t.vi[k]];
            lumo::Vec3<float> d = e - p;
            d.normalize();
            float a = float(mesh->norm[t.ni[k]].dot(d));
            glColor4f(1, 1, 1, a > 0 ? a : 0);
            glMultiTexCoord3fv(GL_TEXTURE1, p.getData());
            glTexCoord3fv(p.getData());
            glVertex2fv(mesh->tvert[t.tci[k]].getData());
        }
    }
    glEnd();
}

void Mesh::initVertexElements() {
    const int needed = int(9 * tris.size());
    if (!vertexElements || numVertexElements != needed) {
        delete[] vertexElements;
        vertexElements = new float[needed];
        numVertexElements = needed;
    }
    for (size_t t = 0; t < tris.size(); ++t) {
        for (int k = 0; k < 3; ++k) {
            const lumo::Vec3<float>& p = vert[tris[t].vi[k]];
            float* out = vertexElements + 9 * t + 3 * k;
            out[0] = p.x;
            out[1] = p.y;
            out[2] = p.z;
        }
    }
}

void Mesh::drawVertexElements() {
    GLsizei count = GLsizei(3 * tris.size());
    // Never read past the client array: it may be missing or older than the triangle list.
    if (vertexBuffer == 0)
        count = std::min(count, GLsizei(vertexElements ? numVertexElements / 3 : 0));
    glEnableClientState(GL_VERTEX_ARRAY);
    const void* pointer = vertexElements;
    if (vertexBuffer != 0) {
        glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer);
        pointer = nullptr;  // offset 0 in the buffer
    }
    glVertexPointer(3, GL_FLOAT, 0, pointer);
    if (count > 0) glDrawArrays(GL_TRIANGLES, 0, count);
    if (vertexBuffer != 0) glBindBuffer(GL_ARRAY_BUFFER, 0);
    glDisableClientState(GL_VERTEX_ARRAY);
}

lumo::Image<float> getBaryImage(Mesh& mesh, int w, int h, bool texSpace,
                                lumo::Image<unsigned int>* ids) {
    lumo::Image<float> result(w, h, 4);
    lumo::Image<unsigned char> scratch(w, h, 3);
    if (ids) *ids = lumo::Image<unsigned int>(w, h, 1);
    if (result.size() == 0) return result;

    beginBaryPass(w, h, texSpace);
    drawBaryTriangles(mesh, texSpace, [](size_t, int k) { cornerColour(k); });
    glReadPixels(0, 0, w, h, lumo::channelToGL(4), lumo::typeToGL<float>(), result.getData());
    if (ids) readTriangleNumbers(mesh, texSpace, scratch);
    endBaryPass(texSpace);

    resolvePixels(result, scratch, ids);
    return result;
}
