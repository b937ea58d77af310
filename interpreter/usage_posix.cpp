// The native colortext answers --help, -h and /? with the usage, its
// examples quoted for sh, and --version with its version.
#include "interpreter/usage.h"

namespace {

const char kUsage[] = "colortext " COLORTEXT_VERSION
                      ": prints coloured text in a terminal, for scripts.\n"
                      "\n"
                      "colortext TOKEN...    The tokens, separated by blanks:\n"
                      "  \"text\"   the text as it stands; \"\" inside it stands for one quote\n"
                      "  65       the character of that decimal code; 10 ends a line, 9 is a tab\n"
                      "  45*40    the character 45, forty times (also 45x40)\n"
                      "  /1F      colours what follows: background 1, foreground F\n"
                      "  /C       a digit and a blank: foreground C alone\n"
                      "Colours: 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 yellow,\n"
                      "7 grey; 8 to F are the same, bright. Reading stops at anything else.\n"
                      "Examples; the shell takes double quotes off, so they go in single "
                      "quotes:\n"
                      "  colortext /0C '\"ERROR:\"' /07 '\" disk full\"' 10\n"
                      "  colortext '\"core\" 9 /0A \"ok\" 10'\n"
                      "\n"
                      "NO_COLOR=1: no colour. FORCE_COLOR=1 or CLICOLOR_FORCE=1: colour in "
                      "pipes too.\n"
                      "Exit code: always 0. colortext --version prints the version.\n";

const char kVersion[] = "colortext " COLORTEXT_VERSION "\n";

}  // namespace

const Request kRequests[] = {
    {"--help", kUsage}, {"-h", kUsage}, {"/?", kUsage}, {"--version", kVersion}};
const uint32_t kRequestCount = sizeof kRequests / sizeof kRequests[0];
