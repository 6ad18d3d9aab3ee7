// Win: scene and HUD font set-up, and the routes of frames, mouse and keys into the scene.
#include "app/Win.h"

#include <GL/glew.h>
#include <GL/freeglut.h>

#include <chrono>
#include <thread>

#include "app/Scene.h"
#include "platform/texfont/texfont.h"
#include "platform/ui/UI.h"

Win::Win(const char* file, const char* boundObjFile) : scene(nullptr) {
    // The scene's frame buffer needs the extension entry points, so GLEW comes first.
    glewInit();
    scene = boundObjFile ? new Scene(file, boundObjFile) : new Scene(file);
    scene->view = this;

    TexFont font;
    TexFontData* data = new TexFontData();
    data->init("fonts/Vera.ttf", 12);
    {
        CountedRef<TexFontData> ref(data);
        font.fontData = ref;
    }
    // Text height of 2 x 6 pixels in the HUD projection, fixed at the start-up window height.
    font.scaleX = font.scaleY =
        (2.0 * 6.0 / glutGet(GLUT_WINDOW_HEIGHT)) / (data->sizeFactorA * data->sizeFactorB);
    UI::setFont(font);
}

void Win::drawScene() {
    scene->draw();
    if (scene->running) {
        scene->simulate(0.01);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        refresh();
    }
}

bool Win::mouse(int button, bool down, int x, int y) {
    scene->selectHandleForView(this, button, down ? 1 : 0, x, y);
    InteractiveCameraView::mouse(button, down, x, y);
    refresh();
    return true;
}

void Win::motion(int x, int y) {
    if (buttonState == 1) {
        scene->moveHandleForView(this, x, y);
        return;
    }
    InteractiveCameraView::motion(x, y);
}

bool Win::keyboard(unsigned char key, int x, int y) {
    scene->handleKeyboard(key, x, y);
    refresh();
    return true;
}
