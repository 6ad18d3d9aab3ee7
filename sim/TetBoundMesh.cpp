// The bound surface: its draw material, binding to the tetrahedra with the inside test of the
// tetrahedral vertices, the detaching of tetrahedra the surface does not tie together, drawing.
#include "sim/TetBoundMesh.h"

#include <GL/glew.h>

#include <algorithm>
#include <cstdio>

#include "sim/TetMesh.h"
#include "sim/Triangle.h"

Material::Material() : diffuse(0.8f, 0.8f, 0.8f, 1.0f), texture(0) {}

Material::~Material() {
    glDeleteTextures(1, &texture);
}

TetBoundMesh::TetBoundMesh()
    : drawBindings(false), drawVertexNumbers(false), material(new Material()) {}

bool TetBoundMesh::isInside(int tetVertex) const {
    const int flagged = int(insideFlags.size());
    if (tetMesh) {
        // A copy sits at its original's rest position, so it shares the original's side of the
        // surface; follow copies of copies back to a vertex flagged at binding time.
        const std::vector<int>& from = tetMesh->copiedFrom;
        while (tetVertex >= flagged && tetVertex < int(from.size()) && from[tetVertex] < tetVertex)
            tetVertex = from[tetVertex];
    }
    return tetVertex >= 0 && tetVertex < flagged && insideFlags[tetVertex];
}

namespace {

// Index of the surface triangle that the ray o + s (1, 0, 0), s >= 0, meets first, or -1. A
// crossing counts within 1e-5 (barycentric units) beyond a triangle's border; of several at
// the same distance the highest index wins. Triangles parallel to the ray are never hit.
int firstHitAlongX(const std::vector<Triangle>& triangles, const lumo::Vec3<float>& o) {
    double best = 1e10;
    int hit = -1;
    for (int k = 0; k < int(triangles.size()); ++k) {
        const Triangle& T = triangles[k];
        if (T.n.x == 0.0f) continue;
        double s = (-T.d - T.n.dot(o)) / T.n.x;
        lumo::Vec3<float> q = o + lumo::Vec3<float>(float(s), 0.0f, 0.0f);
        lumo::Vec3<float> r = q - T.p[0];
        double u = T.b1.dot(r);
        double v = T.b2.dot(r);
        if (u >= -1e-5 && v >= -1e-5 && u + v <= 1.00001 && s >= 0 && s <= best) {
            best = s;
            hit = k;
        }
    }
    return hit;
}

}  // namespace

void TetBoundMesh::bindToTets(const boost::shared_ptr<TetMesh>& tm) {
    tetMesh = tm;
    bindings.clear();

    if (tm->tets.empty() && !vert.empty()) {
        // Nothing to bind to (a tetrahedral mesh file that could not be read): a surface left
        // without bindings could not be re-posed, so it is dropped.
        fprintf(stderr,
                "The tetrahedral mesh has no tetrahedra: the surface of %d vertices cannot be "
                "bound and is dropped.\n",
                int(vert.size()));
        vert.clear();
        restVert.clear();
        norm.clear();
        tris.clear();
        faces.clear();
        boneWeights.clear();
    }

    for (size_t i = 0; i < vert.size(); ++i) {
        lumo::Vec3<float> p = vert[i];
        int t = tm->getClosestTetrahedron(p, false);
        lumo::Vec4<float> b = tm->getBaryCoordinates(t, p);
        lumo::Vec3<float> w = tm->getWorldCoordinates(t, b);
        // Only the first three weights are examined.
        if (std::min(b[0], std::min(b[1], b[2])) < 0) {
            printf("%f %f %f %f  dist:%f\n", b[0], b[1], b[2], b[3], (w - p).len());
            tm->getClosestTetrahedron(p, true);
        }
        TetBinding binding;
        binding.tet = t;
        binding.bary = b;
        bindings.push_back(binding);
    }

    insideFlags.assign(tm->vert.size(), false);

    std::vector<Triangle> triangles;
    triangles.reserve(tris.size());
    for (const Tri& t : tris)
        triangles.push_back(Triangle(restVert, TriangleIndices(t.vi[0], t.vi[1], t.vi[2])));

    // A +X ray from a tetrahedral vertex first crosses an outward-wound closed surface from the
    // inside (normal x >= 0) exactly when the vertex lies inside it.
    for (size_t j = 0; j < tm->restVert.size() && j < insideFlags.size(); ++j) {
        int hit = firstHitAlongX(triangles, tm->restVert[j]);
        if (hit < 0) continue;
        bool inside = triangles[hit].n.x >= 0;
        printf("vert[%d]: ray intersects, inside: %d\n", int(j), inside ? 1 : 0);
        insideFlags[j] = inside;
    }
}

