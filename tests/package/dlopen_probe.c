/* Preloaded into the packaged program: notes each library it asks dlopen for,
   in the file $HL_DLOPEN_LOG, and loads none, so the test sees where the
   program looks for its dialog module without a display or GTK starting. */
#define _GNU_SOURCE
#include <stdio.h>
#include <stdlib.h>

void* dlopen(const char* path, int flags) {
  (void)flags;
  const char* log = getenv("HL_DLOPEN_LOG");
  FILE* file = log && path ? fopen(log, "a") : NULL;
  if (file) {
    fprintf(file, "%s\n", path);
    fclose(file);
  }
  return NULL;
}
