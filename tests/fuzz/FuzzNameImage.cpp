// Saved name images that Load must refuse, or search and show within their
// bounds. Two kinds from each input:
// - its bytes as a file (magic, entry size and byte order set right so that
//   the rest is reached, its key taken as it stands);
// - a sound image built from names the input gives, saved, then overwritten
//   at places the input chooses: Load checks such an image only at a few
//   places, so this reaches the bounds kept while it is searched and shown.
#include "NameImage.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fuzzer/FuzzedDataProvider.h>
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

// Save writes beside its path and renames, so the built images need a
// folder; one for the whole run, removed at its end.
const std::string& ImagePath() {
    static const std::string path = [] {
        static std::string folder =
            std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
            "/fuzz-name-image.XXXXXX";
        if (mkdtemp(folder.data()) == nullptr) {
            std::abort();
        }
        std::atexit([] {
            unlink((folder + "/names").c_str());
            rmdir(folder.c_str());
        });
        return folder + "/names";
    }();
    return path;
}

void Exercise(const CNameImage& image) {
    for (std::size_t i = 0; i < image.Size(); ++i) {
        image.Hit(i);
    }
    const std::atomic<bool> cancel{false};
    CFindQuery query;
    query.m_arrTexts = {"a"};
    image.Search(query, 5, cancel);
    image.Search(query, 0, cancel);
    query.m_arrTexts = {"\n", ""};
    image.Search(query, 1, cancel);
    query.m_arrTexts.clear();
    query.m_strGlob = "*a?";
    image.Search(query, 2, cancel);
    query.m_strMediumPrefix = "c";
    query.m_kinds = FindKinds::Files;
    image.Search(query, 5, cancel);
}

void RawBytes(const std::uint8_t* data, std::size_t size) {
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
    if (ftruncate(fd, 0) != 0 ||
        pwrite(fd, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        std::abort();
    }
    if (const std::unique_ptr<CNameImage> image =
            CNameImage::Load("/proc/self/fd/" + std::to_string(fd), key)) {
        Exercise(*image);
    }
}

void DamagedImage(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    CNameImage::CBuilder builder;
    const std::uint32_t reports[] = {builder.Report("/r/one.txt"), builder.Report("/r/two.txt")};
    const std::uint32_t stamp = builder.Stamp("01/02/03", "04:05:06");
    const std::uint32_t count = input.ConsumeIntegralInRange<std::uint32_t>(0, 400);
    for (std::uint32_t i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        const std::string name = input.ConsumeRandomLengthString(12);
        const std::uint32_t place =
            builder.Place(i % 3 == 0 ? "DAT2" : "CD01", "/F" + std::to_string(i % 5));
        builder.Add(name, place, stamp, reports[i % 2], i + 1, i % 4 == 0, i % 7 == 0, i);
    }
    const CNameImage::Key key{7, 9};
    const std::string& path = ImagePath();
    if (!builder.Build()->Save(path, key)) {
        std::abort();
    }
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    const off_t length = fd < 0 ? -1 : lseek(fd, 0, SEEK_END);
    if (length < 64) {
        std::abort();
    }
    // Past the header, which holds the key and the sizes of the parts.
    while (input.remaining_bytes() >= 2) {
        const auto at = input.ConsumeIntegralInRange<off_t>(64, length - 1);
        const auto value = input.ConsumeIntegral<std::uint8_t>();
        if (pwrite(fd, &value, 1, at) != 1) {
            std::abort();
        }
    }
    close(fd);
    if (const std::unique_ptr<CNameImage> image = CNameImage::Load(path, key)) {
        Exercise(*image);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RawBytes(data, size);
    DamagedImage(data, size);
    return 0;
}
