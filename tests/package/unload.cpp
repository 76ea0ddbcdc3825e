// Loads the library as a plug-in host does, closes it and checks that it is gone:
// a library that stays mapped after dlclose cannot be replaced without restarting
// the host. Usage: package_unload LIBRARY
#include <dlfcn.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  void* handle = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr || dlsym(handle, "_Z30register_external_abort_methodPFvPKcE") == nullptr) {
    std::fprintf(stderr, "cannot load the library's API: %s\n", dlerror());
    return 1;
  }
  if (dlclose(handle) != 0) {
    std::fprintf(stderr, "dlclose: %s\n", dlerror());
    return 1;
  }
  if (dlopen(argv[1], RTLD_NOW | RTLD_NOLOAD) != nullptr) {
    std::fprintf(stderr, "%s is still loaded after dlclose\n", argv[1]);
    return 1;
  }
  std::puts("unloaded");
  return 0;
}
