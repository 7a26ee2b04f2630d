#pragma once

// Makes the console of the process that started the program usable for its output, so that
// the usage text and command-line errors reach the terminal the user typed the command in.
// Only Windows needs this: elsewhere a program started from a terminal already writes to it.
void attachParentConsole();
