#include "engine/removal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_file_system.h"

namespace streamscan {
namespace {

// The table's own texts are the product's; only the look-ups around it are ours.
TEST(WindowsErrorText, TableCodesAndEverythingElse) {
    const std::pair<std::uint32_t, std::u16string> cases[] = {
        {50, u"Not supported by this file system (50)"},
        {0xFFFFFFFFu, u"Windows error (4294967295)"},
#ifndef _WIN32
        {kErrorFromErrno | 5, u"Input/output error (errno 5)"},
#endif
    };
    for (const auto& [code, text] : cases) {
        EXPECT_EQ(WindowsErrorText(code), text) << code;
    }
}

TEST(ValidateRemovalTarget, RefusalRulesApplyInOrder) {
    const std::u16string emptyName = u"The stream name is empty, which names the file itself";
    const std::u16string nameRule =
        u"The stream name contains \\, / or :, which would name another file";
    const std::u16string nul =
        u"The target contains an embedded NUL and would not reach the disk as the stream shown";
    const std::pair<RemovalTarget, std::u16string> cases[] = {
        {{u"C:\\a.txt", u"notes", u"$data"}, u""},
        {{u"", u"", u""}, emptyName},
        {{u"C:\\a.txt", u"a:b", u"$DATA"}, nameRule},
        {{u"C:\\a.txt", u"..\\b", u""}, nameRule},
        {{u"C:\\a.txt", u"x/", u""}, nameRule},
        {{u"", u"x", u"$EA"}, u"The stream type is $EA, not $DATA"},
        {{u"", u"Zone.Identifier", u"$DATA"}, u"The host path is empty"},
        {{std::u16string(u"C:\\a\0.exe", 9), u"x", u""}, nul},
        {{u"C:\\a", std::u16string(u"x\0y", 3), u""}, nul},
        // A type read from disk reaches a message box: its controls are shown, not obeyed.
        {{u"C:\\a", u"x", std::u16string(u"$D\u202E\r\nATA\0", 9)},
         u"The stream type is $D<U+202E><U+000D><U+000A>ATA<U+0000>, not $DATA"},
    };
    for (const auto& [target, expected] : cases) {
        std::u16string reason = u"left over";
        EXPECT_EQ(ValidateRemovalTarget(target, &reason), expected.empty());
        EXPECT_EQ(reason, expected);
    }
}

TEST(RemoveStreams, OneOutcomePerTargetInOrderAndAReadOnlyHostNamed) {
    FakeFileSystem fs;
    fs.addFile(u"C:\\dl\\setup.exe", "MZ");
    fs.addStream(u"C:\\dl\\setup.exe", u"Zone.Identifier", "x");
    fs.addStream(u"C:\\dl\\setup.exe", u"notes", "x");
    fs.addStream(u"C:\\dl\\busy.txt", u"s", "x");
    fs.setFault(FakeOp::deleteStream, u"C:\\dl\\busy.txt:s:$DATA", {kErrorSharingViolation});
    fs.addStream(u"C:\\ro.txt", u"s", "x");
    fs.setAttributes(u"C:\\ro.txt", kAttributeReadOnly);
    // Read-only too, but the diagnosis itself fails: the general text stays.
    fs.addStream(u"C:\\hidden.txt", u"s", "");
    fs.setAttributes(u"C:\\hidden.txt", kAttributeReadOnly);
    fs.refuse(FakeOp::plainAttributes, u"C:\\hidden.txt");

    const std::pair<RemovalTarget, std::u16string> cases[] = {
        {{u"C:\\dl\\setup.exe", u"Zone.Identifier", u"$data"}, u""},
        {{u"C:\\dl\\setup.exe", u"", u"$DATA"},
         u"The stream name is empty, which names the file itself"},
        {{u"C:\\dl\\setup.exe", u"zone.identifier", u""}, u"Stream not found (2)"},
        {{u"C:\\dl\\busy.txt", u"s", u""}, u"The file is in use by another program (32)"},
        {{u"C:\\ro.txt", u"s", u""}, u"The host file is read-only (5)"},
        {{u"C:\\hidden.txt", u"s", u""}, u"Access denied (5)"},
    };
    std::vector<RemovalTarget> targets;
    for (const auto& c : cases) {
        targets.push_back(c.first);
    }
    const RemovalResult result = RemoveStreams(targets, fs);
    ASSERT_EQ(result.outcomes.size(), targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const RemovalOutcome& outcome = result.outcomes[i];
        EXPECT_EQ(outcome.hostPath + outcome.streamName + outcome.streamType,
                  targets[i].hostPath + targets[i].streamName + targets[i].streamType);
        EXPECT_EQ(outcome.removed, cases[i].second.empty()) << i;
        EXPECT_EQ(outcome.message, cases[i].second) << i;
    }
    EXPECT_EQ(result.removedCount, 1u);
    EXPECT_EQ(result.failedCount, 4u);
    EXPECT_EQ(result.refusedCount, 1u);
    // A refused target never reaches the disk, and the type goes down as given.
    ASSERT_EQ(fs.deleteStreamCalls().size(), 5u);
    EXPECT_EQ(fs.deleteStreamCalls()[0].type, u"$data");
    EXPECT_TRUE(fs.hasStream(u"C:\\dl\\setup.exe", u"notes"));
    std::uint32_t attributes = 0;
    EXPECT_EQ(fs.plainAttributes(u"C:\\ro.txt", attributes), 0u);
    EXPECT_EQ(attributes, kAttributeReadOnly);  // named, never changed
}

TEST(RemoveStreams, RunningOutOfMemoryCountsTheRestAsFailed) {
    FakeFileSystem fs;
    for (const char16_t* name : {u"C:\\a", u"C:\\c", u"C:\\d"}) {
        fs.addStream(name, u"s", "x");
    }
    fs.setFault(FakeOp::deleteStream, u"C:\\c:s:$DATA", {.throwBadAlloc = true});
    const RemovalResult result = RemoveStreams(
        {{u"C:\\a", u"s", u""}, {u"C:\\b", u"", u""}, {u"C:\\c", u"s", u""}, {u"C:\\d", u"s", u""}},
        fs);
    EXPECT_EQ(result.outcomes.size(), 2u);
    EXPECT_EQ(result.removedCount, 1u);
    EXPECT_EQ(result.refusedCount, 1u);
    EXPECT_EQ(result.failedCount, 2u);  // the one that broke and the one never reached
    EXPECT_TRUE(fs.hasStream(u"C:\\d", u"s"));
}

}  // namespace
}  // namespace streamscan
