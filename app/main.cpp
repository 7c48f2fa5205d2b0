// Process entry: hands the command line to the program.
#include "app/app.h"

int main(int argc, char **argv) { return folmarMain(argc, argv); }
