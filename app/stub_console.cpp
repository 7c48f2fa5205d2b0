// Placeholder until the console waits land.
#include "app/app.h"
void clearScreen() {}
void waitForKey() {}
void readKeyAndDrain() {}
