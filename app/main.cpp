// Program entry of keb. Until the main window exists it reports its version.
#include <cstdio>

int main()
{
    std::printf("KEB %s\n", KEB_VERSION);
    return 0;
}
