// The main of every test program. Output is unbuffered: under Wine it goes to a file, and a
// test that ends the process (a crash) would otherwise take every line it printed with it,
// leaving no sign of which check it reached.
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
