// The sample tree on Linux: files whose streams are user. attributes, as ntfs-3g
// and Samba keep them, in a new folder under TMPDIR.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "cli/demo_tree.h"
#include "engine/unicode.h"

namespace tessalin::cli {
namespace {

std::u16string systemMessage(int error) {
    return streamscan::decodeName(std::strerror(error)) + u" (errno " +
           streamscan::widenAscii(std::to_string(error)) + u")";
}

bool writeBytes(const std::string& path, std::string_view content, int& error) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = errno;
        return false;
    }
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (close(fd) != 0) {
        error = errno;
        return false;
    }
    return true;
}

}  // namespace

DemoTree makeDemoTree() {
    DemoTree tree;
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    std::string pattern = base + "/tessalin-demo-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        tree.error = u"no folder could be made in " + streamscan::decodeName(base) + u": " +
                     systemMessage(errno);
        return tree;
    }
    tree.root = streamscan::decodeName(pattern);

    bool attributesRefused = false;
    for (const DemoSample& sample : demoSamples()) {
        const std::string path = pattern + "/" + streamscan::encodeName(sample.path);
        int error = 0;
        if (sample.folder) {
            if (mkdir(path.c_str(), 0755) != 0) {
                error = errno;
            }
        } else {
            writeBytes(path, sample.content, error);
        }
        if (error != 0) {
            tree.notes.push_back(std::u16string(sample.path) + u" could not be made: " +
                                 systemMessage(error));
            continue;
        }
        if (sample.streamName.empty())
            continue;
        const std::string attribute = "user." + streamscan::encodeName(sample.streamName);
        if (lsetxattr(path.c_str(), attribute.c_str(), sample.streamContent.data(),
                      sample.streamContent.size(), 0) == 0) {
            continue;
        }
        const int refused = errno;
        if (refused == ENOTSUP || refused == EOPNOTSUPP) {
            if (!attributesRefused) {
                attributesRefused = true;
                tree.notes.push_back(
                    u"The file system holding " + tree.root +
                    u" keeps no user. extended attributes (" + systemMessage(refused) +
                    u"), which is where streams live on Linux, so no sample stream could be "
                    u"made; the scan below shows what that looks like. Point TMPDIR at a "
                    u"folder on ext4, XFS, Btrfs or an ntfs-3g volume to see them.");
            }
            continue;
        }
        tree.notes.push_back(std::u16string(sample.path) + u":" +
                             std::u16string(sample.streamName) + u" could not be made: " +
                             systemMessage(refused));
    }
    return tree;
}

}  // namespace tessalin::cli
