// orvasim: a simulated instrument on a pseudo-terminal.
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: orvasim [OPTIONS]\n\nA simulated Corvane instrument on a pseudo-terminal.\n");
        return 0;
    }
    std::fprintf(stderr, "orvasim: the simulated instrument is not available in this build yet\n");
    return 1;
}
