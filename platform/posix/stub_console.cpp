// Placeholder until the POSIX console lands.
#include <cstdlib>
#include "platform/platform.h"
bool stdoutIsCharDevice() { return false; }
void consoleClear(FILE *) {}
int consoleGetKey() { return -1; }
bool consoleKeyWaiting() { return false; }
void readIntegerFromStdin(int *) {}
FILE *platformStdout() { return stdout; }
void exitProcess(int code) { std::fflush(stdout); std::exit(code); }
