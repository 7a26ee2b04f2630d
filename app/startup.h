#pragma once

class QTranslator;

namespace startup {

// Whether a windowing system can be reached. Without one, constructing the GUI application
// aborts the process, which must not happen to a user asking for --help over SSH.
bool displayReachable(int argc, char **argv);

// Large buffers, such as a fast device's chunk of a display tick, go back to the system as soon as
// they are freed, so that memory after a burst returns to where it was instead of staying at the
// burst's highest mark.
void returnLargeBuffersToTheSystem();

// Traces the system language and, only for a German one, loads and installs Qt's own and the
// program's German translations from the translations/ folder beside the program.
void installTranslations(QTranslator *qtTranslator, QTranslator *myTranslator);

} // namespace startup
