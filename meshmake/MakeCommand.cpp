#include "meshmake/MakeCommand.h"

#include "meshmake/MakeArguments.h"
#include "toolsupport/TempOutput.h"

#include <cstdio>
#include <memory>
#include <string>

namespace lumenarc::meshmake {
namespace {

MeshGrid makeMesh(const MakeRequest& request) {
    if (request.kind == MakeRequest::Kind::Wall) {
        return WallMeshMaker(request.wall).make();
    }
    return DomeMeshMaker(request.dome).make();
}

bool writeMesh(const MeshGrid& grid, const std::string& out, std::string* why) {
    const auto temp = TempOutput::create(out, why);
    if (!temp) {
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(temp->path().c_str(), "w"), &std::fclose);
    if (!file || !grid.write(file.get()) || std::fclose(file.release()) != 0) {
        *why = "the file cannot be written";
        return false;
    }
    return temp->commit(why);
}

} // namespace

int MakeCommand::run(std::span<const std::string_view> args) {
    const auto parsed = MakeArguments::parse(args);
    if (parsed.help) {
        std::fputs(MakeArguments::help().c_str(), stdout);
        return 0;
    }
    if (!parsed.request) {
        std::fprintf(stderr, "lumenarc-mesh make: %s\n(see lumenarc-mesh make --help)\n",
                     parsed.error.c_str());
        return 2;
    }
    const auto grid = makeMesh(*parsed.request);
    std::string why;
    if (!writeMesh(grid, parsed.request->out, &why)) {
        std::fprintf(stderr, "lumenarc-mesh make: cannot write %s: %s\n",
                     parsed.request->out.c_str(), why.c_str());
        return 1;
    }
    std::printf("%s: %d x %d nodes, %.1f %% lit\n", parsed.request->out.c_str(), grid.width(),
                grid.height(), 100.0 * grid.litShare());
    return 0;
}

} // namespace lumenarc::meshmake
