#include "engine/removal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_file_system.h"

namespace streamscan {
namespace {

TEST(WindowsErrorText, TableCodesAndEverythingElse) {
    struct Case {
        std::uint32_t code;
        std::u16string text;
    };
    const Case cases[] = {
        {1, u"Not supported by this file system (1)"},
        {2, u"Stream not found (2)"},
        {3, u"Path not found (3)"},
        {5, u"Access denied (5)"},
        {19, u"The volume is write protected (19)"},
        {21, u"The drive is not ready (21)"},
        {32, u"The file is in use by another program (32)"},
        {33, u"Part of the file is locked (33)"},
        {50, u"Not supported by this file system (50)"},
        {112, u"The disk is full (112)"},
        {123, u"The stream name is not valid (123)"},
        {206, u"The path is too long (206)"},
        {0, u"Windows error (0)"},
        {80, u"Windows error (80)"},
        {87, u"Windows error (87)"},
        {3221225477u, u"Windows error (3221225477)"},
        {0xFFFFFFFFu, u"Windows error (4294967295)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WindowsErrorText(c.code), c.text) << c.code;
    }
}

TEST(WindowsErrorText, ErrnoCodesUseTheSystemsOwnMessage) {
#ifdef _WIN32
    EXPECT_EQ(WindowsErrorText(kErrorFromErrno | 5), u"Windows error (536870917)");
#else
    EXPECT_EQ(WindowsErrorText(kErrorFromErrno | 5), u"Input/output error (errno 5)");
    EXPECT_EQ(WindowsErrorText(kErrorFromErrno | 40),
              u"Too many levels of symbolic links (errno 40)");
    // Not a Windows code: never "Windows error".
    const std::u16string unknown = WindowsErrorText(kErrorFromErrno | 0xFFFF);
    EXPECT_EQ(unknown.find(u"Windows error"), std::u16string::npos) << unknown.size();
    EXPECT_NE(unknown.find(u" (errno 65535)"), std::u16string::npos);
#endif
}

TEST(ValidateRemovalTarget, RefusalRulesApplyInOrder) {
    struct Case {
        const char* label;
        RemovalTarget target;
        std::u16string reason;  // empty: accepted
    };
    const std::u16string nameRule =
        u"The stream name contains \\, / or :, which would name another file";
    const std::u16string nulRule =
        u"The target contains an embedded NUL and would not reach the disk as the stream shown";
    const Case cases[] = {
        {"plain", {u"C:\\a.txt", u"Zone.Identifier", u"$DATA"}, u""},
        {"empty type", {u"C:\\a.txt", u"notes", u""}, u""},
        {"lower-case type", {u"C:\\a.txt", u"notes", u"$data"}, u""},
        {"empty name",
         {u"C:\\a.txt", u"", u"$DATA"},
         u"The stream name is empty, which names the file itself"},
        {"empty name wins over empty host",
         {u"", u"", u""},
         u"The stream name is empty, which names the file itself"},
        {"colon", {u"C:\\a.txt", u"a:b", u"$DATA"}, nameRule},
        {"backslash", {u"C:\\a.txt", u"..\\b", u""}, nameRule},
        {"slash at the end", {u"C:\\a.txt", u"x/", u""}, nameRule},
        {"index allocation",
         {u"C:\\dir", u"x", u"$INDEX_ALLOCATION"},
         u"The stream type is $INDEX_ALLOCATION, not $DATA"},
        {"bad type before empty host", {u"", u"x", u"$EA"}, u"The stream type is $EA, not $DATA"},
        {"non-ASCII fold is not a match",
         {u"C:\\a", u"x", u"$DAT\u0391"},
         u"The stream type is $DAT\u0391, not $DATA"},
        {"empty host", {u"", u"Zone.Identifier", u"$DATA"}, u"The host path is empty"},
        {"NUL in host", {std::u16string(u"C:\\a\0.exe", 9), u"x", u""}, nulRule},
        {"NUL in name", {u"C:\\a", std::u16string(u"x\0y", 3), u""}, nulRule},
        {"NUL in type",
         {u"C:\\a", u"x", std::u16string(u"$DATA\0", 6)},
         u"The stream type is $DATA<U+0000>, not $DATA"},
        // A type read from disk reaches a message box: its controls are shown, not obeyed.
        {"hostile type",
         {u"C:\\a", u"x", u"$D\u202E\r\nATAD$"},
         u"The stream type is $D<U+202E><U+000D><U+000A>ATAD$, not $DATA"},
    };
    for (const Case& c : cases) {
        std::u16string reason = u"left over";
        EXPECT_EQ(ValidateRemovalTarget(c.target, &reason), c.reason.empty()) << c.label;
        EXPECT_EQ(reason, c.reason) << c.label;
        EXPECT_EQ(ValidateRemovalTarget(c.target), c.reason.empty()) << c.label;
    }
}

RemovalTarget target(const std::u16string& host, const std::u16string& name,
                     const std::u16string& type = u"$DATA") {
    return {host, name, type};
}

TEST(RemoveStreams, EmptyListTouchesNothing) {
    FakeFileSystem fs;
    const RemovalResult result = RemoveStreams({}, fs);
    EXPECT_EQ(result.removedCount, 0u);
    EXPECT_EQ(result.failedCount, 0u);
    EXPECT_EQ(result.refusedCount, 0u);
    EXPECT_TRUE(result.outcomes.empty());
    EXPECT_EQ(fs.totalCalls(), 0u);
}

TEST(RemoveStreams, OneOutcomePerTargetInOrder) {
    FakeFileSystem fs;
    fs.addFile(u"C:\\dl\\setup.exe", "MZ");
    fs.addStream(u"C:\\dl\\setup.exe", u"Zone.Identifier", "[ZoneTransfer]\r\nZoneId=3\r\n");
    fs.addStream(u"C:\\dl\\setup.exe", u"notes", "keep me");
    fs.addStream(u"C:\\dl\\setup.exe", u"extra", "x");
    fs.addFile(u"C:\\dl\\busy.txt");
    fs.addStream(u"C:\\dl\\busy.txt", u"s", "x");
    fs.setFault(FakeOp::deleteStream, u"C:\\dl\\busy.txt:s:$DATA", {kErrorSharingViolation});

    const std::vector<RemovalTarget> targets = {
        target(u"C:\\dl\\setup.exe", u"Zone.Identifier"),
        target(u"C:\\dl\\setup.exe", u""),                 // would be the file itself
        target(u"C:\\dl\\setup.exe", u"zone.identifier"),  // the same stream again
        target(u"C:\\dl\\setup.exe", u"missing"),
        target(u"C:\\dl\\busy.txt", u"s"),
        target(u"C:\\dl\\setup.exe", u"extra", u"$data"),
        target(u"C:\\dl", u"x", u"$INDEX_ALLOCATION"),
    };
    const RemovalResult result = RemoveStreams(targets, fs);

    struct Expected {
        bool removed;
        std::u16string message;
    };
    const Expected expected[] = {
        {true, u""},
        {false, u"The stream name is empty, which names the file itself"},
        {false, u"Stream not found (2)"},
        {false, u"Stream not found (2)"},
        {false, u"The file is in use by another program (32)"},
        {true, u""},
        {false, u"The stream type is $INDEX_ALLOCATION, not $DATA"},
    };
    ASSERT_EQ(result.outcomes.size(), targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const RemovalOutcome& outcome = result.outcomes[i];
        EXPECT_EQ(outcome.hostPath, targets[i].hostPath) << i;
        EXPECT_EQ(outcome.streamName, targets[i].streamName) << i;
        EXPECT_EQ(outcome.streamType, targets[i].streamType) << i;
        EXPECT_EQ(outcome.removed, expected[i].removed) << i;
        EXPECT_EQ(outcome.message, expected[i].message) << i;
    }
    EXPECT_EQ(result.removedCount, 2u);
    EXPECT_EQ(result.failedCount, 3u);
    EXPECT_EQ(result.refusedCount, 2u);

    // Refused targets never reach the disk; duplicates are both attempted, and
    // the type goes down with its own letters.
    const std::vector<FakeStreamDelete> calls = fs.deleteStreamCalls();
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(calls[1].name, u"zone.identifier");
    EXPECT_EQ(calls[4].type, u"$data");
    for (const FakeStreamDelete& call : calls) {
        EXPECT_FALSE(call.name.empty());
    }
    EXPECT_TRUE(fs.exists(u"C:\\dl\\setup.exe"));
    EXPECT_EQ(fs.fileBytes(u"C:\\dl\\setup.exe"), "MZ");
    EXPECT_FALSE(fs.hasStream(u"C:\\dl\\setup.exe", u"Zone.Identifier"));
    EXPECT_FALSE(fs.hasStream(u"C:\\dl\\setup.exe", u"extra"));
    EXPECT_TRUE(fs.hasStream(u"C:\\dl\\setup.exe", u"notes"));
}

TEST(RemoveStreams, AccessDeniedNamesAReadOnlyHost) {
    FakeFileSystem fs;
    fs.addFile(u"C:\\ro.txt", "", kAttributeArchive | kAttributeReadOnly);
    fs.addStream(u"C:\\ro.txt", u"Zone.Identifier", "");
    fs.addFile(u"C:\\locked.txt");
    fs.addStream(u"C:\\locked.txt", u"s", "");
    fs.refuse(FakeOp::deleteStream, u"C:\\locked.txt:s:$DATA");
    fs.addFile(u"C:\\hidden.txt", "", kAttributeReadOnly);
    fs.addStream(u"C:\\hidden.txt", u"s", "");
    fs.refuse(FakeOp::plainAttributes, u"C:\\hidden.txt");

    const RemovalResult result =
        RemoveStreams({target(u"C:\\ro.txt", u"Zone.Identifier"), target(u"C:\\locked.txt", u"s"),
                       target(u"C:\\hidden.txt", u"s")},
                      fs);
    ASSERT_EQ(result.outcomes.size(), 3u);
    EXPECT_EQ(result.outcomes[0].message, u"The host file is read-only (5)");
    EXPECT_EQ(result.outcomes[1].message, u"Access denied (5)");
    // The diagnosis itself failed: the general text stays.
    EXPECT_EQ(result.outcomes[2].message, u"Access denied (5)");
    EXPECT_EQ(result.failedCount, 3u);

    // Named, never changed.
    std::uint32_t attributes = 0;
    ASSERT_EQ(fs.plainAttributes(u"C:\\ro.txt", attributes), 0u);
    EXPECT_NE(attributes & kAttributeReadOnly, 0u);
    EXPECT_TRUE(fs.hasStream(u"C:\\ro.txt", u"Zone.Identifier"));
    EXPECT_EQ(fs.deleteStreamCalls().size(), 3u);
}

TEST(RemoveStreams, RunningOutOfMemoryCountsTheRestAsFailed) {
    FakeFileSystem fs;
    for (const char16_t* name : {u"C:\\a", u"C:\\b", u"C:\\c", u"C:\\d"}) {
        fs.addFile(name);
        fs.addStream(name, u"s", "x");
    }
    FakeFault outOfMemory;
    outOfMemory.throwBadAlloc = true;
    fs.setFault(FakeOp::deleteStream, u"C:\\c:s:$DATA", outOfMemory);

    RemovalResult result;
    EXPECT_NO_THROW(result = RemoveStreams({target(u"C:\\a", u"s"), target(u"C:\\b", u""),
                                            target(u"C:\\c", u"s"), target(u"C:\\d", u"s")},
                                           fs));
    ASSERT_EQ(result.outcomes.size(), 2u);
    EXPECT_TRUE(result.outcomes[0].removed);
    EXPECT_FALSE(result.outcomes[1].removed);
    EXPECT_EQ(result.removedCount, 1u);
    EXPECT_EQ(result.refusedCount, 1u);
    EXPECT_EQ(result.failedCount, 2u);  // the one that broke and the one never reached
    EXPECT_TRUE(fs.hasStream(u"C:\\d", u"s"));
    EXPECT_EQ(fs.deleteStreamCalls().size(), 2u);
}

}  // namespace
}  // namespace streamscan
