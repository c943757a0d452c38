#include <windows.h>

#include <bcrypt.h>

#include <vector>

#include "engine/digest.h"

namespace streamscan {

struct Digest::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    ULONG length = 0;
    bool usable = false;
};

Digest::Digest(DigestKind kind) : state(std::make_unique<State>()) {
    const wchar_t* algorithm = kind == DigestKind::sha1  ? BCRYPT_SHA1_ALGORITHM
                               : kind == DigestKind::md5 ? BCRYPT_MD5_ALGORITHM
                                                         : BCRYPT_SHA256_ALGORITHM;
    state->length = kind == DigestKind::sha1 ? 20 : kind == DigestKind::md5 ? 16 : 32;
    state->usable =
        BCryptOpenAlgorithmProvider(&state->algorithm, algorithm, nullptr, 0) >= 0 &&
        BCryptCreateHash(state->algorithm, &state->hash, nullptr, 0, nullptr, 0, 0) >= 0;
}

Digest::~Digest() {
    if (state->hash != nullptr)
        BCryptDestroyHash(state->hash);
    if (state->algorithm != nullptr)
        BCryptCloseAlgorithmProvider(state->algorithm, 0);
}

void Digest::update(const std::uint8_t* data, std::size_t size) {
    // BCryptHashData takes at most 4 GiB - 1 at a time.
    while (state->usable && size != 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        state->usable = BCryptHashData(state->hash, const_cast<PUCHAR>(data), piece, 0) >= 0;
        data += piece;
        size -= piece;
    }
}

std::string Digest::finishHex() {
    UCHAR digest[32];
    if (!state->usable || BCryptFinishHash(state->hash, digest, state->length, 0) < 0)
        return {};
    state->usable = false;
    return lowerHex(digest, state->length);
}

}  // namespace streamscan
