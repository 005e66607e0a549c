#pragma once

#include <functional>
#include <string>

// Runs a check in a child process without the privileges of root, where
// file permissions are not enforced. Returns the check's result; a child
// that cannot drop its privileges or crashes counts as a failure. `folder`
// is opened up (chmod 0755 on it and its parents) so the child can reach it.
bool RunUnprivileged(const std::string& folder, const std::function<bool()>& check);

// Makes the whole process an ordinary user (uid and gid 65534, no
// supplementary groups) when it runs as root, for tests that cannot fork
// once they are under way (a Qt application). Call it first thing in main:
// everything the process creates afterwards belongs to that user. HOME and
// XDG_RUNTIME_DIR are pointed at a fresh folder of the user's own, named in
// `home` (left empty when nothing changed) for the caller to remove at the
// end. True when the process is unprivileged afterwards.
bool BecomeUnprivileged(std::string& home);
