// Placeholder until the settings reader lands.
#include "settings/settings.h"
void readSettings() {}
void readSettingsSection() {}
char *settingValue(char *) { return nullptr; }
void trimLeft(char *) {}
