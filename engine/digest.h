// Digests of content through the platform's own implementation: libcrypto on
// Linux, BCrypt on Windows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace streamscan {

enum class DigestKind : std::uint8_t { sha256, sha1, md5 };

inline constexpr DigestKind kDigestKinds[] = {DigestKind::sha256, DigestKind::sha1,
                                              DigestKind::md5};

// "sha256", "sha1", "md5": the names options, JSON and the manifest use.
std::string_view digestName(DigestKind kind);
// The kind of a name (letters in any case); none for any other.
std::optional<DigestKind> digestNamed(std::u16string_view name);

class Digest {
  public:
    explicit Digest(DigestKind kind);
    ~Digest();
    Digest(const Digest&) = delete;
    Digest& operator=(const Digest&) = delete;

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
