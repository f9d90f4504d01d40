// Splitting a custom action's data into arguments.
#include "tools/nimbic_deploy/action_arguments.h"

namespace nimbic::deploy {

std::vector<std::u16string> ActionArguments(std::u16string_view data)
{
    std::vector<std::u16string> arguments;
    std::u16string current;
    bool quoted = false;
    bool started = false;
    for (const char16_t c : data) {
        if (c == u'"') {
            quoted = !quoted;
            started = true;
        } else if ((c == u' ' || c == u'\t') && !quoted) {
            if (started)
                arguments.push_back(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments.push_back(current);
    return arguments;
}

} // namespace nimbic::deploy
