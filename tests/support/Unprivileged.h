#pragma once

#include <functional>
#include <string>

// Runs a check in a child process without the privileges of root, where
// file permissions are not enforced. Returns the check's result; a child
// that cannot drop its privileges or crashes counts as a failure. `folder`
// is opened up (chmod 0755 on it and its parents) so the child can reach it.
bool RunUnprivileged(const std::string& folder, const std::function<bool()>& check);
