#include "console/colour_choice.h"

#include "platform/platform.h"

namespace {

// Whether two texts, each ended by a NUL, are the same.
bool Same(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// Whether a variable's value asks for something: it is set, and it is not
// 0, nor, where `orFalse`, false.
bool Asks(const char* value, bool orFalse) {
    if (value == nullptr || value[0] == '\0') return false;
    return !Same(value, "0") && !(orFalse && Same(value, "false"));
}

// Room for "false" and its NUL; a longer value is no word that counts.
constexpr uint32_t kValueSize = 8;

}  // namespace

Colours ChooseColours(const char* noColor, const char* forceColor, const char* cliColorForce) {
    if (noColor != nullptr && noColor[0] != '\0') return Colours::kNone;
    return Asks(forceColor, true) || Asks(cliColorForce, false) ? Colours::kForced
                                                                : Colours::kAsUsual;
}

Colours ReadColourChoice() {
    char values[3][kValueSize];
    for (uint32_t i = 0; i < 3; ++i) {
        char* const value = values[i];
        const platform::DWORD length = platform::GetEnvironmentVariableA(
            static_cast<platform::Variable>(i), value, kValueSize);
        // A value too long for the storage is not read: it stands as "-",
        // set, and neither 0 nor false.
        if (length == 0) {
            value[0] = '\0';
        } else if (length >= kValueSize) {
            value[0] = '-';
            value[1] = '\0';
        }
    }
    return ChooseColours(values[0], values[1], values[2]);
}
