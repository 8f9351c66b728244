// korvel-cli: every setting of the logger from a terminal. See korvel-cli(1).
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/HistoryCommands.h"
#include "cli/JsonOutput.h"
#include "platform/Console.h"
#include "platform/ProgramArguments.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const korvel::platform::Utf8Console console;
    const std::vector<std::string> arguments = korvel::platform::ProgramArguments(argc, argv);
    const korvel::cli::ParsedCommandLine line = korvel::cli::ParseCommandLine(arguments);
    std::cout << line.out;
    std::cerr << line.err;
    if (!line.options && line.exitCode != 0 && line.json) {
        // A script that asked for JSON gets its one object also for a mistake on the line.
        std::cout << korvel::settingsfile::PrettyText(
            korvel::cli::OutcomeObject(line.exitCode, {{"", 0, 0, line.fault}}));
    }
    if (!line.options) {
        return line.exitCode;
    }
    korvel::cli::Environment env =
        korvel::cli::SystemEnvironment(std::cout, std::cerr, std::cin, arguments);
    return korvel::cli::RunWithHistory(*line.options, env);
}
