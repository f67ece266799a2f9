/* Compiles only if the constants are integer constant expressions that follow
   the PNG (the test writes expected.h). */
#include "app_images.h"
#include "expected.h"
#include "ui_images.h"

static const struct { const unsigned char *bytes; uint32_t size; } images[] = {{zeq_logo, ZEQ_LOGO_SIZE}, {ui_logo, UI_LOGO_SIZE}};
typedef char constants_follow_the_png[ZEQ_LOGO_WIDTH == EXPECTED_WIDTH && UI_LOGO_WIDTH == EXPECTED_WIDTH ? 1 : -1];
static unsigned char framebuffer[UI_LOGO_RAW_LENGTH];

int main(void) {
  framebuffer[0] = images[1].bytes[0];
  return images[0].size == zeq_logo_size && framebuffer[0] == 0x5E ? 0 : 1;
}
