#include "view/StartupMesh.h"

#include <algorithm>

namespace lumenarc {

std::vector<std::string> StartupMesh::candidates(const std::optional<std::string>& defaultMap,
                                                 const std::string& resourcePath,
                                                 const FileExists& exists) {
    std::vector<std::string> out;
    const auto add = [&out](const std::string& path) {
        if (std::find(out.begin(), out.end(), path) == out.end()) {
            out.push_back(path);
        }
    };
    // An empty path never names a file, whatever the file system says about "".
    if (defaultMap && !defaultMap->empty() && exists(*defaultMap)) {
        add(*defaultMap);
    }
    if (const std::string beside = besideTheTree(resourcePath); exists(beside)) {
        add(beside);
    }
    add(builtIn(resourcePath));
    return out;
}

} // namespace lumenarc
