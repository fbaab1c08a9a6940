// A station that opens a session and exits without closing it, as a script that raised would: the
// library's shut-down must end the session without a crash. Exit status 0 when Init worked and the process
// ended cleanly.
#include <cstdio>
#include <cstdlib>

#include "tevra.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s RESOURCE\n", argv[0]);
    return 2;
  }
  const int32_t result = Tevra_Init(argv[1], 0, 0, 0, 0);
  if (result != 0) {
    std::fprintf(stderr, "Tevra_Init gave %d\n", static_cast<int>(result));
    return 3;
  }
  std::exit(0);
}
