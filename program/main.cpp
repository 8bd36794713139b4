// crvxml: the import module of the case-management suite.
#include "cli/commands.h"

int main(int argc, char** argv)
{
    return crv::cli::run(argc, argv);
}
