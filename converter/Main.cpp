#include <cstdio>

int main(int, char**) {
  std::fprintf(stderr, "sonoduct: nothing is built yet\n");
  return 1;
}
