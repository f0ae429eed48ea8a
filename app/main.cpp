#include "app/cmdline.h"
#include "app/startup.h"

int main(int argc, char **argv) {
    // Before anything opens: a bad command line ends here.
    int status = 0;
    if (!ParseCommandLine(argc, argv, stdout, stderr, &status)) return status;
    return KelvaneMain();
}
