// Libraries opened while the program runs: what a missing library or function leaves behind.
#include <gtest/gtest.h>

#include <cstring>

#include "base/error.h"
#include "base/lazy_libraries.h"
#include "base/shared_library.h"

namespace korvane {
namespace {

TEST(SharedLibrary, AMissingLibraryLeavesEveryFunctionNullAndSaysWhy) {
  SharedLibrary library("libkorvane-absent.so.9");
  decltype(&std::strlen) strlen_found = &std::strlen;
  library.Bind(strlen_found, "strlen");
  EXPECT_EQ(strlen_found, nullptr);
  EXPECT_NE(library.Error().find("libkorvane-absent.so.9"), std::string::npos) << library.Error();
}

TEST(SharedLibrary, FindsFunctionsAndKeepsTheFirstMissingOneAsTheError) {
  SharedLibrary library("libc.so.6");
  decltype(&std::strlen) strlen_found = nullptr;
  library.Bind(strlen_found, "strlen");
  ASSERT_NE(strlen_found, nullptr);
  EXPECT_EQ(strlen_found("four"), 4U);
  EXPECT_TRUE(library.Error().empty());

  decltype(&std::strlen) first = &std::strlen;
  decltype(&std::strlen) second = &std::strlen;
  library.Bind(first, "korvane_absent_one");
  library.Bind(second, "korvane_absent_two");
  EXPECT_EQ(first, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(library.Error().find("korvane_absent_one"), std::string::npos) << library.Error();
}

TEST(SharedLibrary, TheErrorNamesTheLibraryAsAName) {
  const KorvaneError error = CannotLoadLibrary("libxml2.so.2", "not found");
  EXPECT_STREQ(error.what(), "Cannot load library \"libxml2.so.2\". not found");
  EXPECT_EQ(error.Split().path, "libxml2.so.2");
}

TEST(LazyLibraries, TheLibrariesCompiledAgainstAreFoundWhole) {
  ASSERT_NE(Tls(), nullptr);
  EXPECT_NE(Tls()->TLS_client_method(), nullptr);
  EXPECT_NE(Digests().EVP_sha256(), nullptr);
  EXPECT_NE(Xml().xmlGenericErrorOfThread(), nullptr);
}

}  // namespace
}  // namespace korvane
