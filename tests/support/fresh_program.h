// SPDX-License-Identifier: GPL-3.0-or-later
// The one way a test starts from a fresh program: every part of the program state back to
// its start, and a new empty working directory made current. Both are undone at the end, so
// the next test finds the state fresh as well.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "app/program_state.h"
#include "support/temp_dir.h"

namespace trelvan::testing {

class FreshProgram {
  public:
    FreshProgram() {
        resetProgramState();
        char old[PATH_MAX];
        if (::getcwd(old, sizeof old) != nullptr) old_ = old;
        EXPECT_TRUE(dir_.ok());
        EXPECT_EQ(::chdir(dir_.path().c_str()), 0);
    }
    ~FreshProgram() {
        if (!old_.empty()) {
            EXPECT_EQ(::chdir(old_.c_str()), 0);
        }
        std::error_code ignored;
        std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        for (const std::string& name : dir_.names())
            std::filesystem::remove_all(dir_.file(name), ignored);
        resetProgramState();
    }
    FreshProgram(const FreshProgram&) = delete;
    FreshProgram& operator=(const FreshProgram&) = delete;

    // The working directory.
    std::filesystem::path path() const { return dir_.path(); }
    std::string file(const std::string& name) const { return dir_.file(name); }
    std::string read(const std::string& name) const { return readBytes(dir_.file(name)); }

    // Puts the shipped figure file, trelvan.sym, into the working directory.
    void addShippedFigures() const {
        std::filesystem::copy_file(
            std::filesystem::path(TRELVAN_SOURCE_DIR) / "resources/trelvan.sym",
            dir_.file("trelvan.sym"), std::filesystem::copy_options::overwrite_existing);
    }

  private:
    TempDir dir_;
    std::string old_;
};

// The first n values of RAN11's sequence, from its start state; the generator is left where
// it is.
inline std::vector<float> firstRan11(int n) {
    const Ran11State saved = ran11State;
    ran11State = Ran11State{};
    std::vector<float> values;
    for (int i = 0; i < n; ++i) values.push_back(RAN11());
    ran11State = saved;
    return values;
}

}  // namespace trelvan::testing
