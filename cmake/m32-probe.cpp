// Built with -m32 and run at configure time and by each 32-bit test: whether
// the kernel runs 32-bit programs at all (some are built without IA-32
// emulation). The answer is what it prints, not its status: a shell handed a
// program the kernel refused may run it as a script and exit 0.
#include <cstdio>

int main() {
    return std::puts(sizeof(void *) == 4 ? "32-bit" : "not 32-bit") < 0;
}
