/* The one thing of a window manager that Wine waits for, on a test display that has none:
 * each top-level window's WM_STATE, Normal once it is mapped and Withdrawn once it is unmapped.
 * Wine leaves a window with a caption to the window manager and, before hiding it, waits for
 * the manager to report it mapped; with no manager that wait runs out after two seconds, for
 * every popup, menu and tooltip closed and every window destroyed while shown. Nothing is
 * redirected, moved, decorated or focused: placement, stacking and focus stay Wine's and the
 * tests'. scripts/xvfb-start runs it beside each Xvfb; it ends with the display.
 * Usage: window-states (on $DISPLAY)
 */
#include <X11/Xlib.h>

#include <stdio.h>

enum { withdrawn_state = 0, normal_state = 1 };

/* A window can go between its event and the property change; that is no failure. */
static int ignore_error(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;
}

static void set_state(Display* display, Atom wm_state, Window window, long state)
{
    long value[2] = {state, None};
    XChangeProperty(display, window, wm_state, wm_state, 32, PropModeReplace, (unsigned char*)value,
                    2);
}

int main(void)
{
    Display* display = XOpenDisplay(NULL);
    if (display == NULL) {
        fputs("window-states: cannot open the display\n", stderr);
        return 1;
    }
    XSetErrorHandler(ignore_error);
    const Window root = DefaultRootWindow(display);
    const Atom wm_state = XInternAtom(display, "WM_STATE", False);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, False);
    /* Ready: the caller starts programs on the display only after this line. */
    puts("ready");
    fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify && event.xmap.event == root && !event.xmap.override_redirect) {
            set_state(display, wm_state, event.xmap.window, normal_state);
        } else if (event.type == UnmapNotify && event.xunmap.event == root) {
            set_state(display, wm_state, event.xunmap.window, withdrawn_state);
        }
        XFlush(display);
    }
}
