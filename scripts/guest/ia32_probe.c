/* Whether this kernel runs 32-bit code (scripts/run-32bit.sh): a 64-bit
 * program asks for getpid through the 32-bit system call gate, which a
 * kernel whose IA-32 emulation is off makes fault. */
#include <unistd.h>
int main(void) {
    long result = 20; /* getpid in the 32-bit system call table */
    __asm__ volatile("int $0x80" : "+a"(result) : : "memory");
    return result == (long)getpid() ? 0 : 1;
}
