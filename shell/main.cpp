// The desktop program. Its main window is not built yet; until it is, this program says
// so and points to the terminal front end, which runs Compare and Sync today.
#include <cstdio>

int main() {
  std::fprintf(stderr,
               "Vardell v3.1.5: the main window is not available in this build yet.\n"
               "Use vardell-cli (compare|sync MASTER MIRROR) to compare and mirror folders.\n");
  return 2;
}
