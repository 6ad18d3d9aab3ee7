// Window creation, callback trampolines and the frame sequence.
#include "app/GLWindow.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

namespace {

GLWindow* current() {
    return static_cast<GLWindow*>(glutGetWindowData());
}

}  // namespace

GLWindow::GLWindow() : modifiers(0) {
    // The program's own command line is not handed to the window library.
    static char programName[] = "program";
    static char* argv[] = {programName, nullptr};
    int argc = 1;
    glutInit(&argc, argv);
    glutInitWindowSize(640, 480);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    glutCreateWindow("");
    glutSetWindowData(this);
    glutKeyboardFunc(staticKeyboard);
    glutKeyboardUpFunc(staticKeyboardUp);
    glutDisplayFunc(staticDisplay);
    glutCloseFunc(staticClose);
    glutIdleFunc(staticIdle);
    glutEntryFunc(staticEntry);
    glutReshapeFunc(staticReshape);
    glutMotionFunc(staticMotion);
    glutPassiveMotionFunc(staticPassive);
    glutMouseFunc(staticMouse);
}

GLWindow::~GLWindow() {
    glutSetWindowData(nullptr);
}

int GLWindow::width() {
    return glutGet(GLUT_WINDOW_WIDTH);
}

int GLWindow::height() {
    return glutGet(GLUT_WINDOW_HEIGHT);
}

bool GLWindow::shiftActive() {
    return (modifiers & GLUT_ACTIVE_SHIFT) != 0;
}

void GLWindow::refresh() {
    glutPostRedisplay();
}

void GLWindow::draw() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    applyProjection();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    applyModelview();
    drawScene();
    swapBuffers();
}

void GLWindow::drawScene() {
    glBegin(GL_QUADS);
    glVertex2d(-1, -1);
    glVertex2d(1, -1);
    glVertex2d(1, 1);
    glVertex2d(-1, 1);
    glEnd();
}

void GLWindow::swapBuffers() {
    glutSwapBuffers();
}

bool GLWindow::keyboardUp(unsigned char, int, int) {
    return false;
}

bool GLWindow::keyboard(unsigned char, int, int) {
    return false;
}

void GLWindow::idle() {}

void GLWindow::closing() {}

void GLWindow::entry(int) {}

void GLWindow::reshape(int w, int h) {
    glViewport(0, 0, w, h);
}

void GLWindow::staticKeyboard(unsigned char key, int x, int y) {
    if (GLWindow* w = current()) w->keyboard(key, x, y);
}

void GLWindow::staticKeyboardUp(unsigned char key, int x, int y) {
    if (GLWindow* w = current()) w->keyboardUp(key, x, y);
}

void GLWindow::staticDisplay() {
    if (GLWindow* w = current()) w->draw();
}

void GLWindow::staticClose() {
    if (GLWindow* w = current()) w->closing();
}

void GLWindow::staticIdle() {
    if (GLWindow* w = current()) w->idle();
}

void GLWindow::staticEntry(int state) {
    if (GLWindow* w = current()) w->entry(state);
}

void GLWindow::staticReshape(int width, int height) {
    if (GLWindow* w = current()) w->reshape(width, height);
}

void GLWindow::staticMotion(int x, int y) {
    if (GLWindow* w = current()) w->motion(x, y);
}

void GLWindow::staticPassive(int x, int y) {
    if (GLWindow* w = current()) w->motion(x, y);
}

void GLWindow::staticMouse(int button, int state, int x, int y) {
    if (GLWindow* w = current()) {
        w->modifiers = glutGetModifiers();
        w->mouse(button, state == GLUT_DOWN, x, y);
    }
}
