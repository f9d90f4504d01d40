// Time to first frame: starts a program (a Windows one through Wine), finds its window by title
// and polls the screen until the expected pixels of its first frame are there. Prints the
// milliseconds from the start to the painted frame and to the window's mapping.
#define _POSIX_C_SOURCE 200809L

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

enum { max_checks = 16, max_ignored = 4096 };

struct check {
    int x, y;
    int r, g, b;
};

struct watch {
    Display* display;
    Window root;
    Atom net_wm_name, utf8_string;
    const char* title;
    Window ignored[max_ignored];
    unsigned ignored_count;
    Window found;
    struct check checks[max_checks];
    int check_count;
    int tolerance;
    int last_seen[max_checks][3];
};

static double now_ms(void)
{
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec * 1e3 + (double)now.tv_nsec / 1e6;
}

// Windows come and go while we look at them (the program's own, Wine's helpers): a request on
// a window that is gone is an ordinary outcome here, not a reason to end.
static int ignore_errors(Display* display, XErrorEvent* error)
{
    (void)display;
    (void)error;
    return 0;
}

static int usage(void)
{
    fprintf(stderr,
            "usage: first_frame_watch [--timeout SECONDS] [--tolerance N] [--verbose] TITLE "
            "X,Y,RRGGBB... -- PROGRAM [ARGUMENT...]\n"
            "X,Y are relative to the window's top-left corner (its client area under "
            "Wine without a window manager).\n");
    return 2;
}

static int parse_check(const char* text, struct check* out)
{
    unsigned colour = 0;
    char tail = 0;
    if (sscanf(text, "%d,%d,%6x%c", &out->x, &out->y, &colour, &tail) != 3)
        return 0;
    out->r = (int)(colour >> 16) & 0xff;
    out->g = (int)(colour >> 8) & 0xff;
    out->b = (int)colour & 0xff;
    return 1;
}

static int is_ignored(const struct watch* watch, Window window)
{
    for (unsigned i = 0; i < watch->ignored_count; ++i) {
        if (watch->ignored[i] == window)
            return 1;
    }
    return 0;
}

// Windows that exist before the start (an earlier run's, still being torn down) never count.
static void ignore_existing(struct watch* watch)
{
    Window root_return, parent;
    Window* children = NULL;
    unsigned count = 0;
    if (!XQueryTree(watch->display, watch->root, &root_return, &parent, &children, &count))
        return;
    for (unsigned i = 0; i < count && watch->ignored_count < max_ignored; ++i)
        watch->ignored[watch->ignored_count++] = children[i];
    if (children)
        XFree(children);
}

static int title_matches(struct watch* watch, Window window)
{
    Atom type = None;
    int format = 0;
    unsigned long items = 0, remaining = 0;
    unsigned char* value = NULL;
    int matches = 0;
    // Wine sets both names; the UTF-8 one is exact for any title.
    if (XGetWindowProperty(watch->display, window, watch->net_wm_name, 0, 1024, False,
                           watch->utf8_string, &type, &format, &items, &remaining,
                           &value) == Success &&
        value != NULL && format == 8) {
        matches = strcmp((const char*)value, watch->title) == 0;
        XFree(value);
        return matches;
    }
    if (value)
        XFree(value);
    char* name = NULL;
    if (XFetchName(watch->display, window, &name) && name != NULL) {
        matches = strcmp(name, watch->title) == 0;
        XFree(name);
    }
    return matches;
}

static void consider(struct watch* watch, Window window)
{
    if (watch->found != None || is_ignored(watch, window) || !title_matches(watch, window))
        return;
    XWindowAttributes attributes;
    if (XGetWindowAttributes(watch->display, window, &attributes) &&
        attributes.map_state == IsViewable)
        watch->found = window;
}

static void drain_events(struct watch* watch)
{
    while (XPending(watch->display) > 0) {
        XEvent event;
        XNextEvent(watch->display, &event);
        if (event.type == CreateNotify && event.xcreatewindow.parent == watch->root) {
            // The title may be set before we listen, so look once right away as well.
            XSelectInput(watch->display, event.xcreatewindow.window, PropertyChangeMask);
            consider(watch, event.xcreatewindow.window);
        } else if (event.type == MapNotify) {
            consider(watch, event.xmap.window);
        } else if (event.type == PropertyNotify) {
            consider(watch, event.xproperty.window);
        }
    }
}

static int channel(unsigned long pixel, unsigned long mask)
{
    if (mask == 0)
        return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0)
        ++shift;
    const unsigned long value = (pixel & mask) >> shift;
    const unsigned long top = mask >> shift;
    return (int)(value * 255 / top);
}

