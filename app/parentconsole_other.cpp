#include "parentconsole.h"

void attachParentConsole() {}
