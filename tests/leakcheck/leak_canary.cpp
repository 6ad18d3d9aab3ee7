// leak_canary: loses memory on purpose, so that the sanitizer build can check that LeakSanitizer,
// run with the options, GL driver preload and suppression file of the whole-program tests, still
// reports the project's own leaks. It opens its window through the program's window class
// (freeglut, GLEW, Mesa's driver), loses 2424 bytes in main and 4242 bytes inside the display
// callback, where freeglut's main loop is on the allocation's stack as it is under everything
// tetlab draws, and then leaves the main loop, which exits with status 0 as tetlab does when its
// window is closed.
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <cstdlib>

#include "app/GLWindow.h"

namespace {

// Each lost block goes through this volatile pointer, so that the compiler keeps the allocation,
// and the pointer is cleared at once, so that nothing points at the block any more.
void* volatile lastBlock = nullptr;

class CanaryWindow : public GLWindow {
  public:
    void drawScene() override {
        GLWindow::drawScene();
        if (!lost) {
            lastBlock = malloc(4242);
            lastBlock = nullptr;
            lost = true;
            glutLeaveMainLoop();
        }
    }

  private:
    bool lost = false;
};

}  // namespace

// The window stays reachable until the process ends, as tetlab's does.
GLWindow* canaryWindow = nullptr;

int main() {
    lastBlock = malloc(2424);
    lastBlock = nullptr;
    canaryWindow = new CanaryWindow;
    glewInit();
    glutMainLoop();
    return 0;
}
