// The hidden GLUT window shared by the GL tests of one process.
#include "tests/support/gl/GLTestWindow.h"

#include <GL/freeglut.h>

#include <cstdlib>

GLTestWindow::GLTestWindow() {
    int argc = 1;
    char name[] = "gltest", *argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitWindowSize(kWidth, kHeight);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    id_ = glutCreateWindow("gltest");
    glutDisplayFunc([] {});
    glutHideWindow();
    glutMainLoopEvent();
    if (glewInit() != GLEW_OK) std::abort();  // no GL entry points: no test can run
}

GLTestWindow& GLTestWindow::get() {
    static GLTestWindow* window = new GLTestWindow();  // lives until the process ends
    glutSetWindow(window->id_);
    return *window;
}

void GLTestWindow::reset() {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glViewport(0, 0, kWidth, kHeight);
    for (GLenum mode : {GL_TEXTURE, GL_PROJECTION, GL_MODELVIEW}) {
        glMatrixMode(mode);
        glLoadIdentity();
    }
    for (GLenum cap : {GL_LIGHTING, GL_TEXTURE_2D, GL_BLEND, GL_DEPTH_TEST, GL_CULL_FACE})
        glDisable(cap);
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::string GLTestWindow::repoPath(const char* relative) {
    std::string here = __FILE__;  // <root>/tests/support/gl/GLTestWindow.cpp
    for (int up = 0; up < 4; ++up) here.erase(here.find_last_of('/'));
    return here + "/" + relative;
}

std::array<unsigned char, 4> GLTestWindow::pixel(int x, int y) const {
    std::array<unsigned char, 4> p;
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p.data());
    return p;
}

int GLTestWindow::inked() const {
    lumo::Image<unsigned char> image(kWidth, kHeight, 4);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_UNSIGNED_BYTE, image.data);
    int count = 0;
    for (int i = 0; i < kWidth * kHeight; ++i)
        count += (image.data[4 * i] | image.data[4 * i + 1] | image.data[4 * i + 2]) != 0;
    return count;
}
