/* short-path.exe: prints the short (8.3) form of each path argument, one a
 * line, as the file system reports it. The end-to-end tests ask it for the
 * name a saver must be registered under: short names are the file system's
 * own choice, so a test never writes one down itself.
 *
 * Exit code: 0 when every path was found, 1 when one was not, 2 without
 * arguments. */
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: short-path.exe PATH...\n");
        return 2;
    }
    int status = 0;
    for (int i = 1; i < argc; i++) {
        char shortPath[MAX_PATH];
        DWORD length = GetShortPathNameA(argv[i], shortPath, sizeof shortPath);
        if (length == 0 || length >= sizeof shortPath) {
            std::fprintf(stderr, "short-path.exe: %s: not found\n", argv[i]);
            status = 1;
            continue;
        }
        std::printf("%s\n", shortPath);
    }
    return status;
}
