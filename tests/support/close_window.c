// close_window WINDOW-ID: asks a top-level window on $DISPLAY to close, as a window manager does
// when the user clicks its close button (a WM_DELETE_WINDOW client message). The whole-program
// tests end tetlab this way, so that it exits through its normal path (freeglut's close
// callback, then exit) and the sanitizers' exit checks run; a killed process skips them.
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s WINDOW-ID\n", argv[0]);
        return 2;
    }
    char* end = NULL;
    const unsigned long window = strtoul(argv[1], &end, 0);
    if (*argv[1] == '\0' || *end != '\0' || window == 0) {
        fprintf(stderr, "close_window: not a window id: %s\n", argv[1]);
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (!display) {
        fprintf(stderr, "close_window: cannot open the display\n");
        return 1;
    }
    XEvent event = {0};
    event.xclient.type = ClientMessage;
    event.xclient.window = (Window)window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, (Window)window, False, NoEventMask, &event);
    XCloseDisplay(display);  // flushes the request
    if (!sent) {
        fprintf(stderr, "close_window: could not send to window %s\n", argv[1]);
        return 1;
    }
    return 0;
}
