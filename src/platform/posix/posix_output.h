#pragma once
// What the parts of the POSIX platform layer share about the one open
// output. Not for use outside src/platform/posix.

#include <signal.h>
#include <sys/stat.h>

#include <climits>

namespace png2zeq::posix {

// Blocks every signal that the clean-up handles, saving the previous mask
// in `previous`, so that creating, placing or removing the temporary and
// (dis)arming the clean-up happen as one step.
void BlockCleanupSignals(sigset_t* previous);

// Records `temporaryPath` as the file to remove when a terminating signal
// arrives, and installs the handler for every such signal the process does
// not ignore. Called with the signals blocked.
void ArmCleanup(const char* temporaryPath);

// Puts back the actions ArmCleanup replaced. Called with the signals blocked.
void DisarmCleanup();

// While an output is open, a write beyond the file-size limit fails with
// EFBIG instead of ending the process: SIGXFSZ is ignored from
// IgnoreFileSizeSignal until RestoreFileSizeSignal.
void IgnoreFileSizeSignal();
void RestoreFileSizeSignal();

// Symbolic links followed before giving up, as the kernel would.
inline constexpr int kMostLinkHops = 40;

// Copies `text` into `buffer`; false when it does not fit.
bool CopyPath(const char* text, char (&buffer)[PATH_MAX]);

enum class LinkStep { NotALink, Followed, TooLong };

// When `path` names a symbolic link, replaces it by the path the link
// points to (a relative target is relative to the link's own directory) and
// returns Followed, or TooLong when that does not fit. NotALink leaves
// `path` as it was.
LinkStep FollowLink(char (&path)[PATH_MAX]);

// The descriptor `path` names when it is one of this process's own
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N, and links to them), or -1.
int NamedDescriptor(const char* path);

// False when the user may write `existing` (the file at `destination`) but
// may not replace it: another user's file in a sticky directory.
bool MayReplace(const char* destination, const struct stat& existing);

// Gives the temporary `toFd` what the file it replaces has: owner and group
// where the process may set them, extended attributes (access control lists
// among them) and mode, without ever granting a group the old file did not
// have. False when an extended attribute or the mode cannot be set.
bool CarryOverMetadata(int fromFd, int toFd, const struct stat& existing);

}  // namespace png2zeq::posix
