#pragma once

#include "Sha256.h"

#include <cstddef>
#include <string>

// The SHA-256 of one regular file, read on the calling thread in reads of
// `bufferBytes`. 0 or the errno of the failure (see CSequentialReader).
int HashFile(const std::string& path, Sha256Digest& digest, std::size_t bufferBytes = std::size_t{1} << 20);
