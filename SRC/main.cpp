#include "ui/Startup.h"

int main(int argc, char** argv)
{
    return RunTessaro(argc, argv);
}
