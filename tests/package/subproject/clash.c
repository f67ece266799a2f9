/* Must not compile: both headers define FW_A_IMAGES_MAX_WIDTH and the rest. */
#include "fw-a_images.h"
#include "fw_a_images.h"
