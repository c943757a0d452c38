#include "engine/posix/stream_attributes.h"

#include "engine/posix/dos_attributes.h"
#include "engine/posix/name_codec.h"
#include "engine/posix/stream_depot.h"
#include "engine/unicode.h"

namespace streamscan {
namespace {

constexpr std::string_view kUserPrefix = "user.";
constexpr std::string_view kSambaPrefix = "user.DosStream.";
constexpr std::u16string_view kDataType = u"$DATA";

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

}  // namespace

bool isStreamAttribute(std::string_view attribute) {
    return startsWith(attribute, kUserPrefix) && attribute.size() > kUserPrefix.size();
}

bool isMetadataAttribute(std::string_view attribute) {
    // The freedesktop.org attributes but the download marks, the sync and
    // search tools' records, and what Samba keeps beside a file's streams.
    static constexpr std::string_view kNames[] = {
        kDosAttributesName, "user.SAMBA_PAI",        kDepotMarkerName,         "user.xdg.comment",
        "user.xdg.tags",    "user.xdg.language",     "user.xdg.creator",       "user.xdg.publisher",
        "user.charset",     "user.xdg.robots.index", "user.xdg.robots.backup",
    };
    static constexpr std::string_view kPrefixes[] = {
        "user.com.dropbox.", "user.baloo.", "user.org.netatalk.", "user.checksum.", "user.rsync.%",
    };
    for (const std::string_view name : kNames) {
        if (attribute == name)
            return true;
    }
    for (const std::string_view prefix : kPrefixes) {
        if (startsWith(attribute, prefix))
            return true;
    }
    return false;
}

bool isSambaStream(std::string_view attribute) {
    if (!startsWith(attribute, kSambaPrefix))
        return false;
    const std::string_view rest = attribute.substr(kSambaPrefix.size());
    const std::size_t colon = rest.find(':');
    if (colon == 0 || colon == rest.npos)
        return false;
    const std::string_view type = rest.substr(colon + 1);
    return type.size() > 1 && type.front() == '$' && type.find(':') == type.npos;
}

AttributeStream streamOf(std::string_view attribute) {
    if (isSambaStream(attribute)) {
        const std::string_view rest = attribute.substr(kSambaPrefix.size());
        const std::size_t colon = rest.find(':');
        return {textOf(rest.substr(0, colon)), textOf(rest.substr(colon + 1))};
    }
    // Any other name reads as the plain form, also one that looks like Samba's
    // but does not parse: user.DosStream.:$DATA is the stream "DosStream.:$DATA",
    // which says where it came from.
    return {textOf(attribute.substr(kUserPrefix.size())), std::u16string(kDataType)};
}

std::size_t streamLengthOf(std::string_view attribute, std::string_view value) {
    if (!value.empty() && value.back() == '\0' && isSambaStream(attribute))
        return value.size() - 1;
    return value.size();
}

std::vector<std::string> attributesOfStream(std::u16string_view name, std::u16string_view type) {
    std::vector<std::string> found;
    if (name.empty())
        return found;
    const bool isData = type.empty() || equalsAsciiNoCase(type, kDataType);
    // The plain form: user.NAME for $DATA (a listed user.a:b comes back as the
    // name a:b, since the type is what follows the last colon).
    std::string plain;
    if (isData)
        plain = std::string(kUserPrefix) + bytesOf(name);
    if (!plain.empty() && isStreamAttribute(plain) && !isSambaStream(plain))
        found.push_back(std::move(plain));

    const std::string samba = std::string(kSambaPrefix) + bytesOf(name) + ":";
    const std::string asListed = samba + bytesOf(type.empty() ? kDataType : type);
    if (isSambaStream(asListed))
        found.push_back(asListed);
    // Windows takes $DATA in any letter case; Samba writes it in capitals.
    if (isData && !type.empty() && type != kDataType)
        found.push_back(samba + "$DATA");
    return found;
}

}  // namespace streamscan
