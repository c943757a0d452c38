#include <openssl/evp.h>

#include "engine/sha256.h"

namespace streamscan {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
    bool usable = false;
};

Sha256::Sha256() : state(std::make_unique<State>()) {
    state->context = EVP_MD_CTX_new();
    state->usable =
        state->context != nullptr && EVP_DigestInit_ex(state->context, EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(state->context);
}

void Sha256::update(const std::uint8_t* data, std::size_t size) {
    if (state->usable && size != 0)
        state->usable = EVP_DigestUpdate(state->context, data, size) == 1;
}

std::string Sha256::finishHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!state->usable || EVP_DigestFinal_ex(state->context, digest, &length) != 1)
        return {};
    state->usable = false;
    return lowerHex(digest, length);
}

}  // namespace streamscan
