#include "cli/program.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/demo_tree.h"
#include "cli/native_scan.h"
#include "cli/options.h"
#include "cli/row_format.h"
#include "cli/scanner.h"
#include "cli/summary.h"
#include "engine/file_system.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

std::string shown(const std::u16string& escapedText) {
    return streamscan::utf8ForDisplay(escapedText);
}

int run(const std::vector<std::u16string>& arguments) {
    SystemConsole console;
    ParseResult parsed = parseArguments(arguments);
    CliOptions& options = parsed.options;
    if (options.help) {
        console.out(shown(helpText()));
        return 0;
    }
    if (options.version) {
        console.out(shown(versionText()));
        return 0;
    }
    if (parsed.error.empty())
        parsed.error = removalAnswerError(options, console.inIsTerminal());
    if (!parsed.error.empty()) {
        console.err(shown(usageErrorText(parsed.error)));
        return kExitUsage;
    }

    static std::atomic<bool> cancel{false};
    installInterruptHandler(cancel);

    DemoTree demo;
    if (options.demo) {
        demo = makeDemoTree();
        if (demo.root.empty()) {
            console.err(
                shown(std::u16string(kProgramName) + u": the sample tree could not be made: ") +
                consoleText(demo.error) + "\n");
            return kExitInternal;
        }
        // Standard output carries only JSON when it was asked for.
        const std::string intro = shown(demoIntroText(demo));
        options.json ? console.err(intro) : console.out(intro);
        options.paths = {demo.root};
    }

    RunSettings settings;
    settings.commandLine.push_back(std::u16string(kProgramName));
    settings.commandLine.insert(settings.commandLine.end(), arguments.begin(), arguments.end());
    settings.colour = console.outTakesColour() &&
                      colourWanted(console.outIsTerminal(), environmentValue("NO_COLOR"),
                                   environmentValue("TERM"));
    const int status = runNativeScan(options, settings, console, cancel);
    if (options.demo) {
        console.flushOut();
        const std::string closing = shown(demoClosingText(demo));
        options.json ? console.err(closing) : console.out(closing);
        console.flushOut();
    }
    return status;
}

}  // namespace

int runProgram(const std::vector<std::u16string>& arguments) {
    try {
        return run(arguments);
    } catch (const std::bad_alloc&) {
        SystemConsole().err("tessalin-scan: internal error: out of memory\n");
    } catch (const std::exception& error) {
        SystemConsole().err(std::string("tessalin-scan: internal error: ") + error.what() + "\n");
    } catch (...) {
        SystemConsole().err("tessalin-scan: internal error\n");
    }
    return kExitInternal;
}

}  // namespace tessalin::cli
