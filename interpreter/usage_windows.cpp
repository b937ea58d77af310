// colortext.exe answers one request: /? prints the usage, in lines of at
// most 79 columns that end in CR LF, so that it reads the same in a file.
#include "interpreter/usage.h"

namespace {

const char kUsage[] =
    "colortext " COLORTEXT_VERSION
    ": prints coloured text in the console, for batch scripts.\r\n"
    "\r\n"
    "colortext TOKEN...    The tokens, separated by blanks:\r\n"
    "  \"text\"   the text as it stands; \"\" inside it stands for one quote\r\n"
    "  65       the character of that decimal code; 13 10 ends a line, 9 is a tab\r\n"
    "  45*40    the character 45, forty times (also 45x40)\r\n"
    "  /1F      colours what follows: background 1, foreground F\r\n"
    "  /C       a digit and a blank: foreground C on black\r\n"
    "Colours: 0 black, 1 blue, 2 green, 3 cyan, 4 red, 5 magenta, 6 yellow,\r\n"
    "7 grey; 8 to F are the same, bright. Reading stops at anything else.\r\n"
    "Examples:\r\n"
    "  colortext /0C \"ERROR:\" /07 \" disk full\" 13 10\r\n"
    "  colortext \"core\" 9 /0A \"ok\" 13 10\r\n"
    "\r\n"
    "NO_COLOR=1: no colour. FORCE_COLOR=1 or CLICOLOR_FORCE=1: colour in pipes too.\r\n"
    "Exit code: always 0.\r\n";

const char kUsageWord[] = "/?";

}  // namespace

const Request kRequests[] = {{kUsageWord, kUsage}};
const uint32_t kRequestCount = 1;
