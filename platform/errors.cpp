#include "platform/errors.h"

#include <cerrno>

namespace wux::platform {

WinError winErrorFromErrno(int errnoValue) noexcept
{
    switch (errnoValue) {
    case 0:
        return kErrorSuccess;
    case ENOENT:
        return kErrorFileNotFound;
    case ENOTDIR:
        return kErrorPathNotFound;
    case ELOOP:
        return kErrorCantResolveFilename;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
        return kErrorAccessDenied;
    case EBADF:
        return kErrorInvalidHandle;
    case ENOMEM:
        return kErrorNotEnoughMemory;
    case EMFILE:
    case ENFILE:
        return kErrorTooManyOpenFiles;
    case EXDEV:
        return kErrorNotSameDevice;
    case EAGAIN:
        return kErrorLockViolation;
    case EEXIST:
        return kErrorFileExists;
    case EINVAL:
        return kErrorInvalidParameter;
    case EPIPE:
        return kErrorBrokenPipe;
    case ENOSPC:
    case EDQUOT:
        return kErrorDiskFull;
    case ENOSYS:
        return kErrorCallNotImplemented;
    case ENOTEMPTY:
        return kErrorDirNotEmpty;
    case EBUSY:
        return kErrorBusy;
    case ENAMETOOLONG:
        return kErrorFilenameExcedRange;
    case EMLINK:
        return kErrorTooManyLinks;
    case EIO:
        return kErrorIoDevice;
    case ENXIO:
    case ENODEV:
        return kErrorNotReady;
    case EOPNOTSUPP:
        return kErrorNotSupported;
    case EFBIG:
        return kErrorDiskFull;
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
        return kErrorBadNetPath;
    default:
        return kErrorGenFailure;
    }
}

WinError lastErrnoAsWinError() noexcept
{
    return winErrorFromErrno(errno);
}

std::string errorText(WinError code)
{
    switch (code) {
    case kErrorSuccess:
        return "The operation completed successfully.";
    case kErrorInvalidFunction:
        return "Incorrect function.";
    case kErrorFileNotFound:
        return "The system cannot find the file specified.";
    case kErrorPathNotFound:
        return "The system cannot find the path specified.";
    case kErrorTooManyOpenFiles:
        return "The system cannot open the file.";
    case kErrorAccessDenied:
        return "Access is denied.";
    case kErrorInvalidHandle:
        return "The handle is invalid.";
    case kErrorNotEnoughMemory:
        return "Not enough memory resources are available to process this command.";
    case kErrorInvalidDrive:
        return "The system cannot find the drive specified.";
    case kErrorCurrentDirectory:
        return "The directory cannot be removed.";
    case kErrorNotSameDevice:
        return "The system cannot move the file to a different disk drive.";
    case kErrorNoMoreFiles:
        return "There are no more files.";
    case kErrorWriteProtect:
        return "The media is write protected.";
    case kErrorNotReady:
        return "The device is not ready.";
    case kErrorWriteFault:
        return "The system cannot write to the specified device.";
    case kErrorReadFault:
        return "The system cannot read from the specified device.";
    case kErrorGenFailure:
        return "A device attached to the system is not functioning.";
    case kErrorSharingViolation:
        return "The process cannot access the file because it is being used by another process.";
    case kErrorLockViolation:
        return "The process cannot access the file because another process has locked a portion of the "
               "file.";
    case kErrorHandleEof:
        return "Reached the end of the file.";
    case kErrorHandleDiskFull:
        return "The disk is full.";
    case kErrorNotSupported:
        return "The request is not supported.";
    case kErrorBadNetPath:
        return "The network path was not found.";
    case kErrorFileExists:
        return "The file exists.";
    case kErrorCannotMake:
        return "The directory or file cannot be created.";
    case kErrorInvalidParameter:
        return "The parameter is incorrect.";
    case kErrorBrokenPipe:
        return "The pipe has been ended.";
    case kErrorOpenFailed:
        return "The system cannot open the device or file specified.";
    case kErrorBufferOverflow:
        return "The file name is too long.";
    case kErrorDiskFull:
        return "There is not enough space on the disk.";
    case kErrorCallNotImplemented:
        return "This function is not supported on this system.";
    case kErrorInvalidName:
        return "The filename, directory name, or volume label syntax is incorrect.";
    case kErrorNegativeSeek:
        return "An attempt was made to move the file pointer before the beginning of the file.";
    case kErrorDirNotEmpty:
        return "The directory is not empty.";
    case kErrorBusy:
        return "The requested resource is in use.";
    case kErrorAlreadyExists:
        return "Cannot create a file when that file already exists.";
    case kErrorFilenameExcedRange:
        return "The filename or extension is too long.";
    case kErrorDirectory:
        return "The directory name is invalid.";
    case kErrorIoDevice:
        return "The request could not be performed because of an I/O device error.";
    case kErrorNoAssociation:
        return "No application is associated with the specified file for this operation.";
    case kErrorTooManyLinks:
        return "An attempt was made to create more links on a file than the file system supports.";
    case kErrorCantResolveFilename:
        return "The name of the file cannot be resolved by the system.";
    case kErrorInvalidData:
        return "The data is invalid.";
    case kErrorFileInvalid:
        return "The volume for a file has been externally altered so that the opened file is no longer valid.";
    default:
        return "Unknown error " + std::to_string(code) + ".";
    }
}

} // namespace wux::platform
