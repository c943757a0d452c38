#include "support/scan_stats_printer.h"

namespace streamscan {

void PrintTo(const ScanStats& stats, std::ostream* out) {
    const std::pair<const char*, std::uint64_t> fields[] = {
        {"files", stats.files},
        {"folders", stats.folders},
        {"itemsWithStreams", stats.itemsWithStreams},
        {"streams", stats.streams},
        {"accessDenied", stats.accessDenied},
        {"listFailed", stats.listFailed},
        {"unreadableStreams", stats.unreadableStreams},
        {"linksNotFollowed", stats.linksNotFollowed},
        {"volumesWithoutStreams", stats.volumesWithoutStreams},
        {"cancelled", stats.cancelled ? 1 : 0},
    };
    const char* separator = "";
    *out << "{";
    for (const auto& [name, value] : fields) {
        if (value != 0) {
            *out << separator << "." << name << " = " << value;
            separator = ", ";
        }
    }
    *out << "}";
}

}  // namespace streamscan
