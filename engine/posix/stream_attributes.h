// Which extended attributes carry NTFS streams, and under which names. ntfs-3g
// shows the stream NAME as user.NAME; Samba's streams_xattr keeps NAME:TYPE as
// user.DosStream.NAME:TYPE with a trailing zero byte. Every other user.
// attribute is listed too, under the plain form, so nothing in user. is
// hidden; the two mappings never give one attribute two names nor two
// attributes one name and type. On a volume that is not NTFS, the attributes
// desktop programs and file servers keep for themselves are metadata, not
// streams (isMetadataAttribute); on NTFS each of them is a real stream.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace streamscan {

bool isStreamAttribute(std::string_view attribute);
// Tags, comments, sync state, checksums, Samba's own records (user.DOSATTRIB,
// user.SAMBA_PAI, the streams_depot marker). Download marks are no metadata:
// they say where a file came from.
bool isMetadataAttribute(std::string_view attribute);
// user.DosStream.NAME:TYPE with a name, and a type that begins with $ and has no colon.
bool isSambaStream(std::string_view attribute);
// The stream an attribute carries: user.NAME is NAME of type $DATA, and
// user.DosStream.NAME:TYPE is NAME of type TYPE.
struct AttributeStream {
    std::u16string name;
    std::u16string type;
};
AttributeStream streamOf(std::string_view attribute);
// The length of the stream a value holds: Samba's form ends in a zero byte
// that is not content, and only a zero byte is dropped.
std::size_t streamLengthOf(std::string_view attribute, std::string_view value);
// Every attribute that carries the stream name:type ($DATA in any letter case
// when empty), plain form first. A name that is no listing's yields none.
std::vector<std::string> attributesOfStream(std::u16string_view name, std::u16string_view type);

// Calls visit(name) for every name of an llistxattr answer.
template <typename Visit>
void forEachAttributeName(std::string_view names, Visit visit) {
    std::size_t position = 0;
    while (position < names.size()) {
        std::size_t end = names.find('\0', position);
        if (end == names.npos)
            end = names.size();
        if (end > position)
            visit(names.substr(position, end - position));
        position = end + 1;
    }
}

}  // namespace streamscan
