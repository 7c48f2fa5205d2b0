// Process entry and its one end: the program runs, then the process ends
// with the code it returned.
#include "app/app.h"
#include "platform/platform.h"

int main(int argc, char **argv) { exitProcess(folmarMain(argc, argv)); }
