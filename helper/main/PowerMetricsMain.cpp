#include "platform/power/RaplReader.h"

#include <cstdio>

// Prints the CPU and GPU power of the next half second, in the lines the helper's client reads.
int main()
{
    const auto sample = platform::RaplReader().sample(std::chrono::milliseconds(500));
    if (const auto* error = std::get_if<std::string>(&sample)) {
        std::fprintf(stderr, "%s\n", error->c_str());
        return 1;
    }
    std::fputs(platform::RaplReader::format(std::get<platform::RaplReader::Sample>(sample)).c_str(), stdout);
    return 0;
}
