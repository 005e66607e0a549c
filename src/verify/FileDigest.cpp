#include "FileDigest.h"

#include "SequentialReader.h"

#include <memory>

int HashFile(const std::string& path, Sha256Digest& digest, std::size_t bufferBytes) {
    CSequentialReader reader;
    if (const int error = reader.Open(path); error != 0) {
        return error;
    }
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(bufferBytes);
    CSha256 sha;
    for (;;) {
        std::size_t length = 0;
        if (const int error = reader.Read(buffer.get(), bufferBytes, length); error != 0) {
            return error;
        }
        if (length == 0) {
            break;
        }
        sha.Update(buffer.get(), length);
    }
    digest = sha.Final();
    return 0;
}
