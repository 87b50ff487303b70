// Windows error numbers of the platform layer, their English texts, and the mapping from errno.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_time_type.h"

namespace wux::platform {

// A Windows system error number; 0 is success.
using WinError = std::uint32_t;

inline constexpr WinError kErrorSuccess = 0;
inline constexpr WinError kErrorInvalidFunction = 1;
inline constexpr WinError kErrorFileNotFound = 2;
inline constexpr WinError kErrorPathNotFound = 3;
inline constexpr WinError kErrorTooManyOpenFiles = 4;
inline constexpr WinError kErrorAccessDenied = 5;
inline constexpr WinError kErrorInvalidHandle = 6;
inline constexpr WinError kErrorNotEnoughMemory = 8;
inline constexpr WinError kErrorInvalidData = 13;
inline constexpr WinError kErrorInvalidDrive = 15;
inline constexpr WinError kErrorCurrentDirectory = 16;
inline constexpr WinError kErrorNotSameDevice = 17;
inline constexpr WinError kErrorNoMoreFiles = 18;
inline constexpr WinError kErrorWriteProtect = 19;
inline constexpr WinError kErrorNotReady = 21;
inline constexpr WinError kErrorWriteFault = 29;
inline constexpr WinError kErrorReadFault = 30;
inline constexpr WinError kErrorGenFailure = 31;
inline constexpr WinError kErrorSharingViolation = 32;
inline constexpr WinError kErrorLockViolation = 33;
inline constexpr WinError kErrorHandleEof = 38;
inline constexpr WinError kErrorHandleDiskFull = 39;
inline constexpr WinError kErrorNotSupported = 50;
inline constexpr WinError kErrorBadNetPath = 53;
inline constexpr WinError kErrorFileExists = 80;
inline constexpr WinError kErrorCannotMake = 82;
inline constexpr WinError kErrorInvalidParameter = 87;
inline constexpr WinError kErrorBrokenPipe = 109;
inline constexpr WinError kErrorOpenFailed = 110;
inline constexpr WinError kErrorBufferOverflow = 111;
inline constexpr WinError kErrorDiskFull = 112;
inline constexpr WinError kErrorCallNotImplemented = 120;
inline constexpr WinError kErrorInvalidName = 123;
inline constexpr WinError kErrorNegativeSeek = 131;
inline constexpr WinError kErrorDirNotEmpty = 145;
inline constexpr WinError kErrorBusy = 170;
inline constexpr WinError kErrorAlreadyExists = 183;
inline constexpr WinError kErrorFilenameExcedRange = 206;
inline constexpr WinError kErrorDirectory = 267;
inline constexpr WinError kErrorTooManyLinks = 1142;
inline constexpr WinError kErrorCantResolveFilename = 1921;
// A folder of a walk is no longer the one its parent's listing showed (swapped for a link or another
// folder meanwhile).
inline constexpr WinError kErrorFileInvalid = 1006;
inline constexpr WinError kErrorIoDevice = 1117;
inline constexpr WinError kErrorNoAssociation = 1155;

// The Windows error for an errno value (0 gives 0; an unknown value gives 31 "A device attached to the
// system is not functioning.").
WinError winErrorFromErrno(int errnoValue) noexcept;
// winErrorFromErrno(errno).
WinError lastErrnoAsWinError() noexcept;
// The English message text of a Windows error (e.g. 5 gives "Access is denied."); an unknown number
// gives "Unknown error " + the number + ".".
std::string errorText(WinError code);

} // namespace wux::platform
