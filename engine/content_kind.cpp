#include "engine/content_kind.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "engine/byte_order.h"

namespace streamscan {
namespace {

using Bytes = std::span<const std::uint8_t>;

struct KindText {
    ContentKind kind;
    std::u16string_view key;
    std::u16string_view note;
};

constexpr KindText kKinds[] = {
    {ContentKind::windowsExe, u"exe", u"Stream content is a Windows executable (EXE)"},
    {ContentKind::windowsDll, u"dll", u"Stream content is a Windows library (DLL)"},
    {ContentKind::elf, u"elf", u"Stream content is an ELF executable"},
    {ContentKind::machO, u"mach-o", u"Stream content is a Mach-O executable"},
    {ContentKind::shebangScript, u"script", u"Stream content is a script (#! line)"},
    {ContentKind::encodedPowerShell, u"powershell-encoded",
     u"Stream content is PowerShell with an encoded command"},
    {ContentKind::htmlApplication, u"hta", u"Stream content is an HTML application (HTA)"},
    {ContentKind::vbScript, u"vbscript", u"Stream content is VBScript"},
    {ContentKind::jScript, u"jscript", u"Stream content is JScript"},
    {ContentKind::zip, u"zip", u"Stream content is a ZIP archive"},
    {ContentKind::officeOpenXml, u"ooxml", u"Stream content is an Office document (OOXML)"},
    {ContentKind::oleCompound, u"ole",
     u"Stream content is an OLE compound file (Office 97-2003 or MSI)"},
    {ContentKind::cabinet, u"cab", u"Stream content is a cabinet archive (CAB)"},
    {ContentKind::rar, u"rar", u"Stream content is a RAR archive"},
    {ContentKind::sevenZip, u"7z", u"Stream content is a 7-Zip archive"},
    {ContentKind::pdf, u"pdf", u"Stream content is a PDF document"},
    {ContentKind::shellLink, u"lnk", u"Stream content is a Windows shell link (LNK)"},
};

const KindText* textOf(ContentKind kind) {
    for (const KindText& entry : kKinds) {
        if (entry.kind == kind)
            return &entry;
    }
    return nullptr;
}

bool startsWith(Bytes bytes, std::string_view magic) {
    if (bytes.size() < magic.size())
        return false;
    for (std::size_t i = 0; i < magic.size(); ++i) {
        if (bytes[i] != static_cast<std::uint8_t>(magic[i]))
            return false;
    }
    return true;
}

std::uint32_t bigEndian32(Bytes bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 |
           static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 3]);
}

