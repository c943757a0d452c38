#include "cli/scanner.h"

#include <optional>
#include <string>
#include <vector>

#include "cli/body_file.h"
#include "cli/extraction.h"
#include "cli/yara_rules.h"
#include "cli/json_lines.h"
#include "cli/progress_line.h"
#include "cli/removal_flow.h"
#include "cli/row_format.h"
#include "cli/summary.h"
#include "engine/assessment.h"
#include "engine/csv_report.h"
#include "engine/display_escape.h"
#include "engine/not_examined.h"
#include "engine/output_target.h"
#include "engine/path_forms.h"
#include "engine/tree_walk.h"
#include "engine/unicode.h"
#include "engine/value_text.h"
#include "frontend/export_texts.h"
#include "frontend/root_preparation.h"
#include "frontend/scan_texts.h"

namespace tessalin::cli {
namespace {

std::string shown(const std::u16string& escapedText) {
    return streamscan::utf8ForDisplay(escapedText);
}

// A deleted item's row says so first, before what the assessment found.
std::u16string deletedNote(const streamscan::StreamRecord& record) {
    std::u16string note = record.hostIsFolder ? u"Deleted folder" : u"Deleted file";
    if (!record.note.empty()) {
        note += u"; ";
        note += record.note;
    }
    return note;
}

// One run's shared state, and its steps in the order they happen.
class ScanRun {
  public:
    ScanRun(const CliOptions& options, const RunSettings& settings, Console& console,
            streamscan::FileSystem& fs)
        : options(options),
          settings(settings),
          console(console),
          fs(fs),
          prepared(prepareRoots(options.paths, fs)),
          keepAll(options.csvPath.has_value() || options.bodyFile.has_value()) {
        outcome.filtered = options.filter.active();
    }

    // Scans on this thread; each row goes out as it is found, and only what the
    // report or the removal needs is kept after that.
    void scan(const std::atomic<bool>& cancel) {
        const RowLayout layout = console.outIsTerminal() ? terminalRowLayout(console.outWidth())
                                                         : rowLayoutForWidth(console.outWidth());
        setColourInUse(settings.colour);
        ProgressLine progress(console);
        const bool rowsShareTerminal = console.outIsTerminal() && console.errIsTerminal();

        outcome.deletedListed = options.deleted;
        streamscan::PlaceSink placeSink;
        const streamscan::RecordSink sink = [&](const streamscan::StreamRecord& found) {
            RowInProgress row(found);
            markDeleted(row);
            matchRules(row);
            if (!count(row.record(), row.deleted))
                return;
            readContent(row);
            if (!options.quiet) {
                if (rowsShareTerminal)
                    progress.hide();
                show(row, layout);
            }
            keep(row, placeSink);
        };
        const streamscan::ContinueCheck continueCheck = [&] {
            if (!cancel.load())
                return true;
            progress.cancelling();
            return false;
        };
        const streamscan::ProgressSink progressSink = [&](const std::u16string& folder,
                                                          const streamscan::ScanStats& stats) {
            progress.update(folder, stats, outcome.streamRows);
        };
        // Also with --quiet: these lines say which parts of the tree a clean
        // result does not speak for.
        placeSink = [&](const streamscan::NotExaminedPlace& place) {
            progress.hide();
            if (options.json)
                console.out(jsonPlace(place));
            console.flushOut();  // after the rows found before it, also in "2>&1"
            console.err(shown(notExaminedPlaceLine(place)));
        };

        for (const streamscan::NotExaminedPlace& place : settings.placesBefore)
            placeSink(place);
        outcome.stats = streamscan::scanRoots(prepared.roots, options.scan, sink, continueCheck,
                                              progressSink, fs, placeSink);
        for (const streamscan::NotExaminedPlace& place : settings.placesBefore)
            streamscan::countPlace(outcome.stats, place.kind);
        outcome.stats.unreadableStreams += unreadWhole;
        if (settings.orphansFound)
            outcome.orphans = settings.orphansFound();
        progress.hide();
    }

    void showSummary() {
        std::vector<std::pair<std::u16string, std::u16string>> readThrough;
        if (settings.volumesReadThrough)
            readThrough = settings.volumesReadThrough();
        if (options.json) {
            JsonSummaryFacts facts;
            facts.outcome = &outcome;
            facts.roots = &prepared.roots;
            facts.duplicates = prepared.duplicates;
            facts.nested = prepared.nested;
            facts.readThrough = readThrough;
            console.out(jsonSummary(facts, fs));
        } else if (outcome.rows > 0 && !options.quiet) {
            console.out("\n");
        }
        std::u16string text =
            summaryText(outcome, prepared.roots, prepared.duplicates, prepared.nested, fs);
        // Said once per volume: its streams came from the device, not the mount.
        for (const auto& [mountPoint, source] : readThrough) {
            text += streamscan::escapeForDisplay(mountPoint) + u": read from " +
                    streamscan::escapeForDisplay(source) + u" (NTFS)\n";
        }
        say(text);
    }

