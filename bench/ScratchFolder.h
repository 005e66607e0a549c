#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

// A fresh folder under the temporary directory, removed with its contents
// when the object goes.
class CScratchFolder {
public:
    CScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "stowlist-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        m_path = pattern;
    }
    ~CScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};
