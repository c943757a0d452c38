#include "cli/removal_flow.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "cli/row_filter.h"
#include "engine/display_escape.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "engine/value_text.h"

namespace tessalin::cli {

bool matchesRemovalName(const streamscan::StreamRecord& record,
                        const std::vector<std::u16string>& patterns) {
    if (record.streamName.empty())
        return false;
    for (const std::u16string& pattern : patterns) {
        if (wildcardMatches(pattern, record.streamName))
            return true;
    }
    return false;
}

ConfirmationWording confirmationWordingFor(streamscan::PathStyle style) {
    const bool windows = style == streamscan::PathStyle::windows;
    return {windows, windows};
}

bool isYesAnswer(std::string_view answer) {
    while (!answer.empty() && (answer.front() == ' ' || answer.front() == '\t'))
        answer.remove_prefix(1);
    while (!answer.empty() &&
           (answer.back() == ' ' || answer.back() == '\t' || answer.back() == '\r'))
        answer.remove_suffix(1);
    std::u16string lower;
    for (const char c : answer)
        lower += streamscan::asciiLower(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return lower == u"y" || lower == u"yes";
}

bool runRemoval(const std::vector<streamscan::StreamRecord>& rows, const RemovalRequest& request,
                const RemovalIo& io, streamscan::FileSystem& fs) {
    std::u16string shownNames;
    for (std::size_t i = 0; i < request.names.size(); ++i) {
        if (i != 0)
            shownNames += i + 1 == request.names.size() ? u" or " : u", ";
        shownNames += u'\'' + streamscan::escapeForDisplay(request.names[i]) + u'\'';
    }
    if (request.scanCancelled) {
        // Removing part of what was asked, silently, would read as done.
        io.say(u"The scan was cancelled, so nothing was removed: streams named " + shownNames +
               u" may sit in the part of the tree it never reached.\n");
        return true;
    }
    std::vector<std::uint64_t> selection;
    // Each stream name the patterns reached, with how many listed streams carry it.
    std::vector<std::pair<std::u16string, std::uint64_t>> byName;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!matchesRemovalName(rows[i], request.names))
            continue;
        selection.push_back(i);
        auto known = std::find_if(byName.begin(), byName.end(), [&](const auto& each) {
            return each.first == rows[i].streamName;
        });
        if (known == byName.end()) {
            byName.emplace_back(rows[i].streamName, 1);
        } else {
            ++known->second;
        }
    }
    if (selection.empty()) {
        io.say(u"No listed stream is named " + shownNames + u", so there is nothing to remove.\n");
        return false;
    }
    std::u16string names = u"Streams to remove, by name:\n";
    for (const auto& [name, count] : byName) {
        names += u"    " + streamscan::countPhrase(count, u"stream", u"streams") + u" named '" +
                 streamscan::escapeForDisplay(name) + u"'\n";
    }

    const DeletePlan plan = planDelete(rows, selection, fs.pathStyle());
    if (plan.targets.empty()) {
        io.say(nothingRemovableMessage(plan).text + u"\n");
        return true;
    }
    const std::u16string question = confirmationMessage(plan, request.wording).text;
    if (request.askFirst) {
        if (!io.confirm(names + question + u" [y/N] ")) {
            io.say(u"Nothing was removed.\n");
            return false;
        }
    } else {
        io.say(names + question + u" yes (--yes)\n");
    }

    const streamscan::RemovalResult result =
        streamscan::RemoveStreams(plan.targets, fs, io.keepGoing);
    const DeleteAftermath after = applyRemovalResult(plan, result, rows.size());
    io.say(removalResultMessage(result, after.failureLines).text + u"\n");
    if (result.outcomes.size() < plan.targets.size()) {
        io.say(u"The removal was stopped there: " +
               streamscan::countPhrase(plan.targets.size() - result.outcomes.size(), u"stream",
                                       u"streams") +
               u" left as found.\n");
    }
    return result.failedCount != 0 || result.refusedCount != 0 || !plan.refusedLines.empty();
}

}  // namespace tessalin::cli
