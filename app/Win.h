// The program's window object: a GLWindow that builds the Scene and the HUD font and routes
// frames, mouse and keys to the scene.
#pragma once

#include "app/GLWindow.h"

class Scene;

class Win : public GLWindow {
  public:
    // Builds the scene from a scene description file (boundObjFile null) or from an OBJ file of
    // tetrahedron faces and an OBJ surface to bind to it, then installs the HUD font.
    // Exceptions of the scene file reader propagate to the caller.
    Win(const char* file, const char* boundObjFile);

    // Draws the scene; while it runs, steps it by 0.01, sleeps 1 ms and posts the next frame.
    void drawScene() override;
    // Every button event goes to the scene's picking first, then the button bookkeeping.
    bool mouse(int button, bool down, int x, int y) override;
    // A left drag moves the dragged point; any other motion moves the camera.
    void motion(int x, int y) override;
    // Scene key commands, then a redraw.
    bool keyboard(unsigned char key, int x, int y) override;

    Scene* scene;  // not owned; lives until the process ends
};