    // Readies the outputs before anything is scanned: the report's target and
    // the extraction folder are refused now when they would replace or lie
    // inside what is read. False when they cannot be used; then nothing is scanned.
    bool prepareContent() {
        const std::vector<ScannedRoot> roots = scannedRoots();
        if (!reportTargetUsable(roots))
            return false;
        if (options.yaraRules.has_value()) {
            std::u16string error;
            rules = RuleSet::load(fs.fullPath(*options.yaraRules), error);
            if (!rules) {
                console.err(
                    shown(usageErrorText(u"--yara: " + streamscan::escapeForDisplay(error))));
                return false;
            }
        }
        if (!options.hash && !options.extractDir.has_value())
            return true;
        std::u16string problem;
        if (options.extractDir.has_value()) {
            const std::u16string dir = fs.fullPath(*options.extractDir);
            problem = outputFolder.open(dir, roots);
            if (!problem.empty()) {
                console.err(shown(std::u16string(kProgramName) + u": --extract cannot use " +
                                  streamscan::escapeForDisplay(dir) + u": " +
                                  streamscan::escapeForDisplay(problem) + u"\n"));
                return false;
            }
        }
        content.emplace(options.extractDir.has_value() ? &outputFolder : nullptr, options.digests);
        Provenance provenance;
        provenance.program = kProgramName;
        provenance.version = kVersion;
        provenance.commandLine = settings.commandLine;
        provenance.host = hostName();
        if (options.extractDir.has_value() && settings.imagesForManifest)
            provenance.images = settings.imagesForManifest();
        problem = content->start(&provenance);
        if (!problem.empty()) {
            console.err(shown(std::u16string(kProgramName) +
                              u": the extraction manifest could not be started: " + problem +
                              u"\n"));
            return false;
        }
        return true;
    }

    // False when the manifest could not be completed; then no copy is left.
    bool finishContent() {
        if (!content.has_value() || !options.extractDir.has_value())
            return true;
        const std::uint64_t made = content->copiesMade();
        const std::u16string problem = content->finish(outcome.stats.cancelled);
        if (!problem.empty()) {
            std::u16string text = std::u16string(kProgramName) +
                                  u": the extraction manifest could not be written: " + problem;
            if (made != 0) {
                text += u"; the " + streamscan::countPhrase(made, u"copy", u"copies") +
                        u" made were removed, as no copy is kept without it";
            }
            console.err(shown(text + u"\n"));
            return false;
        }
        std::u16string text =
            u"\nCopied " + streamscan::countPhrase(content->copied(), u"stream", u"streams") +
            u" to " + streamscan::escapeForDisplay(fs.fullPath(*options.extractDir));
        if (content->notRead() != 0) {
            text += u"; " + streamscan::countPhrase(content->notRead(), u"stream", u"streams") +
                    u" could not be read";
        }
        if (content->notWritten() != 0) {
            text += u"; " + streamscan::countPhrase(content->notWritten(), u"copy", u"copies") +
                    u" could not be written";
        }
        if (content->notRead() + content->notWritten() != 0)
            text += u" (see manifest.json)";
        say(text + u"\n");
        return true;
    }

    // The status with what the copies and hashes add: content that could not
    // be read was not examined; a copy that could not be written is output lost.
    int withContent(int status) const {
        if (!content.has_value())
            return status;
        if (content->notWritten() != 0)
            return kExitInternal;
        if (content->notRead() != 0 && status < kExitUsage)
            status |= kExitNotExamined;
        return status;
    }

    // False when the report was asked for and could not be written; then nothing
    // may be removed, since the report is the record of what was there.
    bool writeReport() {
        if (!options.csvPath.has_value())
            return true;
        const std::u16string path = fs.fullPath(*options.csvPath);
        std::u16string writerError;
        if (!streamscan::writeCsvReport(path, kept, &writerError, &outcome.stats, fs)) {
            console.flushOut();
            console.err(shown(std::u16string(kProgramName) + u": " +
                              exportFailedMessage(path, writerError).text + u"\n"));
            if (!options.removeNames.empty())
                console.err("Nothing was removed, since the report could not be written.\n");
            return false;
        }
        // Appended rather than `literal + temporary`, which g++ 12 at -O3 warns
        // about falsely (-Wrestrict) in the console preset's first build.
        std::u16string line = u"\n";
        line += exportSucceededMessage(kept.size(), path, outcome.stats).text;
        line += u"\n";
        say(line);
        return true;
    }

