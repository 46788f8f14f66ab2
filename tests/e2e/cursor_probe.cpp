// Prints "hidden" when the pointer's current image is fully transparent, "shown" otherwise.
// Used by the end-to-end tests to see whether the player hid the pointer.

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <cstdio>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::puts("no display");
        return 2;
    }
    XFixesCursorImage* image = XFixesGetCursorImage(display);
    if (image == nullptr) {
        std::puts("no cursor");
        return 2;
    }
    bool visible = false;
    for (int k = 0; k < image->width * image->height; ++k) {
        visible = visible || ((image->pixels[k] >> 24) & 0xff) != 0;
    }
    std::puts(visible ? "shown" : "hidden");
    XFree(image);
    XCloseDisplay(display);
    return 0;
}
