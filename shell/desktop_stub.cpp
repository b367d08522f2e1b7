// Stands in for the desktop program while its windows are not part of the build.

#include <cstdio>

#include "shell/desktop.h"

namespace mg::shell {

int runDesktop(int, char**) {
    std::fprintf(stderr, "The desktop program is not built yet (marrowgate --help lists the commands)\n");
    return 1;
}

}  // namespace mg::shell
