#include "scan/scan.h"

int main(int argc, char **argv) {
    return scan_main(argc, argv);
}
