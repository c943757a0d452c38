#include "engine/digest.h"

#include "engine/unicode.h"

namespace streamscan {

std::string_view digestName(DigestKind kind) {
    switch (kind) {
        case DigestKind::sha1:
            return "sha1";
        case DigestKind::md5:
            return "md5";
        case DigestKind::sha256:
            break;
    }
    return "sha256";
}

std::optional<DigestKind> digestNamed(std::u16string_view name) {
    for (const DigestKind kind : kDigestKinds) {
        const std::string_view known = digestName(kind);
        if (equalsAsciiNoCase(name, widenAscii(std::string(known))))
            return kind;
    }
    return std::nullopt;
}

}  // namespace streamscan
