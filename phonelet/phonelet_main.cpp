// phonelet: the agent the desktop program starts on the phone. It connects
// back to the desktop, carries out its commands until the connection ends,
// and exits with 0 in every case. It takes no arguments.
#include <array>

#include "phonelet/command_session.h"
#include "phonelet/desktop_connection.h"
#include "protocol/link_socket.h"
#include "protocol/wire_format.h"

int main() {
    quillet::DesktopConnection connection(quillet::link_port());
    if (!connection.connect())
        return 0;
    quillet::CommandSession session(connection);
    std::array<uint8_t, quillet::kCommandBlockSize> block{};
    while (connection.receive(block) == static_cast<int>(block.size())) {
        if (!session.dispatch(quillet::CommandBlock::decode(block)))
            break;
    }
    return 0;
}
