#include "app/Version.h"

#include <cstdio>

int main()
{
    std::printf("Kelvane %s\n", KELVANE_VERSION);
    return 0;
}
