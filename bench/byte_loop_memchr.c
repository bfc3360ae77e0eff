/* memchr as a plain byte loop, preloaded into the 32-bit benchmark so that
 * an instruction count holds no C runtime's tuned search: msvcrt's, which
 * the DLL would call, is not ours to count on. */
#include <stddef.h>

void *memchr(const void *s, int c, size_t n) {
    const unsigned char *p = s;
    for (; n > 0; ++p, --n)
        if (*p == (unsigned char)c) return (void *)p;
    return NULL;
}
