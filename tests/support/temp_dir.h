// SPDX-License-Identifier: GPL-3.0-or-later
// Scratch directories and small file helpers for tests that touch the file system.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace trelvan::testing {

// A fresh directory under the test temporary directory (or under parent, which ends with a
// slash), removed with its files at the end.
class TempDir {
  public:
    explicit TempDir(const std::string& parent = ::testing::TempDir()) {
        std::string pattern = parent + "trelvan-XXXXXX";
        if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        ::chmod(path_.c_str(), 0700);
        for (const std::string& name : names()) {
            const std::string file = path_ + "/" + name;
            if (::unlink(file.c_str()) != 0) ::rmdir(file.c_str());
        }
        ::rmdir(path_.c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    bool ok() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Names of the entries in the directory, without "." and "..".
    std::vector<std::string> names() const {
        std::vector<std::string> result;
        if (DIR* dir = ::opendir(path_.c_str())) {
            while (const dirent* entry = ::readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") result.push_back(name);
            }
            ::closedir(dir);
        }
        return result;
    }

  private:
    std::string path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline bool exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Permissions do not stop this process (root or a capability): checked by trying, in a
// directory made read-only for the purpose.
template <class Directory>
bool permissionsAreIgnored(const Directory& dir) {
    const std::string locked = dir.file("locked");
    if (::mkdir(locked.c_str(), 0500) != 0) return false;
    const std::string probe = locked + "/probe";
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
    }
    ::rmdir(locked.c_str());
    return fd >= 0;
}

}  // namespace trelvan::testing
