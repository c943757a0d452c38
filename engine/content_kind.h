// What a stream's content is, told from its first bytes: programs and scripts
// (hidden payloads), and containers that can carry code (malicious documents).
// One table decides it for every front end.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace streamscan {

enum class ContentKind : std::uint8_t {
    unknown,  // nothing recognised, or nothing read
    // Programs and scripts: Alerts.
    windowsExe,
    windowsDll,
    elf,
    machO,
    shebangScript,
    encodedPowerShell,
    htmlApplication,
    vbScript,
    jScript,
    // Containers that can carry code: Notices.
    zip,
    officeOpenXml,
    oleCompound,
    cabinet,
    rar,
    sevenZip,
    pdf,
    shellLink,
};

// Reads what was read of a stream (its first bytes, up to the probe's limit).
ContentKind contentKindOf(std::span<const std::uint8_t> head);
// Runs code when opened: an Alert. Otherwise, a recognised kind is a Notice.
bool isProgramKind(ContentKind kind);
// "elf", "zip", ...: the name JSON and reports give; empty for unknown.
std::u16string_view contentKindKey(ContentKind kind);
// The row's note: "Stream content is an ELF executable". Empty for unknown.
std::u16string_view contentKindNote(ContentKind kind);
// What the note says the content is, as a phrase ("an ELF executable"), for
// a labelled line. Empty for unknown.
std::u16string_view contentKindPhrase(ContentKind kind);
// Bits per byte over `bytes` (0 to 8); 0 for no bytes.
double entropyOf(std::span<const std::uint8_t> bytes);

}  // namespace streamscan
