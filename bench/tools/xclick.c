/* xclick WINDOW_ID X Y [BUTTON]: clicks (XTest) at a point given in the window's coordinates.
 * xclick WINDOW_ID --state: prints "viewable" or "unmapped".
 * A measuring aid: the benchmark scripts use it to press the program's own buttons. */
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  Display* d = argc >= 3 ? XOpenDisplay(NULL) : NULL;
  if (!d) {
    fprintf(stderr, "usage: xclick WINDOW_ID X Y [BUTTON] | WINDOW_ID --state (needs DISPLAY)\n");
    return 2;
  }
  const Window w = (Window)strtoul(argv[1], NULL, 0);
  if (strcmp(argv[2], "--state") == 0) {
    XWindowAttributes wa;
    const int ok = XGetWindowAttributes(d, w, &wa);
    printf("%s\n", ok && wa.map_state == IsViewable ? "viewable" : "unmapped");
    XCloseDisplay(d);
    return 0;
  }
  if (argc < 4)
    return 2;
  const unsigned button = argc > 4 ? (unsigned)atoi(argv[4]) : 1;
  int rx = 0, ry = 0;
  Window child;
  if (!XTranslateCoordinates(d, w, DefaultRootWindow(d), atoi(argv[2]), atoi(argv[3]), &rx, &ry,
                             &child)) {
    fprintf(stderr, "xclick: no window %s\n", argv[1]);
    return 1;
  }
  XTestFakeMotionEvent(d, -1, rx, ry, 0);
  XTestFakeButtonEvent(d, button, True, 0);
  XTestFakeButtonEvent(d, button, False, 0);
  XSync(d, False);
  XCloseDisplay(d);
  return 0;
}
