#pragma once
// POSIX support for the exclusive read: which files can carry a lease, and
// keeping the lease-break notification from ending the program.

namespace scb {

// True for SMB/CIFS and NFS mounts, where a lease would only see local openers.
bool isNetworkFileSystem(int fd);

// A lease breaker makes the kernel signal the holder (SIGIO unless told
// otherwise), and SIGIO's default action ends the process. Installs a no-op
// handler once when SIGIO still has its default action; thread-safe.
void makeLeaseBreakSignalHarmless();

} // namespace scb
