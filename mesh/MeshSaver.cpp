#include "mesh/MeshSaver.h"

#include "mesh/MeshText.h"
#include "toolsupport/TempOutput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace lumenarc {
namespace {

namespace fs = std::filesystem;

bool writeText(const std::string& file, const std::string& text, std::string& why) {
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(file.c_str(), "w"), &std::fclose);
    if (!out) {
        why = std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), out.get()) == text.size();
    const int error = errno;
    if (std::fclose(out.release()) != 0 || !written) {
        why = std::strerror(written ? errno : error);
        return false;
    }
    return true;
}

// The temporary file takes the permissions of the file it is to replace.
void keepMode(const std::string& temp, const std::string& path) {
    struct stat old {};
    if (stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        chmod(temp.c_str(), old.st_mode & 07777);
    }
}

// Keeps the file at `path` as `original` unless there is nothing to keep or it is kept
// already. A hard link costs nothing; file systems without them get a copy.
bool keepOriginal(const std::string& path, const std::string& original, std::string& why) {
    std::error_code failed;
    if (!fs::exists(path, failed) || fs::exists(fs::symlink_status(original, failed))) {
        return true;
    }
    if (linkat(AT_FDCWD, path.c_str(), AT_FDCWD, original.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        errno == EEXIST) {
        return true;
    }
    if (fs::copy_file(path, original, fs::copy_options::none, failed)) {
        return true;
    }
    // A partial copy would later pass for the original.
    if (failed != std::errc::file_exists) {
        fs::remove(original, failed);
    }
    why = "the original cannot be kept as " + original;
    return false;
}

} // namespace

bool MeshSaver::save(const std::string& path, int32_t type, int32_t width, int32_t height,
                     std::span<const MeshVertex> nodes, bool keepOriginalFile, std::string& why) {
    std::string text;
    if (!MeshText::write(type, width, height, nodes, text, why)) {
        return false;
    }
    const auto temp = TempOutput::create(path, &why);
    if (!temp || !writeText(temp->path(), text, why)) {
        return false;
    }
    keepMode(temp->path(), path);
    if (keepOriginalFile && !keepOriginal(path, originalPath(path), why)) {
        return false;
    }
    return temp->commit(&why);
}

} // namespace lumenarc
