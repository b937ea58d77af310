// What the POSIX backend does before the program starts, open to its tests:
// the command line rebuilt from argv, which GetCommandLineA then returns.
#ifndef COLORTEXT_PLATFORM_POSIX_H
#define COLORTEXT_PLATFORM_POSIX_H

void BuildCommandLine(int argc, const char* const* argv);

#endif
