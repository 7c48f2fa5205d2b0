// Placeholder until the report layout lands.
#include "report/report.h"
void u64Digits(uint64_t, char *d) { d[0] = 0; }
char *formatGrouped(const char *, int) { static char b[48]; return b; }
void dotFillNumber(char *) {}
void printDirLine(char *) {}
void writePageHeader() {}
void printStdoutHeader() {}
void writeReportLine(const char *) {}
void screenPause() {}
void formatDateTime() {}
void printDriveTotals() {}
void printGrandTotals() {}
