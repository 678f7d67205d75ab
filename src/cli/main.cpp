#include "cli/CliApp.h"

int main(int argc, char** argv) { return brisel::cli::RunCli(argc, argv); }
