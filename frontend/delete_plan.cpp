#include "frontend/delete_plan.h"

#include <functional>
#include <unordered_map>
#include <unordered_set>

#include "engine/display_escape.h"
#include "engine/path_forms.h"
#include "engine/platform_text.h"
#include "engine/stream_listing.h"
#include "engine/value_text.h"

namespace tessalin {
namespace {

using streamscan::PathStyle;
using streamscan::RemovalResult;
using streamscan::RemovalTarget;
using streamscan::StreamRecord;

constexpr std::u16string_view kDataType = u"$DATA";
constexpr std::u16string_view kReasonSeparator = u"  --  ";

constexpr std::u16string_view kUnblockParagraph =
    u"\n\nRemoving Zone.Identifier is the same thing as the Unblock button on a file's "
    u"Properties page: the file itself is untouched, and Windows stops treating it as "
    u"something that came from elsewhere.";
constexpr std::u16string_view kRecycleBinParagraph =
    u"\n\nRemoving any other stream throws its contents away. Streams do not go to the "
    u"Recycle Bin, and nothing here can put one back.";
constexpr std::u16string_view kRemoveThemQuestion = u"\n\nRemove them?";

bool sameName(std::u16string_view a, std::u16string_view b, PathStyle style) {
    if (style == PathStyle::posix)
        return a == b;
    return streamscan::ordinalEqualIgnoreCase(a, b);
}

std::u16string typeForComparison(const std::u16string& type) {
    return type.empty() ? std::u16string(kDataType) : type;
}

// Exact comparison: two spellings of one host are still counted as they are shown.
std::uint64_t distinctHostCount(const std::vector<RemovalTarget>& targets) {
    std::unordered_set<std::u16string_view> seen;
    for (const RemovalTarget& target : targets)
        seen.insert(target.hostPath);
    return seen.size();
}

// A key that two names equal under sameName always share, so a hash of it can
// find earlier targets without comparing every pair (Select All on a long list
// then Del must not take quadratic time). ASCII letters fold; every code unit that
// case mapping could bring together with another (non-ASCII units, and i and s,
// which dotless i and long s upper-case to) becomes one placeholder. Different
// names may share a key; sameRemovalTarget still decides.
std::u16string caseBlindKey(std::u16string_view name, PathStyle style) {
    if (style == PathStyle::posix)
        return std::u16string(name);
    std::u16string key(name);
    for (char16_t& c : key) {
        if (c >= 0x80) {
            c = 0;
        } else if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')) {
            c = static_cast<char16_t>(c | 0x20);
            if (c == u'i' || c == u's')
                c = 0;
        }
    }
    return key;
}

std::size_t targetHash(const RemovalTarget& target, PathStyle style) {
    const std::hash<std::u16string> hash;
    std::size_t h = hash(caseBlindKey(target.hostPath, style));
    h = h * 31 + hash(caseBlindKey(target.streamName, style));
    h = h * 31 + hash(caseBlindKey(typeForComparison(target.streamType), PathStyle::windows));
    return h;
}

}  // namespace

std::u16string removalDisplayName(const std::u16string& hostPath, const std::u16string& streamName,
                                  const std::u16string& streamType) {
    std::u16string name = hostPath + u" : " + streamName;
    if (!streamscan::isDataStreamType(streamType))
        name += u":" + streamType;
    return streamscan::escapeForDisplay(name);
}

RemovalTarget removalTargetOf(const StreamRecord& record, PathStyle style) {
    RemovalTarget target;
    target.hostPath = streamscan::hostPathOf(record, style);
    target.streamName = record.streamName;
    target.streamType = record.streamType;
    target.hostIdentity = record.hostIdentity;
    target.carrier = record.carrier;
    target.sidecarFile = record.sidecarFile;
    target.scanRoot = record.scanRoot;
    target.rootIdentity = record.rootIdentity;
    return target;
}

bool sameRemovalTarget(const RemovalTarget& a, const RemovalTarget& b, PathStyle style) {
    // A sidecar file and an attribute of one name, or two attribute forms of
    // one name, are different carriers: each its own row and its own target.
    if (a.sidecarFile != b.sidecarFile || a.carrier != b.carrier)
        return false;
    return sameName(a.hostPath, b.hostPath, style) && sameName(a.streamName, b.streamName, style) &&
           streamscan::ordinalEqualIgnoreCase(typeForComparison(a.streamType),
                                              typeForComparison(b.streamType));
}

std::u16string nameListText(const std::vector<std::u16string>& lines, std::size_t limit,
                            std::uint64_t total) {
    std::u16string text;
    const std::size_t shown = lines.size() < limit ? lines.size() : limit;
    const std::uint64_t all = total > lines.size() ? total : lines.size();
    for (std::size_t i = 0; i < shown; ++i) {
        text += u"\n    ";
        text += lines[i];
    }
    if (all > shown) {
        text += u"\n    ... and ";
        text += streamscan::groupedNumber(all - shown);
        text += u" more";
    }
    return text;
}

