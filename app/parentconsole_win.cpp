#include "parentconsole.h"

#include <cstdio>
#include <windows.h>

void attachParentConsole()
{
    // A GUI-subsystem program has no console of its own; borrow the caller's if there is one.
    if (AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
}
