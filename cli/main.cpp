// tessalin-scan: the console front end of the engine.
#include <clocale>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/demo_tree.h"
#ifndef _WIN32
#include "cli/image_scan.h"
#include "engine/image/mounted_ntfs.h"
#endif
#include "cli/options.h"
#include "cli/row_format.h"
#include "cli/scanner.h"
#include "cli/summary.h"
#include "engine/file_system.h"
#include "engine/unicode.h"

namespace {

using namespace tessalin::cli;

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
#ifdef _WIN32
    if (options.image) {
        console.err(shown(usageErrorText(u"--image reads disk images in the Linux build only")));
        return kExitUsage;
    }
    const int status =
        runScanner(options, settings, console, streamscan::nativeFileSystem(), cancel);
#else
    int status = 0;
    if (options.image) {
        status = runImageScan(options, settings, console, streamscan::nativeFileSystem(), cancel);
    } else if (options.throughMount) {
        status = runScanner(options, settings, console, streamscan::nativeFileSystem(), cancel);
    } else {
        // A mounted NTFS volume is read as NTFS, through its device.
        streamscan::MountedNtfsReader reader(streamscan::nativeFileSystem());
        settings.volumesReadThrough = [&reader] {
            std::vector<std::pair<std::u16string, std::u16string> > read;
            for (const auto& volume : reader.volumesRead())
                read.emplace_back(volume.mountPoint, volume.source);
            return read;
        };
        status = runScanner(options, settings, console, reader, cancel);
    }
#endif
    if (options.demo) {
        console.flushOut();
        const std::string closing = shown(demoClosingText(demo));
        options.json ? console.err(closing) : console.out(closing);
        console.flushOut();
    }
    return status;
}

int guardedRun(const std::vector<std::u16string>& arguments) {
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

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::u16string> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.emplace_back(reinterpret_cast<const char16_t*>(argv[i]));
    return guardedRun(arguments);
}
#else
int main(int argc, char** argv) {
    // The thousands separator and the collation come from the user's locale.
    std::setlocale(LC_ALL, "");
    std::vector<std::u16string> arguments;
    // Names are bytes: decoded losslessly, so any name reaches the right file.
    for (int i = 1; i < argc; ++i)
        arguments.push_back(streamscan::decodeName(argv[i]));
    return guardedRun(arguments);
}
#endif
