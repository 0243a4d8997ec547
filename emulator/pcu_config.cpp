#include "emulator/pcu_config.h"

namespace emulator {

IdentityRecord SignatureRecord(std::uint8_t model, std::uint8_t family) {
    return {0x11, model, family};
}

IdentityRecord VersionRecord(char letter, std::uint8_t number) {
    return {0x41, static_cast<std::uint8_t>(letter), number};
}

IdentityRecord VersionRecordA14i(std::uint8_t number) {
    return {0x13, 0x13, number};
}

}  // namespace emulator
