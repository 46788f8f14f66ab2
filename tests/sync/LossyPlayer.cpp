// Linked into lumenarc-lossy, the player as the sync show test runs it: the same program, whose
// sync sockets receive through the poor network the environment asks for.
#include "sync/LossyNetwork.h"

namespace {

const bool g_installed = [] {
    lumenarc::test::LossyNetwork::installFromEnvironment();
    return true;
}();

} // namespace
