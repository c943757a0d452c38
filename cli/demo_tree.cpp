#include "cli/demo_tree.h"

#include "engine/display_escape.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

constexpr std::string_view kFromTheInternet =
    "[ZoneTransfer]\r\n"
    "ZoneId=3\r\n"
    "ReferrerUrl=https://downloads.example.net/tools/\r\n"
    "HostUrl=https://downloads.example.net/tools/setup.exe\r\n";
constexpr std::string_view kFromMail =
    "[ZoneTransfer]\r\n"
    "ZoneId=3\r\n"
    "HostUrl=https://mail.example.com/attachments/4711\r\n";
constexpr std::string_view kOutOfRangeZone = "[ZoneTransfer]\r\nZoneId=7\r\n";
// The start of a Windows program: what a payload hidden in a stream looks like.
constexpr std::string_view kExecutableImage{"MZ\x90\x00\x03\x00\x00\x00\x04\x00\x00\x00\xFF\xFF",
                                            14};

}  // namespace

const std::vector<DemoSample>& demoSamples() {
    static const std::vector<DemoSample> samples = {
        {u"Downloads", true, {}, {}, {}},
        {u"Downloads/setup.exe", false, kExecutableImage, u"Zone.Identifier", kFromTheInternet},
        {u"Downloads/odd-zone.txt", false, "notes\n", u"Zone.Identifier", kOutOfRangeZone},
        {u"Documents", true, {}, {}, {}},
        {u"Documents/report.txt", false, "Quarterly figures\n", u"payload", kExecutableImage},
        {u"Documents/readme.txt", false, "Read me\n", u"cleanup.ps1",
         "Remove-Item -Recurse $env:TEMP\\*\r\n"},
        // Shown as invoice<U+202E>txt.exe; on screen without the marker it would read
        // invoiceexe.txt.
        {u"Documents/invoice\u202Etxt.exe", false, kExecutableImage, u"Zone.Identifier", kFromMail},
        {u"Documents/plain.txt", false, "No streams here\n", {}, {}},
        {u"Tools", true, {}, {}, {}},
        {u"Tools/viewer.exe", false, kExecutableImage, u"SmartScreen", "Anaheim"},
        {u"Projects", true, {}, u"summary", "Folder notes kept beside the folder\n"},
    };
    return samples;
}

std::u16string demoIntroText(const DemoTree& tree) {
    std::u16string text =
        u"Sample tree made in: " + streamscan::escapeForDisplay(tree.root) + u"\n";
    for (const std::u16string& note : tree.notes) {
        text += streamscan::escapeForDisplay(note);
        text += u"\n";
    }
    text += u"\n";
    return text;
}

std::u16string demoClosingText(const DemoTree& tree) {
    return u"\nThe sample tree stays in " + streamscan::escapeForDisplay(tree.root) +
           u" for you to look at; remove it when you are done.\n";
}

}  // namespace tessalin::cli
