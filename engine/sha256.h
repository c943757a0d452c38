// SHA-256 through the platform's own implementation: libcrypto on Linux,
// BCrypt on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace streamscan {

class Sha256 {
  public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(const std::uint8_t* data, std::size_t size);
    // The digest in lowercase hex; the object is spent afterwards. Empty when the
    // platform's hash could not be used.
    std::string finishHex();

  private:
    struct State;
    std::unique_ptr<State> state;
};

inline std::string lowerHex(const unsigned char* bytes, std::size_t size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0xF];
    }
    return hex;
}

}  // namespace streamscan
