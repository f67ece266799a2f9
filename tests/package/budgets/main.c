/* Compiles only if the header's maxima cover both calls' images, and the
   windows are those asked for: 10 bits for the logo, none for the raw gauge. */
#include "app_images.h"
#include "zeq_loader.h"

#define LARGER(a, b) ((a) > (b) ? (a) : (b))
static unsigned char workspace[ZEQ_STREAM_WORKSPACE_BOUND(APP_IMAGES_MAX_WINDOW_BITS)];
static unsigned char framebuffer[APP_IMAGES_MAX_RAW_LENGTH];
typedef char maxima_cover_the_images[APP_IMAGES_MAX_WIDTH == LARGER(ZEQ_LOGO_WIDTH, ZEQ_GAUGE_WIDTH) &&
  APP_IMAGES_MAX_HEIGHT == LARGER(ZEQ_LOGO_HEIGHT, ZEQ_GAUGE_HEIGHT) &&
  APP_IMAGES_MAX_RAW_LENGTH == LARGER(ZEQ_LOGO_RAW_LENGTH, ZEQ_GAUGE_RAW_LENGTH) &&
  APP_IMAGES_MAX_WINDOW_BITS == 10 && ZEQ_LOGO_WINDOW_BITS == 10 && ZEQ_GAUGE_WINDOW_BITS == 0 ? 1 : -1];

int main(void) { return workspace[0] == framebuffer[0] && zeq_logo[0] == 0x5E ? 0 : 1; }
