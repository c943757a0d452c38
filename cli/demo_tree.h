// --demo: a small tree in a new temporary folder whose streams show what the
// scanner explains. On Linux the streams are user. attributes; on Windows real
// named streams (file:name), where the volume keeps them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tessalin::cli {

// One sample: a folder or a file (by its path below the demo folder, '/'
// separated), and optionally one stream on it.
struct DemoSample {
    std::u16string_view path;
    bool folder = false;
    std::string_view content;  // a file's own content
    std::u16string_view streamName;
    std::string_view streamContent;
};

// The samples, parents before children.
const std::vector<DemoSample>& demoSamples();

struct DemoTree {
    std::u16string root;                // empty when the folder could not be made
    std::vector<std::u16string> notes;  // what could not be made, and why (raw text)
    std::u16string error;               // why the folder could not be made
};

// Makes the tree under the temporary folder (TMPDIR or /tmp; on Windows the
// system's temporary folder).
DemoTree makeDemoTree();

// "Sample tree made in: ROOT" and the notes, escaped, lines ended by "\n".
std::u16string demoIntroText(const DemoTree& tree);
// Where to look afterwards.
std::u16string demoClosingText(const DemoTree& tree);

}  // namespace tessalin::cli
