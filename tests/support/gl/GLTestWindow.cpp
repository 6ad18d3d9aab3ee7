// The hidden GLUT window shared by the GL tests of one process.
#include "tests/support/gl/GLTestWindow.h"

#include <GL/freeglut.h>

#include <cstdlib>

namespace {
void displayNothing() {}
}  // namespace

GLTestWindow::GLTestWindow() {
    int argc = 1;
    char name[] = "gltest";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    glutInitWindowPosition(0, 0);
    glutInitWindowSize(kWidth, kHeight);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_ALPHA | GLUT_DEPTH);
    id_ = glutCreateWindow("gltest");
    glutDisplayFunc(displayNothing);
    glutHideWindow();
    glutMainLoopEvent();
    GLenum err = glewInit();
    if (err != GLEW_OK) {
        fprintf(stderr, "GLTestWindow: glewInit failed: %s\n", glewGetErrorString(err));
        std::abort();
    }
}

GLTestWindow& GLTestWindow::get() {
    static GLTestWindow* window = new GLTestWindow();  // lives until the process ends
    glutSetWindow(window->id_);
    return *window;
}

void GLTestWindow::reset() {
    if (glBindFramebufferEXT) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDrawBuffer(GL_BACK);
    glReadBuffer(GL_BACK);
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glBindTexture(GL_TEXTURE_2D, 0);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    while (glGetError() != GL_NO_ERROR) {
    }
}

std::string GLTestWindow::repoPath(const char* relative) {
    std::string here = __FILE__;  // <root>/tests/support/gl/GLTestWindow.cpp
    for (int up = 0; up < 4; ++up) here.erase(here.find_last_of('/'));
    return here + "/" + relative;
}

lumo::Image<unsigned char> GLTestWindow::readPixels(int x, int y, int w, int h) const {
    lumo::Image<unsigned char> image(w, h, 4);
    glFinish();
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, w, h, GL_RGBA, GL_UNSIGNED_BYTE, image.data);
    glPopClientAttrib();
    return image;
}

std::array<unsigned char, 4> GLTestWindow::pixel(int x, int y) const {
    lumo::Image<unsigned char> image = readPixels(x, y, 1, 1);
    return {image.data[0], image.data[1], image.data[2], image.data[3]};
}

int GLTestWindow::countDiffering(const std::array<unsigned char, 3>& rgb, int tol) const {
    lumo::Image<unsigned char> image = readPixels();
    int count = 0;
    for (int i = 0; i < image.w * image.h; ++i) {
        for (int c = 0; c < 3; ++c) {
            if (std::abs(int(image.data[4 * i + c]) - int(rgb[c])) > tol) {
                ++count;
                break;
            }
        }
    }
    return count;
}
