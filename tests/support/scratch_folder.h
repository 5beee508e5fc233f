#pragma once
// A fresh folder of its own for each test under the system's temporary folder,
// removed afterwards even where the test took its write permission away.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace orvela::testing {

class ScratchFolderTest : public ::testing::Test {
 protected:
  explicit ScratchFolderTest(const char* prefix) : prefix_(prefix) {}
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix_ + "-XXXXXX")).string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  std::filesystem::path dir_;

 private:
  std::string prefix_;
};

}  // namespace orvela::testing
