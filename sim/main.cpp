#include "Options.h"
#include "DeviceProcess.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    using namespace iap::sim;
    constexpr int UsageExitCode = 2;

    Options options;
    std::string error;
    const std::string program = argc > 0 ? argv[0] : "iap-sim";
    switch (parseOptions(argc, argv, options, error)) {
    case ParseOutcome::Help:
        std::fputs(helpText(program).c_str(), stdout);
        return 0;
    case ParseOutcome::Version:
        std::printf("iap-sim %s\n", IAP_VERSION);
        return 0;
    case ParseOutcome::Error:
        std::fprintf(stderr, "%s: %s (see --help)\n", program.c_str(), error.c_str());
        return UsageExitCode;
    case ParseOutcome::Run:
        break;
    }

    DeviceProcess device(options);
    if (!device.start(error)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    return device.run() ? 0 : 1;
}