DeletePlan planDelete(const std::vector<StreamRecord>& records,
                      const std::vector<std::uint64_t>& selectedRecordIndices, PathStyle style) {
    DeletePlan plan;
    std::unordered_map<std::size_t, std::vector<std::size_t>> targetsByHash;
    for (const std::uint64_t index : selectedRecordIndices) {
        if (index >= records.size())
            continue;
        const StreamRecord& record = records[static_cast<std::size_t>(index)];
        if (record.streamName.empty()) {
            ++plan.rowsWithoutStream;
            continue;
        }
        RemovalTarget target = removalTargetOf(record, style);
        std::u16string reason;
        if (!streamscan::ValidateRemovalTarget(target, &reason)) {
            // The engine's reasons are already safe to show (it escapes the type it quotes).
            plan.refusedLines.push_back(
                removalDisplayName(target.hostPath, target.streamName, target.streamType) +
                std::u16string(kReasonSeparator) + reason);
            continue;
        }
        std::vector<std::size_t>& candidates = targetsByHash[targetHash(target, style)];
        bool merged = false;
        for (const std::size_t k : candidates) {
            if (sameRemovalTarget(plan.targets[k], target, style)) {
                plan.rowGroups[k].push_back(index);
                merged = true;
                break;
            }
        }
        if (merged)
            continue;
        candidates.push_back(plan.targets.size());
        plan.targetNames.push_back(
            removalDisplayName(target.hostPath, target.streamName, target.streamType));
        plan.rowGroups.push_back({index});
        plan.targets.push_back(std::move(target));
    }
    return plan;
}

BoxMessage selectStreamsFirstMessage() {
    return {std::u16string(kSelectStreamsFirstText), kInformationBox};
}

BoxMessage nothingRemovableMessage(const DeletePlan& plan) {
    std::u16string text(kNothingRemovableText);
    if (plan.rowsWithoutStream > 0) {
        text += u"\n\n";
        text += streamscan::countPhrase(plan.rowsWithoutStream, u"selected row is an item",
                                        u"selected rows are items");
        text += u" with no alternate stream at all, so there is nothing there to remove.";
    }
    if (!plan.refusedLines.empty()) {
        text += u"\n\n";
        text += streamscan::countPhrase(plan.refusedLines.size(), u"row was", u"rows were");
        text += u" refused:";
        text += nameListText(plan.refusedLines, kConfirmationListLimit);
    }
    return {std::move(text), kWarningBox};
}

BoxMessage confirmationMessage(const DeletePlan& plan, ConfirmationWording wording) {
    std::u16string text = u"Remove ";
    text += streamscan::countPhrase(plan.targets.size(), u"stream", u"streams");
    text += u" from ";
    text += streamscan::countPhrase(distinctHostCount(plan.targets), u"file", u"files");
    text += u"?\n";
    text += nameListText(plan.targetNames, kConfirmationListLimit);
    if (plan.rowsWithoutStream > 0) {
        text += u"\n\n";
        text += streamscan::countPhrase(plan.rowsWithoutStream, u"selected row has",
                                        u"selected rows have");
        text += u" no stream to remove and will be left alone.";
    }
    if (!plan.refusedLines.empty()) {
        text += u"\n\n";
        text +=
            streamscan::countPhrase(plan.refusedLines.size(), u"selected row", u"selected rows");
        text += u" cannot be removed and will be left alone:";
        text += nameListText(plan.refusedLines, kConfirmationListLimit);
    }
    if (wording.unblockParagraph)
        text += kUnblockParagraph;
    if (wording.recycleBinParagraph)
        text += kRecycleBinParagraph;
    text += kRemoveThemQuestion;
    return {std::move(text), kQuestionDefaultNoBox};
}

DeleteAftermath applyRemovalResult(const DeletePlan& plan, const RemovalResult& result,
                                   std::size_t recordCount) {
    DeleteAftermath after;
    after.removedMask.assign(recordCount, false);
    const std::size_t outcomeCount = result.outcomes.size();
    for (std::size_t k = 0; k < outcomeCount; ++k) {
        const streamscan::RemovalOutcome& outcome = result.outcomes[k];
        if (outcome.removed) {
            if (k >= plan.rowGroups.size())
                continue;
            for (const std::uint64_t index : plan.rowGroups[k]) {
                if (index < recordCount)
                    after.removedMask[static_cast<std::size_t>(index)] = true;
            }
            continue;
        }
        std::u16string line =
            removalDisplayName(outcome.hostPath, outcome.streamName, outcome.streamType);
        if (!outcome.message.empty()) {
            line += kReasonSeparator;
            line += outcome.message;
        }
        after.failureLines.push_back(std::move(line));
    }
    // A run cut short by lack of memory leaves the last targets without an outcome.
    // They were not removed either, so they are named too rather than passed over.
    for (std::size_t k = outcomeCount; k < plan.targetNames.size(); ++k) {
        after.failureLines.push_back(plan.targetNames[k]);
    }
    return after;
}

BoxMessage removalResultMessage(const RemovalResult& result,
                                const std::vector<std::u16string>& failureLines) {
    std::u16string text = u"Removed ";
    text += streamscan::countPhrase(result.removedCount, u"stream", u"streams");
    text += u".";
    const std::uint64_t notRemoved =
        static_cast<std::uint64_t>(result.failedCount) + result.refusedCount;
    const bool anyFailure = !failureLines.empty() || notRemoved > 0;
    if (anyFailure) {
        text += u"\n\n";
        text += streamscan::groupedNumber(notRemoved);
        text += u" could not be removed:";
        text += nameListText(failureLines, kFailureListLimit);
    }
    return {std::move(text), anyFailure ? kWarningBox : kInformationBox};
}

}  // namespace tessalin