namespace {

// Sets used[] for the tetrahedra that the n corners (surface vertex indices) of one face are
// bound to, when those are not all the same tetrahedron.
void markSpannedTets(const std::vector<TetBoundMesh::TetBinding>& bindings, const int* corners,
                     int n, std::vector<bool>& used) {
    const int t0 = bindings[corners[0]].tet;
    for (int c = 1; c < n; ++c) {
        if (bindings[corners[c]].tet == t0) continue;
        for (int k = 0; k < n; ++k) used[bindings[corners[k]].tet] = true;
        return;
    }
}

}  // namespace

void TetBoundMesh::splitSuperfluousEdges() {
    // Without a surface (none bound, or one that loaded empty) nothing ties the tetrahedra
    // together in the surface's sense; detaching them all would shatter the body.
    if (!tetMesh || (tris.empty() && faces.empty())) return;
    TetMesh& tm = *tetMesh;

    // Tetrahedra carrying a surface triangle or quad that spans several tetrahedra tie pieces
    // together.
    std::vector<bool> used(tm.tets.size(), false);
    for (const Tri& t : tris) markSpannedTets(bindings, t.vi, 3, used);
    for (const Face& f : faces) markSpannedTets(bindings, f.vi, 4, used);

    std::vector<int> count(tm.vert.size(), 0);
    for (const Tetrahedron& tet : tm.tets)
        for (int k = 0; k < 4; ++k) ++count[tet.verts[k]];

    for (size_t t = 0; t < tm.tets.size(); ++t) {
        if (used[t]) continue;
        bool copied = false;
        for (int k = 0; k < 4; ++k) {
            int v = tm.tets[t].verts[k];
            if (count[v] <= 1) continue;
            tm.tets[t].verts[k] = tm.appendVertexCopy(v);
            --count[v];
            count.push_back(1);
            copied = true;
        }
        if (copied) printf("Can separate a tetrahedron: %d\n", int(t));
    }
}

void TetBoundMesh::draw() {
    bool textured = material->texture != 0;
    if (textured) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, material->texture);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glColor4fv(material->diffuse.getData());
    Mesh::draw(false);
    if (textured) glDisable(GL_TEXTURE_2D);

    if (drawBindings && tetMesh) {
        glColor3f(1, 1, 1);
        const lumo::Vec4<float> centroid(0.25f, 0.25f, 0.25f, 0.25f);
        glBegin(GL_LINES);
        for (size_t i = 0; i < vert.size() && i < bindings.size(); ++i) {
            glVertex3fv(vert[i].getData());
            lumo::Vec3<float> c = tetMesh->getWorldCoordinates(bindings[i].tet, centroid);
            glVertex3fv(c.getData());
        }
        glEnd();
    }

    // Every attribute group of the fixed-function pipeline (0xFFFFF, the value of
    // GL_ALL_ATTRIB_BITS before multisampling added its bit).
    glPushAttrib(0x000FFFFF);
    glDisable(GL_LIGHTING);
    glColor3f(1, 0, 0);
    glPointSize(4.0);
    glBegin(GL_POINTS);
    for (const lumo::Vec3<float>& p : debugPoints) glVertex3fv(p.getData());
    glEnd();

    if (drawVertexNumbers) Tetrahedron::drawVertexNumbers(vert);
    glPopAttrib();
}