    // False when the body file was asked for and could not be written.
    bool writeBody() {
        if (!options.bodyFile.has_value())
            return true;
        const std::u16string path = fs.fullPath(*options.bodyFile);
        std::u16string error;
        if (!writeBodyFile(path, bodyLines, kept, &error, fs)) {
            console.flushOut();
            console.err(shown(std::u16string(kProgramName) + u": the body file " +
                              streamscan::escapeForDisplay(path) + u" could not be written: " +
                              error + u"\n"));
            return false;
        }
        say(u"Body file written to " + streamscan::escapeForDisplay(path) + u"\n");
        return true;
    }

    // True when a requested removal failed, was refused or was not made.
    bool removeRequested(const std::atomic<bool>& cancel) {
        if (options.removeNames.empty())
            return false;
        say(u"\n");
        RemovalRequest request;
        request.wording = confirmationWordingFor(fs.pathStyle());
        request.names = options.removeNames;
        request.scanCancelled = outcome.stats.cancelled;
        request.askFirst = !options.yes;
        RemovalIo io;
        // Each line goes out at once: the question and what was removed are
        // never left in a buffer, whatever ends the process.
        io.say = [this](const std::u16string& text) {
            say(text);
            console.flushOut();
        };
        io.confirm = [this](std::u16string_view prompt) { return askYes(prompt); };
        io.keepGoing = [&cancel] { return !cancel.load(); };
        std::vector<streamscan::StreamRecord> matching;
        for (const streamscan::StreamRecord& record : kept) {
            if (isRemovalCandidate(record))
                matching.push_back(record);
        }
        // A further Ctrl+C must not end the process between a removal and its
        // report: the current stream is finished, then the run stops and says so.
        RemovalUnderway underway;
        const bool failed = runRemoval(matching, request, io, fs);
        console.flushOut();
        return failed;
    }

    int exitStatusAfter(bool removalFailed) {
        console.flushOut();
        if (console.outFailed()) {
            console.err(shown(std::u16string(kProgramName)) +
                        ": the output could not be written in full\n");
            return kExitInternal;
        }
        return exitStatus(outcome, removalFailed);
    }

  private:
    // One row on its way out: the record as found, and a copy made only when a
    // stage changes it, since most rows pass through unchanged.
    class RowInProgress {
      public:
        explicit RowInProgress(const streamscan::StreamRecord& found) : found(&found) {}
        RowInProgress(const RowInProgress&) = delete;
        RowInProgress& operator=(const RowInProgress&) = delete;

        const streamscan::StreamRecord& record() const { return changed ? *changed : *found; }
        streamscan::StreamRecord& change() {
            if (!changed)
                changed = *found;
            return *changed;
        }
        bool isStream() const { return !record().streamName.empty(); }

        bool deleted = false;
        bool rulesAsked = false;
        StreamMatches matched;
        bool readFailed = false;  // its content could not be read whole
        RowExtras extras;

      private:
        const streamscan::StreamRecord* found;
        std::optional<streamscan::StreamRecord> changed;
    };

    // A deleted item's row says so first.
    void markDeleted(RowInProgress& row) {
        // The port says which items are deleted; their rows say so first.
        row.deleted = row.record().deleted;
        if (!row.deleted)
            return;
        streamscan::StreamRecord& record = row.change();
        record.note = deletedNote(record);
    }

    // A rule that matches makes the row an Alert before the filters and the
    // verdict see it.
    void matchRules(RowInProgress& row) {
        if (!rules || !row.isStream())
            return;
        row.rulesAsked = true;
        row.matched = rules->match(row.record(), fs);
        row.readFailed = !row.matched.error.empty() && !row.record().unreadable;
        if (!row.matched.matches.empty()) {
            streamscan::StreamRecord& record = row.change();
            record.severity = streamscan::kSeverityAlert;
            record.note = ruleMatchNote(row.matched);
        }
    }

    // Hashes and copies; content that could not be read whole, whichever read
    // found it out, was not examined: the row, the summary and the status say so.
    void readContent(RowInProgress& row) {
        if (content.has_value() && row.isStream()) {
            const std::uint64_t notRead = content->notRead();
            row.extras = content->take(row.record(), fs);
            row.extras.hashed = options.hash;
            row.readFailed =
                row.readFailed || (content->notRead() != notRead && !row.record().unreadable);
        }
        if (row.readFailed) {
            row.change().unreadable = true;
            ++unreadWhole;
        }
    }

    void show(const RowInProgress& row, const RowLayout& layout) {
        if (options.json) {
            console.out(jsonRow(row.record(), row.extras, row.rulesAsked ? &row.matched : nullptr));
            return;
        }
        if (outcome.rows == 1)
            console.out(formatHeader(layout));
        console.out(formatRow(row.record(), layout, settings.colour));
    }

