// The varnek program: the multisample viewer.
#include "viewer/shell.h"

int main() {
    return ViewerMain(nullptr, nullptr, nullptr, SW_SHOWDEFAULT);
}
