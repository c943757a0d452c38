#include <windows.h>

#include <bcrypt.h>

#include <vector>

#include "engine/sha256.h"

namespace streamscan {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool usable = false;
};

Sha256::Sha256() : state(std::make_unique<State>()) {
    state->usable =
        BCryptOpenAlgorithmProvider(&state->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) >= 0 &&
        BCryptCreateHash(state->algorithm, &state->hash, nullptr, 0, nullptr, 0, 0) >= 0;
}

Sha256::~Sha256() {
    if (state->hash != nullptr)
        BCryptDestroyHash(state->hash);
    if (state->algorithm != nullptr)
        BCryptCloseAlgorithmProvider(state->algorithm, 0);
}

void Sha256::update(const std::uint8_t* data, std::size_t size) {
    // BCryptHashData takes at most 4 GiB - 1 at a time.
    while (state->usable && size != 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        state->usable = BCryptHashData(state->hash, const_cast<PUCHAR>(data), piece, 0) >= 0;
        data += piece;
        size -= piece;
    }
}

std::string Sha256::finishHex() {
    UCHAR digest[32];
    if (!state->usable || BCryptFinishHash(state->hash, digest, sizeof digest, 0) < 0)
        return {};
    state->usable = false;
    return lowerHex(digest, sizeof digest);
}

}  // namespace streamscan
