#include "cli/removal_flow.h"

#include <cstdint>

#include "engine/display_escape.h"
#include "engine/removal.h"
#include "engine/unicode.h"
#include "engine/value_text.h"

namespace tessalin::cli {

bool matchesRemovalName(const streamscan::StreamRecord& record, std::u16string_view name) {
    return !record.streamName.empty() && streamscan::equalsAsciiNoCase(record.streamName, name);
}

ConfirmationWording platformConfirmationWording() {
#ifdef _WIN32
    return {true, true};
#else
    return {false, false};
#endif
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
    std::u16string shownName(1, u'\'');
    shownName += streamscan::escapeForDisplay(request.name);
    shownName += u'\'';
    if (request.scanCancelled) {
        // Removing part of what was asked, silently, would read as done.
        io.say(u"The scan was cancelled, so nothing was removed: streams named " + shownName +
               u" may sit in the part of the tree it never reached.\n");
        return true;
    }
    std::vector<std::uint64_t> selection;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (matchesRemovalName(rows[i], request.name))
            selection.push_back(i);
    }
    if (selection.empty()) {
        io.say(u"No listed stream is named " + shownName + u", so there is nothing to remove.\n");
        return false;
    }

    const DeletePlan plan = planDelete(rows, selection, fs.pathStyle());
    if (plan.targets.empty()) {
        io.say(nothingRemovableMessage(plan).text + u"\n");
        return true;
    }
    const std::u16string question = confirmationMessage(plan, request.wording).text;
    if (request.askFirst) {
        if (!io.confirm(question + u" [y/N] ")) {
            io.say(u"Nothing was removed.\n");
            return false;
        }
    } else {
        io.say(question + u" yes (--yes)\n");
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