    // What the report, the body file and the removal need after the scan.
    void keep(const RowInProgress& row, const streamscan::PlaceSink& placeSink) {
        const streamscan::StreamRecord& record = row.record();
        if (options.bodyFile.has_value() && row.isStream())
            bodyLines += bodyFileLine(record, row.extras);
        if (keepAll || isRemovalCandidate(record))
            kept.push_back(record);
        if (row.readFailed) {
            placeSink(streamscan::NotExaminedPlace{
                streamscan::streamPathOf(streamscan::hostPathOf(record, fs.pathStyle()),
                                         record.streamName, record.streamType),
                streamscan::PlaceKind::unreadableStream,
                streamscan::kErrorSuccess,
                {}});
        }
    }

    // Counts a row found; false when the filters leave it out.
    bool count(const streamscan::StreamRecord& record, bool deleted) {
        if (!record.streamName.empty() && (record.severity == streamscan::kSeverityNotice ||
                                           record.severity == streamscan::kSeverityAlert)) {
            outcome.flagged = true;
        }
        if (!options.filter.passes(record)) {
            ++outcome.filteredOut;
            return false;
        }
        ++outcome.rows;
        if (!record.streamName.empty()) {
            ++outcome.streamRows;
            if (deleted)
                ++outcome.deletedStreamRows;
        }
        return true;
    }

    // Escaped text for the person: stdout, or stderr when stdout carries JSON.
    void say(const std::u16string& text) {
        if (options.json) {
            console.err(shown(text));
        } else {
            console.out(shown(text));
        }
    }

    bool isRemovalCandidate(const streamscan::StreamRecord& record) const {
        return matchesRemovalName(record, options.removeNames);
    }

    bool askYes(std::u16string_view prompt) {
        // The question goes where the user is looking.
        const std::string text = shown(std::u16string(prompt));
        if (console.outIsTerminal() && !options.json) {
            console.out(text);
            console.flushOut();
        } else {
            console.flushOut();
            console.err(text);
        }
        const std::optional<std::string> answer = console.readLine();
        if (!answer.has_value())
            console.out("\n");
        return answer.has_value() && isYesAnswer(*answer);
    }

    // The roots by identity, links followed. Roots inside images are none of
    // the host's: the images themselves are what is kept then.
    std::vector<ScannedRoot> scannedRoots() const {
        std::vector<ScannedRoot> roots;
        if (fs.pathStyle() == streamscan::PathStyle::image)
            return roots;
        for (const std::u16string& root : prepared.roots)
            roots.push_back({streamscan::resolvedIdentity(root, fs), root});
        return roots;
    }

    // False, said, when the report may not be written where it was asked for.
    bool reportTargetUsable(const std::vector<ScannedRoot>& roots) {
        return reportTargetUsable(u"--csv", options.csvPath, roots) &&
               reportTargetUsable(u"--bodyfile", options.bodyFile, roots);
    }

    bool reportTargetUsable(std::u16string_view option, const std::optional<std::u16string>& target,
                            const std::vector<ScannedRoot>& roots) {
        if (!target.has_value())
            return true;
        streamscan::FileSystem& port = settings.outputPort != nullptr ? *settings.outputPort : fs;
        const std::u16string path = port.fullPath(*target);
        streamscan::KeptItems kept;
        kept.images = settings.imagesRead;
        kept.consoleFiles = console.fileIdentities();
        for (const ScannedRoot& root : roots)
            kept.roots.push_back(root.identity);
        const std::u16string refusal = streamscan::outputRefusal(path, kept, port);
        if (refusal.empty())
            return true;
        console.err(shown(std::u16string(kProgramName) + u": " + std::u16string(option) +
                          u" cannot use " + streamscan::escapeForDisplay(path) + u": " + refusal +
                          u"\n"));
        return false;
    }

    const CliOptions& options;
    const RunSettings& settings;
    Console& console;
    streamscan::FileSystem& fs;
    const PreparedRoots prepared;
    const bool keepAll;
    ScanOutcome outcome;
    std::vector<streamscan::StreamRecord> kept;
    OutputFolder outputFolder;
    std::optional<StreamContent> content;
    std::unique_ptr<RuleSet> rules;
    std::string bodyLines;
    std::uint64_t unreadWhole = 0;  // rows whose content a later read could not read whole
};

}  // namespace

int runScanner(const CliOptions& options, const RunSettings& settings, Console& console,
               streamscan::FileSystem& fs, const std::atomic<bool>& cancel) {
    ScanRun run(options, settings, console, fs);
    if (!run.prepareContent())
        return kExitUsage;
    run.scan(cancel);
    run.showSummary();
    if (!run.finishContent() || !run.writeReport() || !run.writeBody())
        return kExitInternal;
    const bool removalFailed = run.removeRequested(cancel);
    return run.withContent(run.exitStatusAfter(removalFailed));
}

}  // namespace tessalin::cli
