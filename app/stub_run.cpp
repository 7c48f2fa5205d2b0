// Placeholder until the entry and command line land.
#include "app/app.h"
int folmarMain(int, char **) { return 0; }
bool isHelpRequest(int, char **) { return false; }
void showHelp() {}
void scanArguments(int, char **) {}
void applySwitch(char *) {}
int normaliseTarget() { return 0; }
void deriveLayout() {}
void closeFiles() {}
