/* Windows entry: the C runtime has parsed the command line; the installer
 * needs only argument 0, the path it was started under. */
#include "install_run.h"

#include <stdlib.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    programPath = __argv[0];
    return installMain();
}
