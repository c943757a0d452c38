#include <openssl/evp.h>

#include "engine/digest.h"

namespace streamscan {

struct Digest::State {
    EVP_MD_CTX* context = nullptr;
    bool usable = false;
};

Digest::Digest(DigestKind kind) : state(std::make_unique<State>()) {
    const EVP_MD* method = kind == DigestKind::sha1  ? EVP_sha1()
                           : kind == DigestKind::md5 ? EVP_md5()
                                                     : EVP_sha256();
    state->context = EVP_MD_CTX_new();
    state->usable =
        state->context != nullptr && EVP_DigestInit_ex(state->context, method, nullptr) == 1;
}

Digest::~Digest() {
    EVP_MD_CTX_free(state->context);
}

void Digest::update(const std::uint8_t* data, std::size_t size) {
    if (state->usable && size != 0)
        state->usable = EVP_DigestUpdate(state->context, data, size) == 1;
}

std::string Digest::finishHex() {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!state->usable || EVP_DigestFinal_ex(state->context, digest, &length) != 1)
        return {};
    state->usable = false;
    return lowerHex(digest, length);
}

}  // namespace streamscan