// Reads the screen, not the window, so whatever draws into it (a child surface, GL) counts.
static int frame_painted(struct watch* watch)
{
    int origin_x = 0, origin_y = 0;
    Window child;
    if (!XTranslateCoordinates(watch->display, watch->found, watch->root, 0, 0, &origin_x,
                               &origin_y, &child))
        return 0;
    const Visual* visual = DefaultVisual(watch->display, DefaultScreen(watch->display));
    int all = 1;
    for (int i = 0; i < watch->check_count; ++i) {
        const struct check* wanted = &watch->checks[i];
        XImage* image = XGetImage(watch->display, watch->root, origin_x + wanted->x,
                                  origin_y + wanted->y, 1, 1, AllPlanes, ZPixmap);
        if (image == NULL)
            return 0;
        const unsigned long pixel = XGetPixel(image, 0, 0);
        XDestroyImage(image);
        int* seen = watch->last_seen[i];
        seen[0] = channel(pixel, visual->red_mask);
        seen[1] = channel(pixel, visual->green_mask);
        seen[2] = channel(pixel, visual->blue_mask);
        if (abs(seen[0] - wanted->r) > watch->tolerance ||
            abs(seen[1] - wanted->g) > watch->tolerance ||
            abs(seen[2] - wanted->b) > watch->tolerance)
            all = 0;
    }
    return all;
}

static pid_t start_program(char** arguments)
{
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    // A group of its own, so the stop reaches whatever the launcher left running.
    setpgid(0, 0);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    }
    execvp(arguments[0], arguments);
    _exit(127);
}

static void stop_program(pid_t pid)
{
    kill(-pid, SIGKILL);
    kill(pid, SIGKILL);
    while (waitpid(pid, NULL, 0) < 0 && errno == EINTR) {
    }
}

static void report_failure(const struct watch* watch, const char* what, double at)
{
    fprintf(stderr, "first_frame_watch: %s after %.0f ms (window %s)\n", what, at,
            watch->found != None ? "found" : "not found");
    if (watch->found == None)
        return;
    for (int i = 0; i < watch->check_count; ++i) {
        const struct check* wanted = &watch->checks[i];
        fprintf(stderr, "  %d,%d wanted %02x%02x%02x, last seen %02x%02x%02x\n", wanted->x,
                wanted->y, wanted->r, wanted->g, wanted->b, watch->last_seen[i][0],
                watch->last_seen[i][1], watch->last_seen[i][2]);
    }
}

int main(int argc, char** argv)
{
    static struct watch watch;
    double timeout_ms = 60e3;
    int verbose = 0;
    watch.tolerance = 8;
    int i = 1;
    for (; i < argc && strncmp(argv[i], "--", 2) == 0 && argv[i][2] != 0; ++i) {
        if (strcmp(argv[i], "--timeout") == 0 && i + 1 < argc)
            timeout_ms = atof(argv[++i]) * 1e3;
        else if (strcmp(argv[i], "--tolerance") == 0 && i + 1 < argc)
            watch.tolerance = atoi(argv[++i]);
        else if (strcmp(argv[i], "--verbose") == 0)
            verbose = 1;
        else
            return usage();
    }
    if (i >= argc)
        return usage();
    watch.title = argv[i++];
    for (; i < argc && strcmp(argv[i], "--") != 0; ++i) {
        if (watch.check_count == max_checks ||
            !parse_check(argv[i], &watch.checks[watch.check_count]))
            return usage();
        ++watch.check_count;
    }
    if (i + 1 >= argc || watch.check_count == 0)
        return usage();
    char** program = &argv[i + 1];

    watch.display = XOpenDisplay(NULL);
    if (watch.display == NULL) {
        fprintf(stderr, "first_frame_watch: unable to open the display\n");
        return 1;
    }
    XSetErrorHandler(ignore_errors);
    watch.root = DefaultRootWindow(watch.display);
    watch.net_wm_name = XInternAtom(watch.display, "_NET_WM_NAME", False);
    watch.utf8_string = XInternAtom(watch.display, "UTF8_STRING", False);
    XSelectInput(watch.display, watch.root, SubstructureNotifyMask);
    ignore_existing(&watch);
    XSync(watch.display, False);

    const double start = now_ms();
    const pid_t pid = start_program(program);
    if (pid < 0) {
        fprintf(stderr, "first_frame_watch: unable to start %s\n", program[0]);
        return 1;
    }
    setpgid(pid, pid);

    double mapped = -1.0;
    struct pollfd connection = {ConnectionNumber(watch.display), POLLIN, 0};
    for (;;) {
        drain_events(&watch);
        const double elapsed = now_ms() - start;
        if (watch.found != None) {
            if (mapped < 0.0)
                mapped = elapsed;
            if (frame_painted(&watch))
                break;
        }
        if (elapsed > timeout_ms) {
            report_failure(&watch, "no first frame", elapsed);
            stop_program(pid);
            return 1;
        }
        if (waitpid(pid, NULL, WNOHANG) == pid) {
            report_failure(&watch, "the program ended before its first frame", elapsed);
            return 1;
        }
        // Woken at once by an X event, else after a millisecond: the resolution of the figure.
        poll(&connection, 1, 1);
    }
    const double painted = now_ms() - start;

    if (verbose) {
        XWindowAttributes attributes;
        XGetWindowAttributes(watch.display, watch.found, &attributes);
        fprintf(stderr, "first_frame_watch: window 0x%lx, %dx%d at %d,%d\n", watch.found,
                attributes.width, attributes.height, attributes.x, attributes.y);
    }
    stop_program(pid);
    XCloseDisplay(watch.display);
    printf("%.1f %.1f\n", painted, mapped);
    return 0;
}
