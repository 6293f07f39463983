// Replacing a file safely: the new content is written to a temporary file
// beside the original and renamed over it only when it was written
// completely and flushed to the disk, so a failure or a cancellation never
// leaves a damaged or truncated original.
//
// The temporary file has an unpredictable name and is created exclusively
// without following links (O_CREAT | O_EXCL | O_NOFOLLOW), so a link planted
// under a guessable name cannot redirect the write.  The replacement keeps the
// original's permission bits (a new file gets 0666 less the umask), and a
// name that is a symbolic link is written through: the file it points at is
// replaced and the link stays a link.  A file without write permission is
// refused and left alone.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/pvdefs.h"
#include "platform/stream.h"

namespace pictavo {

// Calls `write` with a new temporary file in the folder of `name`; when it
// returns true (and every write, the flush and the rename succeed) the
// temporary file replaces `name`.  Otherwise (or when it throws) the
// temporary file is removed, `name` is left as it was, and the result is
// false.  When `error` is given it receives the system's reason (code and
// "<system text>: <name>") for a failure the system reported, or an
// exception's message; it stays None when `write` itself answered false
// without a system error (the writer recorded its own reason).
bool PVReplaceFileWith(const std::string& name, const std::function<bool(TStream&)>& write,
                       TPVError* error = nullptr);
// The same with the whole new content in memory.
bool PVReplaceFile(const std::string& name, const uint8_t* data, int64_t size,
                   TPVError* error = nullptr);

// The same for routines that report failure by exception: `write` stores
// the content (and may throw); when the file cannot be replaced, the original
// stays as it was and EFCreateError is raised with the reason.
void PVReplaceFileOrRaise(const std::string& name, const std::function<void(TStream&)>& write);

// Whether PVReplaceFileWith could replace `name` now (the file, when it
// exists, is a writable regular file and its folder accepts new files); the
// reason otherwise.  For editing routines that want to say why before they
// start; the replacement itself checks again.
bool PVCanReplaceFile(const std::string& name, TPVError* error = nullptr);

// The error code for a system error number (ENOSPC: NoSpace, EACCES:
// PermissionDenied, ENOENT: FileNotFound, ...; `fallback` for the rest).
TPVErrorCode PVErrorCodeOfErrno(int errnum, TPVErrorCode fallback);
// "<strerror(errnum)>: <name>".
std::string PVErrnoMessage(int errnum, const std::string& name);

}  // namespace pictavo
