#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
  if (argc > 1 && (std::strcmp(argv[1], "--version") == 0)) {
    std::printf("harbor-lights 1.0\n");
    return 0;
  }
  std::printf("harbor-lights: an OpenGL kaleidoscope screen saver\n");
  return 0;
}
