// The program's window: creates the freeglut window and turns the library's plain-function
// callbacks into virtual calls on the window object; owns the per-frame sequence.
#pragma once

#include "app/Camera.h"

class GLWindow : public InteractiveCameraView {
  public:
    // Initialises freeglut with a one-word argument vector, creates an untitled 640 x 480
    // double-buffered RGBA window with alpha and depth, stores this object as the window's user
    // pointer and registers every callback.
    GLWindow();
    // Detaches from the window: later callbacks find no object and do nothing.
    ~GLWindow() override;

    int width() override;   // glutGet(GLUT_WINDOW_WIDTH), pixels
    int height() override;  // glutGet(GLUT_WINDOW_HEIGHT), pixels
    bool shiftActive() override;
    void refresh() override;  // glutPostRedisplay()

    // One frame: clear, projection, model-view, drawScene(), swapBuffers().
    virtual void draw();
    // The frame's content; here one quad over (-1, -1) .. (1, 1).
    virtual void drawScene();
    virtual void swapBuffers();
    virtual bool keyboardUp(unsigned char key, int x, int y);
    virtual bool keyboard(unsigned char key, int x, int y);
    virtual void idle();
    virtual void closing();
    virtual void entry(int state);
    virtual void reshape(int w, int h);  // viewport over the whole window

    // Modifier bits (GLUT_ACTIVE_*) captured at the last mouse button event.
    int modifiers;

    // Callback trampolines: each finds the window object through glutGetWindowData() and does
    // nothing when there is none.
    static void staticKeyboard(unsigned char key, int x, int y);
    static void staticKeyboardUp(unsigned char key, int x, int y);
    static void staticDisplay();
    static void staticClose();
    static void staticIdle();
    static void staticEntry(int state);
    static void staticReshape(int w, int h);
    static void staticMotion(int x, int y);
    static void staticPassive(int x, int y);
    static void staticMouse(int button, int state, int x, int y);
};
