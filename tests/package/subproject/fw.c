/* Built for fw-a and for fw_a, each with its own header. */
#include IMAGES_HEADER
#include "expected.h"

typedef char maxima_follow_the_png[FW_A_IMAGES_MAX_WIDTH == EXPECTED_WIDTH ? 1 : -1];
