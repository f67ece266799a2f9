/* Built for fw-a and for fw_a, each with its own header. */
#include IMAGES_HEADER

typedef char has_maxima[FW_A_IMAGES_MAX_WIDTH > 0 ? 1 : -1];
