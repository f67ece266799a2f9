/* zlib's own allocator, as a stub. The loader always hands zlib an
   allocator of its own (the caller's workspace), so zlib's default is never
   called; built with MY_ZCALLOC, zlib leaves its definition to the firmware,
   and with these two no malloc, free or _sbrk is linked. */
#include "zutil.h"

voidpf ZLIB_INTERNAL zcalloc(voidpf opaque, unsigned items, unsigned size) {
  (void)opaque;
  (void)items;
  (void)size;
  return Z_NULL;
}

void ZLIB_INTERNAL zcfree(voidpf opaque, voidpf address) {
  (void)opaque;
  (void)address;
}
