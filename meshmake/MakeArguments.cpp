#include "meshmake/MakeArguments.h"

#include "base/IntegerText.h"
#include "toolsupport/ToolArguments.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <set>

namespace lumenarc::meshmake {
namespace {

using tools::ToolArguments;

enum KindMask : unsigned { kMirror = 1, kDome = 2, kWall = 4, kRoom = kMirror | kDome, kAny = 7 };
enum class Type { Number, Count, Point, Lens, Flag, Path };

// A parsed option value.
struct Value {
    double number = 0;
    Vec3 point;
    Projector::Lens lens = Projector::Lens::Flat;
    std::string_view text;
};

struct Option {
    std::string_view name;
    unsigned kinds;
    unsigned requiredBy;
    Type type;
    double low;               // for numbers and counts: the smallest value taken
    double high;              // and the largest
    bool lowOpen;             // the smallest value itself is refused
    std::string_view value;   // what the help calls the value
    std::string_view expects; // what an error says the option takes
    std::string_view help;
    void (*store)(MakeRequest&, const Value&);
};

// Points are metres from the dome's centre; a kilometre is beyond any room.
constexpr double kFar = 1000;

const std::array kOptions{
    Option{"--out", kAny, kAny, Type::Path, 0, 0, false, "FILE", "a file name",
           "the mesh file to write (required)",
           [](MakeRequest& r, const Value& v) { r.out = v.text; }},
    Option{"--dome-radius", kRoom, 0, Type::Number, 0, kFar, true, "METRES",
           "a radius in metres above 0 (up to 1000)", "radius of the dome (default 2.5)",
           [](MakeRequest& r, const Value& v) { r.dome.domeRadius = v.number; }},
    Option{"--aperture", kRoom, 0, Type::Number, 0, 360, true, "DEGREES",
           "an angle in degrees above 0, up to 360",
           "aperture of the dome master, an equidistant fisheye (default 180)",
           [](MakeRequest& r, const Value& v) { r.dome.apertureDegrees = v.number; }},
    Option{"--tilt", kRoom, 0, Type::Number, -180, 180, false, "DEGREES",
           "an angle in degrees from -180 to 180",
           "tilt of the dome master's centre from the zenith towards the front (default 0)",
           [](MakeRequest& r, const Value& v) { r.dome.tiltDegrees = v.number; }},
    Option{"--projector", kRoom, kRoom, Type::Point, -kFar, kFar, false, "Y,Z",
           "a point Y,Z in metres, each from -1000 to 1000",
           "the projector's lens, in the x = 0 plane (required)",
           [](MakeRequest& r, const Value& v) { r.dome.projector.position = v.point; }},
    Option{"--aim", kRoom, kRoom, Type::Point, -kFar, kFar, false, "Y,Z",
           "a point Y,Z in metres, each from -1000 to 1000",
           "a point on the centre line of the projector's light (required)",
           [](MakeRequest& r, const Value& v) { r.dome.projector.aim = v.point; }},
    Option{"--lens", kRoom, 0, Type::Lens, 0, 0, false, "flat|fisheye", "flat or fisheye",
           "the projector's lens (default flat)",
           [](MakeRequest& r, const Value& v) { r.dome.projector.lens = v.lens; }},
    Option{"--throw", kRoom, 0, Type::Number, 0, 100, true, "RATIO", "a ratio above 0, up to 100",
           "flat lens: throw ratio, distance over picture width (default 1.5)",
           [](MakeRequest& r, const Value& v) { r.dome.projector.throwRatio = v.number; }},
    Option{"--offset", kRoom, 0, Type::Number, -100, 100, false, "HALF-HEIGHTS",
           "a number from -100 to 100",
           "flat lens: lens shift in half picture heights, up is positive (default 0)",
           [](MakeRequest& r, const Value& v) { r.dome.projector.offset = v.number; }},
    Option{"--lens-aperture", kRoom, 0, Type::Number, 0, 360, true, "DEGREES",
           "an angle in degrees above 0, up to 360",
           "fisheye lens: aperture of its circle, which fills the picture's height (default 180)",
           [](MakeRequest& r, const Value& v) { r.dome.projector.lensApertureDegrees = v.number; }},
    Option{"--mirror", kMirror, kMirror, Type::Point, -kFar, kFar, false, "Y,Z",
           "a point Y,Z in metres, each from -1000 to 1000",
           "centre of the spherical mirror (required)",
           [](MakeRequest& r, const Value& v) {
               r.dome.mirror = DomeRoom::Mirror{v.point, r.dome.mirror->radius};
           }},
    Option{"--mirror-radius", kMirror, 0, Type::Number, 0, kFar, true, "METRES",
           "a radius in metres above 0 (up to 1000)", "radius of the mirror (default 0.3)",
           [](MakeRequest& r, const Value& v) { r.dome.mirror->radius = v.number; }},
    Option{"--feather", kRoom, 0, Type::Number, 0, 100, false, "UNITS",
           "a width from 0 to 100 (half picture heights)",
           "fade the light to 0 over this width at the edge of the lit part and of the "
           "picture, in half picture heights (default 0: no fade)",
           [](MakeRequest& r, const Value& v) { r.dome.feather = v.number; }},
    Option{"--even-light", kRoom, 0, Type::Flag, 0, 0, false, "", "",
           "even light per unit of dome area: dim every node by the dome area its light "
           "covers over the largest such area (default off)",
           [](MakeRequest& r, const Value&) { r.dome.evenLight = true; }},
    Option{"--across", kWall, kWall, Type::Count, 1, 16, false, "N", "a whole number from 1 to 16",
           "projectors side by side (required)",
           [](MakeRequest& r, const Value& v) { r.wall.across = static_cast<int32_t>(v.number); }},
    Option{"--down", kWall, 0, Type::Count, 1, 16, false, "M", "a whole number from 1 to 16",
           "projectors one above another (default 1)",
           [](MakeRequest& r, const Value& v) { r.wall.down = static_cast<int32_t>(v.number); }},
    Option{"--overlap", kWall, kWall, Type::Number, 0, 0.5, false, "F", "a share from 0 to 0.5",
           "neighbours' overlap in the movie, a share of one picture's width or height "
           "(required)",
           [](MakeRequest& r, const Value& v) { r.wall.overlap = v.number; }},
    Option{"--gamma", kAny, 0, Type::Number, 0.2, 5, false, "G", "a number from 0.2 to 5",
           "the projectors' gamma: light goes as brightness^G, so blends and fades are "
           "made in light (default 2.2)",
           [](MakeRequest& r, const Value& v) { r.dome.gamma = r.wall.gamma = v.number; }},
    Option{
        "--aspect", kAny, 0, Type::Number, 0, 100, true, "RATIO", "a ratio above 0, up to 100",
        "a projector picture's width over its height "
        "(default 1.7777777778, 16:9)",
        [](MakeRequest& r, const Value& v) { r.dome.projector.aspect = r.wall.aspect = v.number; }},
    Option{"--cols", kAny, 0, Type::Count, 2, 1024, false, "C", "a whole number from 2 to 1024",
           "node columns across the picture (default 65); on a wall, across each "
           "projector outside the overlaps, which get as many as their blend needs (default 17)",
           [](MakeRequest& r, const Value& v) {
               r.dome.columns = r.wall.columns = static_cast<int32_t>(v.number);
           }},
    Option{"--rows", kAny, 0, Type::Count, 2, 1024, false, "R", "a whole number from 2 to 1024",
           "node rows up the picture (default 37); on a wall, per projector (default 9)",
           [](MakeRequest& r, const Value& v) {
               r.dome.rows = r.wall.rows = static_cast<int32_t>(v.number);
           }},
};

// The most nodes a wall mesh may have: its file stays far below the reader's limit.
constexpr double kMaxWallNodes = 2048.0 * 2048.0;

std::optional<Value> read(const Option& option, std::string_view text) {
    Value value;
    value.text = text;
    auto inRange = [&](double x) {
        return x <= option.high && (option.lowOpen ? x > option.low : x >= option.low);
    };
    switch (option.type) {
    case Type::Path:
        return text.empty() ? std::nullopt : std::optional{value};
    case Type::Flag:
        return value;
    case Type::Lens:
        if (text != "flat" && text != "fisheye") {
            return std::nullopt;
        }
        value.lens = text == "flat" ? Projector::Lens::Flat : Projector::Lens::Fisheye;
        return value;
    case Type::Count: {
        const auto n = IntegerText::whole(text);
        if (!n || !inRange(*n)) {
            return std::nullopt;
        }
        value.number = *n;
        return value;
    }
    case Type::Number: {
        const auto x = ToolArguments::parseDouble(text);
        if (!x || !inRange(*x)) {
            return std::nullopt;
        }
        value.number = *x;
        return value;
    }
    case Type::Point: {
        const auto comma = text.find(',');
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        const auto y = ToolArguments::parseDouble(text.substr(0, comma));
        const auto z = ToolArguments::parseDouble(text.substr(comma + 1));
        if (!y || !z || !inRange(*y) || !inRange(*z)) {
            return std::nullopt;
        }
        value.point = Vec3{0, *y, *z};
        return value;
    }
    }
    return std::nullopt;
}

const Option* find(std::string_view name) {
    for (const auto& option : kOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

std::string kindName(MakeRequest::Kind kind) {
    switch (kind) {
    case MakeRequest::Kind::Mirror:
        return "mirror";
    case MakeRequest::Kind::Dome:
        return "dome";
    case MakeRequest::Kind::Wall:
        return "wall";
    }
    return "";
}

unsigned maskOf(MakeRequest::Kind kind) {
    return kind == MakeRequest::Kind::Mirror ? kMirror
                                             : (kind == MakeRequest::Kind::Dome ? kDome : kWall);
}

std::string number(double x) {
    char text[48];
    std::snprintf(text, sizeof text, "%g", x);
    return text;
}

std::string point(const Vec3& p) {
    return number(p.y) + "," + number(p.z);
}

// The nodes a wall mesh gets along one direction.
double wallNodes(int projectors, int plain, double overlap, int steps) {
    return projectors * (plain + (overlap > 0 ? 2.0 * (steps + 1) : 0.0));
}

// One option's lines of help: its name and value, then its text wrapped in a column.
void appendHelp(std::string& text, const Option& option) {
    constexpr size_t kColumn = 26, kWidth = 80;
    std::string line("  ");
    line += option.name;
    if (!option.value.empty()) {
        line += ' ';
        line += option.value;
    }
    std::string_view words = option.help;
    while (!words.empty()) {
        const size_t end = words.find(' ');
        const auto word = words.substr(0, end);
        const size_t start = std::max(line.size() + 1, kColumn);
        if (line.size() > 2 && start + word.size() > kWidth && line.size() >= kColumn) {
            text += line;
            text += '\n';
            line.clear();
        }
        line.resize(std::max(line.size() + 1, kColumn), ' ');
        line += word;
        words = end == std::string_view::npos ? std::string_view{} : words.substr(end + 1);
    }
    text += line;
    text += '\n';
}

} // namespace

std::string MakeArguments::checkRoom(const MakeRequest& r) {
    const auto& d = r.dome;
    if (r.kind == MakeRequest::Kind::Wall) {
        const int steps = WallMeshMaker(r.wall).rampSteps();
        if (wallNodes(r.wall.across, r.wall.columns, r.wall.overlap, steps) *
                wallNodes(r.wall.down, r.wall.rows, r.wall.overlap, steps) >
            kMaxWallNodes) {
            return "the wall would need more than 2048 x 2048 nodes: give fewer --cols or --rows";
        }
        return {};
    }
    const Vec3& p = d.projector.position;
    if ((d.projector.aim - p).length() == 0.0) {
        return "--aim must differ from --projector";
    }
    if (p.length() >= d.domeRadius) {
        return "the projector at " + point(p) + " is not inside the dome (radius " +
               number(d.domeRadius) + " m)";
    }
    if (d.mirror && (p - d.mirror->centre).length() <= d.mirror->radius) {
        return "the mirror (centre " + point(d.mirror->centre) + ") contains the projector";
    }
    return {};
}

MakeArguments::Result MakeArguments::parse(std::span<const std::string_view> args) {
    for (const auto arg : args) {
        if (arg == "--help" || arg == "-h") {
            return Result{std::nullopt, true, {}};
        }
    }
    if (args.empty()) {
        return Result{std::nullopt, false, "make needs a kind: mirror, dome or wall"};
    }
    MakeRequest request;
    if (args[0] == "mirror") {
        request.kind = MakeRequest::Kind::Mirror;
        request.dome.mirror = DomeRoom::Mirror{};
    } else if (args[0] == "dome") {
        request.kind = MakeRequest::Kind::Dome;
    } else if (args[0] == "wall") {
        request.kind = MakeRequest::Kind::Wall;
    } else {
        return Result{std::nullopt, false,
                      "unknown kind " + std::string(args[0]) + ": mirror, dome or wall"};
    }
    const unsigned mask = maskOf(request.kind);
    const std::string kind = kindName(request.kind);
    std::set<std::string_view> given;
    for (size_t a = 1; a < args.size(); ++a) {
        const Option* option = find(args[a]);
        if (option == nullptr) {
            return Result{std::nullopt, false, "unknown option " + std::string(args[a])};
        }
        if ((option->kinds & mask) == 0) {
            return Result{std::nullopt, false,
                          std::string(option->name) + " is not an option of make " + kind};
        }
        std::string_view text;
        if (option->type != Type::Flag) {
            if (a + 1 >= args.size()) {
                return Result{std::nullopt, false, std::string(option->name) + " needs a value"};
            }
            text = args[++a];
        }
        const auto value = read(*option, text);
        if (!value) {
            return Result{std::nullopt, false,
                          std::string(option->name) + " takes " + std::string(option->expects) +
                              ", not '" + std::string(text) + "'"};
        }
        option->store(request, *value);
        given.insert(option->name);
    }
    for (const auto& option : kOptions) {
        if ((option.requiredBy & mask) != 0 && given.count(option.name) == 0) {
            return Result{std::nullopt, false,
                          "make " + kind + " needs " + std::string(option.name)};
        }
    }
    if (auto error = checkRoom(request); !error.empty()) {
        return Result{std::nullopt, false, error};
    }
    return Result{request, false, {}};
}

std::string MakeArguments::help() {
    std::string text =
        "Usage: lumenarc-mesh make mirror --out FILE --projector Y,Z --aim Y,Z --mirror Y,Z\n"
        "                         [options]\n"
        "       lumenarc-mesh make dome --out FILE --projector Y,Z --aim Y,Z [options]\n"
        "       lumenarc-mesh make wall --out FILE --across N --overlap F [options]\n"
        "\n"
        "Makes a mesh from the room's measurements.\n"
        "  mirror  a projector lighting a dome through a convex spherical mirror (fisheye mesh)\n"
        "  dome    a projector inside the dome, lighting it directly (fisheye mesh)\n"
        "  wall    N x M projectors shown full screen with hscreens N and vscreens M, their\n"
        "          pictures blended where they overlap in the movie (planar mesh)\n"
        "\n"
        "The room: the origin is the dome's centre, the viewpoint of the dome master; +z is up\n"
        "(the zenith), +y towards the front of the dome, +x to the right of an audience facing\n"
        "front. Lengths are in metres; every point is in the x = 0 plane, written Y,Z.\n"
        "Nodes whose light reaches the dome inside the master get brightness 1, the others 0.\n"
        "\n";
    const std::array<std::pair<unsigned, const char*>, 4> groups{{
        {kAny, "Every kind:"},
        {kRoom, "mirror and dome:"},
        {kMirror, "mirror:"},
        {kWall, "wall:"},
    }};
    for (const auto& [kinds, title] : groups) {
        text += title;
        text += '\n';
        for (const auto& option : kOptions) {
            if (option.kinds == kinds) {
                appendHelp(text, option);
            }
        }
        text += '\n';
    }
    text += "Exit status: 0 when the mesh is written, 1 when it cannot be written, 2 for\n"
            "arguments the command refuses.\n";
    return text;
}

} // namespace lumenarc::meshmake
