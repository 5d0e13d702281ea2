/* Reads a picture as a GTK program does, through gdk-pixbuf's loaders:
 * whole, or (given SIDE) at a size that fits SIDE x SIDE as thumbnailers
 * ask; prints the pixbuf's size, or "refused" with gdk-pixbuf's words. For
 * the memory test, which measures the process.
 *   pixbuf_read FILE [SIDE] */
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) {
    fprintf(stderr, "usage: %s FILE [SIDE]\n", argv[0]);
    return 2;
  }
  GError* error = NULL;
  const int side = argc == 3 ? atoi(argv[2]) : 0;
  GdkPixbuf* pixbuf = side > 0 ? gdk_pixbuf_new_from_file_at_size(argv[1], side, side, &error)
                               : gdk_pixbuf_new_from_file(argv[1], &error);
  if (!pixbuf) {
    printf("refused: %s\n", error ? error->message : "no reason given");
    g_clear_error(&error);
    return 0;
  }
  printf("%d x %d\n", gdk_pixbuf_get_width(pixbuf), gdk_pixbuf_get_height(pixbuf));
  g_object_unref(pixbuf);
  return 0;
}
