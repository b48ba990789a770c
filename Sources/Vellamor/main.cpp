#include "App/ProcessEntry.h"

int main(int argc, char** argv)
{
    return vellamor::runProcess(argc, argv);
}
