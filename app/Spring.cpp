// Spring construction with the lazy load of the shared drawing geometry, and spring drawing.
#include "app/Spring.h"

#include <GL/glew.h>

#include <cmath>
#include <cstdio>

#include "sim/TetMesh.h"

// The middle piece is destroyed first at exit: declared after the end cap.
Mesh Spring::s_baseGeom;
Mesh Spring::s_springGeom;

Spring::Spring() : tet(0), bary(0.25f, 0.25f, 0.25f, 0.25f), pos(0.0f, 0.0f, 0.0f) {
    checkGeometry();
}

Spring::Spring(int tet, const lumo::Vec4<float>& bary, const lumo::Vec3<float>& pos)
    : tet(tet), bary(bary), pos(pos) {
    checkGeometry();
}

void Spring::checkGeometry() {
    if (!s_baseGeom.vert.empty()) return;
    s_baseGeom.loadobj("data/spring_base.obj", nullptr);
    s_springGeom.loadobj("data/spring_middle.obj", nullptr);
    printf("Made geom: %d, %d\n", int(s_baseGeom.vert.size()), int(s_springGeom.vert.size()));
}

void Spring::draw(const TetMesh& mesh) const {
    lumo::Vec3<float> p = mesh.getWorldCoordinates(tet, bary);
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    if (s_springGeom.vert.empty()) {
        glBegin(GL_LINES);
        glVertex3f(p.x, p.y, p.z);
        glVertex3f(pos.x, pos.y, pos.z);
        glEnd();
        glPopAttrib();
        return;
    }
    glPushMatrix();
    glTranslatef(pos.x, pos.y, pos.z);
    s_baseGeom.draw(false);
    glPopMatrix();
    glPushMatrix();
    glTranslatef(p.x, p.y, p.z);
    s_baseGeom.draw(false);
    glPopMatrix();

    lumo::Vec3<float> d = p - pos;
    double L = d.len();
    d.normalize();
    if (L > 0.001) {
        // Turn the middle piece's +z axis onto d (anchor toward attachment point) and stretch
        // its z extent of 2 to the length L.
        glPushMatrix();
        glTranslatef(pos.x, pos.y, pos.z);
        glRotatef(std::atan2(d.y, d.x) * 180.0 / M_PI, 0, 0, 1);
        glRotatef(std::acos(std::fmax(-1.0, std::fmin(1.0, d.z))) * 180.0 / M_PI, 0, 1, 0);
        glScalef(1, 1, 0.5 * L);
        s_springGeom.draw(false);
        glPopMatrix();
    }
    glPopAttrib();
}
