#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lumenarc {

// Where the view looks for its mesh at start. The view loads the candidates in order and keeps
// the first valid one; an invalid one is reported and the next is tried, so that a bad file
// never leaves a show without a picture.
class StartupMesh {
public:
    using FileExists = std::function<bool(const std::string& path)>;

    // "default.data" in the folder that holds the installed tree: three levels above the
    // resources.
    static std::string besideTheTree(const std::string& resourcePath) {
        return resourcePath + "/../../../default.data";
    }
    // The built-in mesh among the resources.
    static std::string builtIn(const std::string& resourcePath) {
        return resourcePath + "/rect.data";
    }
    // The preferences' default map where a file exists there, then "default.data" beside the
    // tree where one exists, then the built-in mesh, which is always tried last. A path is not
    // listed twice.
    static std::vector<std::string> candidates(const std::optional<std::string>& defaultMap,
                                               const std::string& resourcePath,
                                               const FileExists& exists);
};

} // namespace lumenarc
