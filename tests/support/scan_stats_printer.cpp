#include "support/scan_stats_printer.h"

namespace streamscan {

void PrintTo(const ScanStats& stats, std::ostream* out) {
    const struct {
        const char* name;
        std::uint64_t value;
    } fields[] = {
        {"files", stats.files},
        {"folders", stats.folders},
        {"itemsWithStreams", stats.itemsWithStreams},
        {"streams", stats.streams},
        {"accessDenied", stats.accessDenied},
        {"listFailed", stats.listFailed},
        {"unreadableStreams", stats.unreadableStreams},
        {"linksNotFollowed", stats.linksNotFollowed},
        {"volumesWithoutStreams", stats.volumesWithoutStreams},
    };
    const char* separator = "";
    *out << "{";
    for (const auto& field : fields) {
        if (field.value != 0) {
            *out << separator << "." << field.name << " = " << field.value;
            separator = ", ";
        }
    }
    if (stats.cancelled) {
        *out << separator << ".cancelled = true";
    }
    *out << "}";
}

}  // namespace streamscan
