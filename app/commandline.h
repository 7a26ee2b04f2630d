#pragma once

#include "commandlineoptions.h"

#include <QStringList>

namespace commandline {

enum class Outcome {
    Run,  // start the program
    Help, // the usage text was written; exit code 0
    Bad   // the errors and the usage text were written; exit code 1
};

// Fills `options` from `arguments` (element 0, the program path, is skipped), writing the
// usage text and the error messages to the debug stream.
Outcome parse(const QStringList &arguments, CommandLineOptions *options);

int exitCode(Outcome outcome);

void printUsage();

} // namespace commandline
