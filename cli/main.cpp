// nummernwerk-cli: the phonebook core from the command line.
#include <unistd.h>

#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv)
{
    std::ios::sync_with_stdio(false);
    return cli::Run(argc, argv, {std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1});
}
