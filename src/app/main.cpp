#include <cstdio>

int main()
{
    std::puts("Quadrix v1.11: the core is built; the table window is not there yet.");
    return 0;
}
