#include "desktop/store/device_operations.h"

#include "desktop/store/orx_exception.h"

namespace quillet {

std::vector<std::optional<EntryId>> DeviceOperations::write_messages(
    BoxKind, std::span<const SmsWireRecord>) {
    throw ORX_Exception("this phone's agent cannot restore");
}

std::vector<bool> DeviceOperations::write_contacts(ContactTarget, std::span<const Contact>) {
    throw ORX_Exception("this phone's agent cannot restore");
}

}  // namespace quillet
