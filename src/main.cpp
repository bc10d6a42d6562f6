#include <cstdio>

#include "build_config.h"

int main(int argc, char** argv) {
    std::printf("SongDeck %s\n", SONGDECK_VERSION_TEXT);
    return 0;
}
