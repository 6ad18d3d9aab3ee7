// Drawing one frame of the scene: tetrahedra, bound surface, ground with its shadow image,
// springs, the dragged point and the HUD line.
#include "app/Scene.h"

#include <GL/glew.h>

#include "app/Camera.h"
#include "app/glframe/fbo.h"
#include "platform/glshared/glshared.h"
#include "platform/ui/UI.h"

const double Scene::kGroundHeight = -10.0;
const char* const Scene::kFractureLogPath = "/tmp/fractures.txt";
const char* const Scene::kReplayPath = "/tmp/fractures_read.txt";

void Scene::draw() {
    glPolygonMode(GL_FRONT_AND_BACK, wireframe ? GL_LINE : GL_FILL);
    if (drawTets) tetMesh->draw();
    glColor3f(0.9f, 0.9f, 0.9f);
    boundMesh.draw();
    glDisable(GL_TEXTURE_2D);
    drawGround();
    for (const Spring& s : springs) s.draw(*tetMesh);
    if (handle.tet >= 0 && handle.tet < int(tetMesh->tets.size())) {
        Spring(handle.tet, handle.bary, handle.pos).draw(*tetMesh);
    }
    drawHud();
}

void Scene::drawGround() {
    // Shadow image: the bound surface seen from above, world x and z spanning [-25, 25], heights
    // from the ground up to 10 above the origin inside the depth range.
    shadowFbo->bind();
    checkFrameBufferStatus();
    glViewport(0, 0, 1024, 1024);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-25, 25, -25, 25, 0, 20);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glRotatef(-90, 1, 0, 0);
    glTranslatef(0, -float(kGroundHeight), 0);
    glColor3f(0, 0, 0);
    boundMesh.draw();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    shadowFbo->unbind();
    checkFrameBufferStatus();

    glViewport(0, 0, view->width(), view->height());
    glColor3f(1, 1, 1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, shadowFbo->color);
    const float y = float(kGroundHeight);
    for (float z0 : {-25.0f, 0.0f}) {
        glBegin(GL_QUAD_STRIP);
        glNormal3f(0, 1, 0);
        for (float x : {-25.0f, 0.0f, 25.0f}) {
            glTexCoord2f((x + 25) / 50, (z0 + 25) / 50);
            glVertex3f(x, y, z0);
            glTexCoord2f((x + 25) / 50, (z0 + 50) / 50);
            glVertex3f(x, y, z0 + 25);
        }
        glEnd();
    }
    glDisable(GL_TEXTURE_2D);
}

void Scene::drawHud() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glColor3f(1, 1, 1);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, view->aspect(), 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    UI::drawString(0.01f, 0.01f, "fps: %f", fps);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopAttrib();
}