// The text of the head with the letters A-Z folded, for markers that may be
// written in any case; bytes outside ASCII stay as they are.
std::string foldedText(Bytes bytes) {
    std::string text(bytes.begin(), bytes.end());
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool contains(const std::string& text, std::string_view marker) {
    return text.find(marker) != std::string::npos;
}

// MZ with the PE signature where e_lfanew says; the DLL bit of its file header
// tells a library from a program. A bare MZ is left to the older rule.
ContentKind portableExecutable(Bytes bytes) {
    constexpr std::size_t kPeOffsetField = 0x3C;
    constexpr std::uint16_t kDllCharacteristic = 0x2000;
    if (!startsWith(bytes, "MZ") || bytes.size() < kPeOffsetField + 4)
        return ContentKind::unknown;
    const std::uint64_t pe = littleEndian(bytes.data() + kPeOffsetField, 4);
    if (pe + 24 > bytes.size() || !startsWith(bytes.subspan(pe), std::string_view("PE\0\0", 4)))
        return ContentKind::unknown;
    const std::uint16_t characteristics =
        static_cast<std::uint16_t>(bytes[pe + 22] | bytes[pe + 23] << 8);
    return (characteristics & kDllCharacteristic) != 0 ? ContentKind::windowsDll
                                                       : ContentKind::windowsExe;
}

// CA FE BA BE is both a universal Mach-O binary and a Java class file; a
// universal binary holds a handful of architectures, a class file's version
// number is 45 or more.
bool isMachO(Bytes bytes) {
    constexpr std::uint32_t kMagics[] = {0xFEEDFACE, 0xFEEDFACF, 0xCEFAEDFE, 0xCFFAEDFE};
    if (bytes.size() < 4)
        return false;
    const std::uint32_t magic = bigEndian32(bytes, 0);
    for (const std::uint32_t candidate : kMagics) {
        if (magic == candidate)
            return true;
    }
    return magic == 0xCAFEBABE && bytes.size() >= 8 && bigEndian32(bytes, 4) < 45;
}

ContentKind scriptKind(Bytes bytes) {
    if (startsWith(bytes, "#!"))
        return ContentKind::shebangScript;
    const std::string text = foldedText(bytes);
    if (contains(text, "powershell") &&
        (contains(text, " -enc ") || contains(text, " -encodedcommand ") || contains(text, " -e ")))
        return ContentKind::encodedPowerShell;
    if (contains(text, "<hta:application"))
        return ContentKind::htmlApplication;
    if (contains(text, "vbscript") || contains(text, "wscript.createobject(") ||
        (contains(text, "createobject(") && contains(text, "\ndim ")))
        return ContentKind::vbScript;
    if (contains(text, "jscript") || contains(text, "new activexobject("))
        return ContentKind::jScript;
    return ContentKind::unknown;
}

ContentKind containerKind(Bytes bytes) {
    static constexpr std::array<std::uint8_t, 20> kShellLinkHeader = {
        0x4C, 0, 0, 0, 0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    if (startsWith(bytes, "PK\x03\x04")) {
        // OOXML puts [Content_Types].xml first; its name follows the 30-byte local header.
        constexpr std::string_view kContentTypes = "[Content_Types].xml";
        if (bytes.size() >= 30 + kContentTypes.size() &&
            startsWith(bytes.subspan(30), kContentTypes))
            return ContentKind::officeOpenXml;
        return ContentKind::zip;
    }
    if (startsWith(bytes, "PK\x05\x06"))
        return ContentKind::zip;
    if (startsWith(bytes, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return ContentKind::oleCompound;
    if (startsWith(bytes, "MSCF"))
        return ContentKind::cabinet;
    if (startsWith(bytes, "Rar!\x1A\x07"))
        return ContentKind::rar;
    if (startsWith(bytes, "7z\xBC\xAF\x27\x1C"))
        return ContentKind::sevenZip;
    if (startsWith(bytes, "%PDF-"))
        return ContentKind::pdf;
    if (bytes.size() >= kShellLinkHeader.size() &&
        std::equal(kShellLinkHeader.begin(), kShellLinkHeader.end(), bytes.begin()))
        return ContentKind::shellLink;
    return ContentKind::unknown;
}

}  // namespace

ContentKind contentKindOf(Bytes head) {
    if (const ContentKind pe = portableExecutable(head); pe != ContentKind::unknown)
        return pe;
    if (startsWith(head,
                   "\x7F"
                   "ELF"))
        return ContentKind::elf;
    if (isMachO(head))
        return ContentKind::machO;
    if (const ContentKind container = containerKind(head); container != ContentKind::unknown)
        return container;
    return scriptKind(head);
}

bool isProgramKind(ContentKind kind) {
    return kind >= ContentKind::windowsExe && kind <= ContentKind::jScript;
}

std::u16string_view contentKindKey(ContentKind kind) {
    const KindText* entry = textOf(kind);
    return entry != nullptr ? entry->key : std::u16string_view();
}

std::u16string_view contentKindNote(ContentKind kind) {
    const KindText* entry = textOf(kind);
    return entry != nullptr ? entry->note : std::u16string_view();
}

std::u16string_view contentKindPhrase(ContentKind kind) {
    // Every note of the table starts so; the phrase is the rest.
    constexpr std::u16string_view kLead = u"Stream content is ";
    const std::u16string_view note = contentKindNote(kind);
    return note.substr(std::min(note.size(), kLead.size()));
}

double entropyOf(Bytes bytes) {
    if (bytes.empty())
        return 0;
    std::array<std::uint32_t, 256> counts{};
    for (const std::uint8_t byte : bytes)
        ++counts[byte];
    double bits = 0;
    const double total = static_cast<double>(bytes.size());
    for (const std::uint32_t count : counts) {
        if (count != 0) {
            const double p = count / total;
            bits -= p * std::log2(p);
        }
    }
    return bits;
}

}  // namespace streamscan
