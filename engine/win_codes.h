// Win32 error codes and attribute bits the engine counts and reports with.
// Every port speaks these values, so the counting rules are one code on every platform.
#pragma once

#include <cstdint>

namespace streamscan {

inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorInvalidFunction = 1;
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kErrorNoMoreFiles = 18;
inline constexpr std::uint32_t kErrorWriteProtect = 19;
inline constexpr std::uint32_t kErrorNotReady = 21;
inline constexpr std::uint32_t kErrorSharingViolation = 32;
inline constexpr std::uint32_t kErrorLockViolation = 33;
inline constexpr std::uint32_t kErrorHandleEof = 38;
inline constexpr std::uint32_t kErrorNotSupported = 50;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorDiskFull = 112;
inline constexpr std::uint32_t kErrorInvalidName = 123;
inline constexpr std::uint32_t kErrorFilenameTooLong = 206;
inline constexpr std::uint32_t kErrorUnrecognizedVolume = 1005;
inline constexpr std::uint32_t kErrorFileCorrupt = 1392;
// The item a removal was to act on is not the one the scan listed (an
// application code: the customer bit, above every errno code).
inline constexpr std::uint32_t kErrorItemChanged = 0x20010001;
// A stream on an NTFS volume whose mount shows none (ntfs-3g's none mode, the
// kernel's drivers): there is no way to it through the mount.
inline constexpr std::uint32_t kErrorStreamsHiddenByMount = 0x20010002;
// The codes this program makes for itself, said in words without a number.
inline constexpr std::uint32_t kOwnCodes = 0x20010000;
// Codes made from a Linux errno e are kErrorFromErrno | e (the customer bit).
inline constexpr std::uint32_t kErrorFromErrno = 0x20000000;

inline constexpr std::uint32_t kAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kAttributeHidden = 0x2;
inline constexpr std::uint32_t kAttributeSystem = 0x4;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeArchive = 0x20;
inline constexpr std::uint32_t kAttributeNormal = 0x80;
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

inline constexpr std::uint32_t kFileNamedStreams = 0x00040000;

}  // namespace streamscan
