/* Prints "blank" when the pointer the X server shows right now is fully
 * transparent, "visible WxH" otherwise. The scoreboard hides the pointer by
 * switching to an empty cursor, which only XFixes can see from outside. */
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <stdio.h>

int main(void)
{
    Display *display = XOpenDisplay(NULL);
    if (!display) {
        fputs("cursor-probe: cannot open display\n", stderr);
        return 2;
    }
    int event_base, error_base;
    if (!XFixesQueryExtension(display, &event_base, &error_base)) {
        fputs("cursor-probe: no XFixes extension\n", stderr);
        return 2;
    }
    XFixesCursorImage *image = XFixesGetCursorImage(display);
    if (!image) {
        fputs("cursor-probe: no cursor image\n", stderr);
        return 2;
    }
    unsigned long opaque = 0;
    for (unsigned long i = 0; i < (unsigned long)image->width * image->height; ++i)
        if ((image->pixels[i] >> 24) & 0xff)
            ++opaque;
    if (opaque == 0)
        puts("blank");
    else
        printf("visible %ux%u\n", image->width, image->height);
    XFree(image);
    XCloseDisplay(display);
    return 0;
}
