// Arbitrary bytes as a saved name image (its magic, entry size and byte
// order set right so that the rest is reached, its key taken as it stands):
// Load must refuse it or give an image whose every hit and search stays
// inside it.
#include "NameImage.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// One memory file for every input, named through /proc: nothing on disk.
int ImageFile() {
    static const int fd = memfd_create("name-image", MFD_CLOEXEC);
    if (fd < 0) {
        std::abort();
    }
    return fd;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (bytes.size() >= 16) {
        const std::uint32_t entrySize = sizeof(CNameImage::Entry);
        const std::uint32_t byteOrder = 0x01020304;
        std::memcpy(bytes.data(), "STOWNAM1", 8);
        std::memcpy(bytes.data() + 8, &entrySize, 4);
        std::memcpy(bytes.data() + 12, &byteOrder, 4);
    }
    CNameImage::Key key;
    if (bytes.size() >= 32) {
        std::memcpy(&key.m_nCatalogue, bytes.data() + 16, 8);
        std::memcpy(&key.m_nGeneration, bytes.data() + 24, 8);
    }
    const int fd = ImageFile();
    if (ftruncate(fd, 0) != 0 || pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    const std::unique_ptr<CNameImage> image = CNameImage::Load("/proc/self/fd/" + std::to_string(fd), key);
    if (!image) {
        return 0;
    }
    for (std::size_t i = 0; i < image->Size(); ++i) {
        image->Hit(i);
    }
    const std::atomic<bool> cancel{false};
    CFindQuery query;
    query.m_arrTexts = {"a"};
    image->Search(query, 5, cancel);
    query.m_arrTexts.clear();
    query.m_strGlob = "*?";
    query.m_strMediumPrefix = "c";
    query.m_kinds = FindKinds::Files;
    image->Search(query, 5, cancel);
    return 0;
}
