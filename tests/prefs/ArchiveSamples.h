#pragma once

// Hand-written XML keyed archives, for the shapes that no encoder of ours produces: missing
// keys, other kinds, other archivers' habits and damage.

#include <string>
#include <vector>

namespace lumenarc::test {

inline std::string uid(int index) {
    return "<dict><key>CF$UID</key><integer>" + std::to_string(index) + "</integer></dict>";
}

inline std::string xmlString(const std::string& text) {
    return "<string>" + text + "</string>";
}

inline std::string classEntry(const std::string& name) {
    return "<dict><key>$classname</key>" + xmlString(name) + "<key>$classes</key><array>" +
           xmlString(name) + xmlString("NSObject") + "</array></dict>";
}

inline std::string xmlKeyedArchive(const std::vector<std::string>& objects, int root = 1) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<plist version=\"1.0\">\n<dict>\n"
                       "<key>$archiver</key><string>NSKeyedArchiver</string>\n"
                       "<key>$version</key><integer>100000</integer>\n"
                       "<key>$top</key><dict><key>root</key>" +
                       uid(root) + "</dict>\n<key>$objects</key><array>\n";
    for (const auto& object : objects) {
        text += object + "\n";
    }
    return text + "</array>\n</dict>\n</plist>\n";
}

// An archived NSDictionary of one key, both given as object indices.
inline std::string dictionaryEntry(int key, int value, int classIndex) {
    return "<dict><key>NS.keys</key><array>" + uid(key) + "</array><key>NS.objects</key><array>" +
           uid(value) + "</array><key>$class</key>" + uid(classIndex) + "</dict>";
}

// The usual layout with the manager's keyed values given as XML: 0 "$null", 1 the root
// dictionary, 2 "prefs", 3 the manager, 4 its class, 5 the dictionary class, then `extra`
// from index 6 on.
inline std::string xmlPrefsArchive(const std::string& managerKeys,
                                   const std::vector<std::string>& extra = {}) {
    std::vector<std::string> objects = {
        xmlString("$null"),
        dictionaryEntry(2, 3, 5),
        xmlString("prefs"),
        "<dict>" + managerKeys + "<key>$class</key>" + uid(4) + "</dict>",
        classEntry("PrefsManager"),
        classEntry("NSDictionary"),
    };
    objects.insert(objects.end(), extra.begin(), extra.end());
    return xmlKeyedArchive(objects);
}

// All eight keys with values unlike the defaults; DefaultMap refers to object 6.
inline std::string fullManagerKeys() {
    return "<key>LoopByDefault</key><true/>"
           "<key>QuitWhenMovieFinishes</key><true/>"
           "<key>StartupInFulLScreen</key><true/>"
           "<key>Volume</key><real>0.25</real>"
           "<key>DefaultMap</key>" +
           uid(6) +
           "<key>hscreens</key><integer>3</integer>"
           "<key>vscreens</key><integer>2</integer>"
           "<key>hideMouse</key><true/>";
}

inline std::string fullPrefsArchive() {
    return xmlPrefsArchive(fullManagerKeys(), {xmlString("/maps/dome.data")});
}

} // namespace lumenarc::test
